// The environment's own tables: the eight light slots, the default material and library, and
// the shared material libraries (shared by the name they were asked for, owned by the environment
// that loaded them); and several environments alive at once, each with its own libraries and
// textures, each on its own render thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "base/package.h"
#include "image/devil.h"
#include "image/light.h"
#include "device/gl.h"
#include "render/matlib_ref.h"
#include "render/null_device.h"
#include "support/recording_env.h"
#include "support/test_support.h"

TEST(EnvLights, OneSlotPerLightAndEightAtMost) {
    FXGL env;
    FXLight l[9];
    EXPECT_TRUE(env.RegisterLight(&l[0]));
    EXPECT_TRUE(env.RegisterLight(&l[0]));  // the same light again: no second slot
    for (int i = 1; i < 8; i++) EXPECT_TRUE(env.RegisterLight(&l[i])) << i;
    EXPECT_EQ(env.lights[7], &l[7]);
    EXPECT_FALSE(env.RegisterLight(&l[8]));
    env.UnregisterLight(&l[3]);
    EXPECT_TRUE(env.RegisterLight(&l[8]));  // takes the freed slot
    EXPECT_EQ(env.lights[3], &l[8]);
}

TEST(EnvMaterials, DefaultMaterialAndLibrary) {
    FXGL env;
    ASSERT_EQ(env.GetDefaultMatlib()->GetCount(), 1);
    EXPECT_EQ(env.GetDefaultMatlib()->GetMaterial(0), env.GetDefaultMaterial());
    EXPECT_EQ(env.GetDefaultMaterial()->diffuse[3], 1.0f);
    FXMaterial extra;
    env.AddMaterial(&extra);
    env.ReleaseMatlib(env.GetDefaultMatlib());  // the embedded library is never deleted
    EXPECT_EQ(env.GetDefaultMatlib()->GetCount(), 2);
    env.GetDefaultMatlib()->RemoveMaterial(&extra);
}

TEST(EnvMatlibs, SharedByTheRequestedNameUntilReleased) {
    FXGL env;
    std::string skin = qmTestPath("env_skin.mtl");
    qmWriteText(skin, "newmtl skin\nKd 0.5 0.25 1\n");
    FXMatlib* a = env.LoadMatlib(skin.c_str());
    ASSERT_NE(a->FindMaterial("skin"), nullptr);
    EXPECT_EQ(a->FindMaterial(""), &env.defaultMaterial);  // the default library is the parent
    EXPECT_EQ(env.LoadMatlib(skin.c_str()), a);
    EXPECT_EQ(a->refCount, 2);

    // A package library stores its own name, yet is shared by the entry name it was asked by,
    // even when loading failed.
    FXPackage pkg;
    FXMatlib* p = env.LoadMatlibCN(&pkg, 7);
    EXPECT_FALSE(p->name.Compare("7"));
    EXPECT_EQ(env.LoadMatlibC(&pkg, "7"), p);
    EXPECT_NE(env.LoadMatlibCN(&pkg, 70), p);
    EXPECT_EQ(env.matlibs.Count(), 3);

    env.ReleaseMatlib(a);
    EXPECT_EQ(env.matlibs.Find(a), 0);
    env.ReleaseMatlib(a);  // the last reference: deleted, and its name is free again
    EXPECT_EQ(env.matlibs.Count(), 2);
    EXPECT_EQ(env.LoadMatlibC(&pkg, "7"), p);
    EXPECT_EQ(env.LoadMatlib(skin.c_str())->refCount, 1);  // loaded anew

    // A holder gives its reference back to the environment that lent it.
    {
        FXMatlibRef first, second;
        first.Adopt(&env, env.LoadMatlibCN(&pkg, 8));
        second.Share(first);
        EXPECT_EQ(first->refCount, 2);
        EXPECT_EQ(second.Owner(), &env);
        first.Reset();
        EXPECT_EQ(second->refCount, 1);
    }
    EXPECT_EQ(env.matlibs.Count(), 3);  // entry 8's library went with its last holder
    env.Destroy();  // frees every library, whatever its count
    EXPECT_EQ(env.matlibs.Count(), 0);
}

namespace {

// A device that names each texture it makes and notes every texture it is asked to delete.
class TextureEnv : public RecordingEnv {
public:
    unsigned next = 1;
    std::vector<FXMaterial*> deleted;
    FXMatlib* LoadMatlib(const char* file) override { return PEnv::LoadMatlib(file); }
    void ReleaseMatlib(FXMatlib* lib) override { PEnv::ReleaseMatlib(lib); }
    bool PrepareTexture(FXMaterial* m) override {
        if (!m->textureName) m->textureName = next++;
        return true;
    }
    bool FastPrepareTexture(FXMaterial* m, FXPixmap*) override { return PrepareTexture(m); }
    void UnprepareTexture(FXMaterial* m) override {
        deleted.push_back(m);
        m->textureName = 0;
    }
};

}  // namespace

