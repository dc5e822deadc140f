// The environment's own tables: the eight light slots, the default material and library, and
// the shared material libraries (shared by the name they were asked for).
#include <gtest/gtest.h>

#include <string>

#include "base/package.h"
#include "image/light.h"
#include "image/material.h"
#include "image/matlib.h"
#include "render/gl.h"
#include "support/test_support.h"

TEST(EnvLights, OneSlotPerLightAndEightAtMost) {
    FXGL env;
    FXLight l[9];
    EXPECT_TRUE(env.RegisterLight(&l[0]));
    EXPECT_TRUE(env.RegisterLight(&l[0]));  // the same light again: no second slot
    for (int i = 1; i < 8; i++) EXPECT_TRUE(env.RegisterLight(&l[i])) << i;
    for (int i = 0; i < 8; i++) EXPECT_EQ(env.lights[i], &l[i]) << i;
    EXPECT_FALSE(env.RegisterLight(&l[8]));  // all slots taken by others
    EXPECT_TRUE(env.RegisterLight(&l[7]));   // a registered light is still accepted

    env.UnregisterLight(&l[3]);
    EXPECT_EQ(env.lights[3], nullptr);
    EXPECT_TRUE(env.RegisterLight(&l[8]));  // takes the freed slot
    EXPECT_EQ(env.lights[3], &l[8]);
    env.UnregisterLight(&l[3]);  // not registered: nothing changes
    for (int i = 0; i < 8; i++) EXPECT_NE(env.lights[i], nullptr);
}

TEST(EnvMaterials, DefaultMaterialLivesInTheDefaultLibrary) {
    FXGL env;
    FXMaterial* def = env.GetDefaultMaterial();
    ASSERT_EQ(def, &env.defaultMaterial);
    EXPECT_EQ(def->diffuse[0], 1.0f);
    EXPECT_EQ(def->diffuse[3], 1.0f);
    FXMatlib* lib = env.GetDefaultMatlib();
    ASSERT_EQ(lib->GetCount(), 1);
    EXPECT_EQ(lib->GetMaterial(0), def);

    FXMaterial extra;
    extra.name.Set("extra");
    env.AddMaterial(&extra);
    env.AddMaterial(&extra);
    EXPECT_EQ(lib->GetCount(), 2);
    EXPECT_EQ(lib->FindMaterial("extra"), &extra);
    // The embedded library never deletes itself, however often it is released.
    lib->Release();
    lib->Release();
    EXPECT_EQ(lib->GetCount(), 2);
    lib->RemoveMaterial(&extra);
    env.EnableTestingMaterial(true);
    EXPECT_TRUE(env.testingMaterial);
}

class EnvMatlibs : public ::testing::Test {
protected:
    FXGL env;
    std::string skin, other;
    void SetUp() override {
        skin = qmTestPath("env_skin.mtl");
        other = qmTestPath("env_other.mtl");
        qmWriteText(skin, "newmtl skin\nKd 0.5 0.25 1\n");
        qmWriteText(other, "newmtl bark\nKd 0.1 0.1 0.1\n");
        fxSetEnv(&env);
    }
    void TearDown() override { fxSetEnv(nullptr); }
};

TEST_F(EnvMatlibs, FileLibrariesAreSharedByPath) {
    FXMatlib* a = env.LoadMatlib(skin.c_str());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->parent, &env.defaultMatlib);
    ASSERT_NE(a->FindMaterial("skin"), nullptr);
    EXPECT_FLOAT_EQ(a->FindMaterial("skin")->diffuse[1], 0.25f);
    EXPECT_EQ(a->FindMaterial(""), &env.defaultMaterial);  // the default library comes first

    EXPECT_EQ(env.LoadMatlib(skin.c_str()), a);
    EXPECT_EQ(a->refCount, 2);
    FXMatlib* b = env.LoadMatlib(other.c_str());
    EXPECT_NE(b, a);
    EXPECT_EQ(env.matlibs.top, 2);

    // Released by every user, a library leaves the list; the next request loads it anew.
    EXPECT_EQ(a->Release(), a);
    EXPECT_EQ(a->Release(), nullptr);
    EXPECT_EQ(env.matlibs.top, 1);
    EXPECT_EQ(env.matlibKeys.top, 1);
    FXMatlib* again = env.LoadMatlib(skin.c_str());
    EXPECT_EQ(again->refCount, 1);
    EXPECT_EQ(env.LoadMatlib(other.c_str()), b);  // the keys stayed beside their libraries

    env.RemoveMatlib(b);  // dropped from the list, not deleted
    EXPECT_EQ(env.matlibs.Findpos(b), -1);
    EXPECT_EQ(env.matlibs.top, env.matlibKeys.top);
    delete b;
    env.Destroy();  // deletes the rest
    EXPECT_EQ(env.matlibs.top, 0);
    EXPECT_EQ(env.matlibKeys.top, 0);
}

TEST_F(EnvMatlibs, PackageLibrariesAreSharedByTheRequestedName) {
    FXPackage pkg;
    // Loading fails (no such entry), the library is still listed and shared by its entry name,
    // although its own name stays different from it.
    FXMatlib* a = env.LoadMatlibCN(&pkg, 7);
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(a->name.Compare("7"));
    EXPECT_EQ(env.LoadMatlibC(&pkg, "7"), a);
    EXPECT_EQ(env.LoadMatlibCN(&pkg, 7), a);
    EXPECT_EQ(a->refCount, 3);
    EXPECT_NE(env.LoadMatlibCN(&pkg, 70), a);  // names compare whole
    EXPECT_EQ(env.LoadMatlib("7"), a);  // one list: a file named like an entry shares it
    EXPECT_EQ(env.matlibs.top, 2);
}