// Two scenes in one process (one per monitor): each environment loads its own copy of a library
// and holds the textures of its own materials; a texture is released on the device it lives on,
// and a device that goes takes its textures along without a call into it afterwards.
TEST(EnvIsolation, TwoEnvironmentsShareNoLibraryAndNoTexture) {
    ASSERT_TRUE(fxLoadDevil());
    std::string picture = qmTestPath("env_iso.png");
    FXCanvas c;
    ASSERT_GT(c.pixmap.Realloc(4, 4), 0);
    c.pixmap.Clear(0xFF2040A0u);
    ASSERT_TRUE(c.SaveToPict(picture.c_str()));
    std::string mtl = qmTestPath("env_iso.mtl");
    qmWriteText(mtl, "newmtl skin\nmap_Kd " + picture + "\n");

    TextureEnv b;
    FXMaterial wandering;
    {
        TextureEnv a;
        FXMatlibRef fromA, fromB;
        fromA.Adopt(&a, a.LoadMatlib(mtl.c_str()));
        fromB.Adopt(&b, b.LoadMatlib(mtl.c_str()));
        ASSERT_NE(fromA.Get(), fromB.Get());
        FXMaterial* skinA = fromA->FindMaterial("skin");
        FXMaterial* skinB = fromB->FindMaterial("skin");
        ASSERT_TRUE(skinA && skinB && skinA->hasTexture && skinB->hasTexture);
        EXPECT_EQ(skinA->GetTextureDevice(), &a);
        EXPECT_EQ(skinB->GetTextureDevice(), &b);

        // A material moved from one device to the other is released where it was.
        ASSERT_TRUE(wandering.SetTexture(&a, &c));
        EXPECT_EQ(a.TextureCount(), 2);
        ASSERT_TRUE(wandering.SetTexture(&b, &c));
        EXPECT_EQ(a.deleted, std::vector<FXMaterial*>{&wandering});
        EXPECT_EQ(wandering.GetTextureDevice(), &b);
        EXPECT_EQ(a.TextureCount(), 1);
        EXPECT_EQ(b.TextureCount(), 2);

        // Releasing A's library deletes it and its texture on A only.
        fromA.Reset();
        EXPECT_EQ(a.matlibs.Count(), 0);
        EXPECT_EQ(a.deleted.size(), 2u);
        EXPECT_EQ(a.TextureCount(), 0);
        EXPECT_TRUE(b.deleted.empty());
        EXPECT_TRUE(skinB->hasTexture);

        // A material still on A when A goes forgets its texture.
        ASSERT_TRUE(wandering.SetTexture(&a, &c));
        EXPECT_EQ(b.deleted, std::vector<FXMaterial*>{&wandering});
        fromB.Reset();
        EXPECT_EQ(b.matlibs.Count(), 0);
    }
    EXPECT_EQ(wandering.GetTextureDevice(), nullptr);
    EXPECT_EQ(wandering.textureName, 0u);
    EXPECT_FALSE(wandering.hasTexture);
    wandering.Destroy();  // reaches neither device (the sanitizers see a call into A)
    EXPECT_EQ(b.deleted.size(), 2u);
    EXPECT_EQ(b.TextureCount(), 0);
    fxUnloadDevil();
}

namespace {

// A renderable that uploads a frame to the environment it is drawn by, as a movie does.
class FrameUploader : public PRender {
public:
    FXMaterial material;
    FXPixmap frame;
    std::atomic<PEnv*> seen{nullptr};
    std::atomic<int> frames{0};
    std::atomic<bool> crossed{false};

    FrameUploader() { frame.Realloc(2, 2); }
    void OnRender(PEnv* env, double) override {
        PEnv* before = seen.exchange(env);
        if (before && before != env) crossed = true;
        material.UploadFrame(env, &frame);
        if (material.GetTextureDevice() != env) crossed = true;
        frames++;
    }
};

bool localWaitFor(const std::atomic<int>& n, int want) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (n.load() < want) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

TEST(EnvIsolation, EachEnvironmentDrawsOnItsOwnRenderThread) {
    FXNullDevice a, b;
    FrameUploader drawnByA, drawnByB;
    ASSERT_TRUE(a.StartLoop(&drawnByA));
    ASSERT_TRUE(b.StartLoop(&drawnByB));
    EXPECT_TRUE(localWaitFor(drawnByA.frames, 3));
    EXPECT_TRUE(localWaitFor(drawnByB.frames, 3));
    a.StopLoop(5.0);
    b.StopLoop(5.0);
    EXPECT_EQ(drawnByA.seen.load(), &a);
    EXPECT_EQ(drawnByB.seen.load(), &b);
    EXPECT_FALSE(drawnByA.crossed || drawnByB.crossed);
    EXPECT_EQ(a.TextureCount(), 1);
    EXPECT_EQ(b.TextureCount(), 1);
    drawnByA.material.Destroy();
    drawnByB.material.Destroy();
    EXPECT_EQ(a.TextureCount() + b.TextureCount(), 0);
}
