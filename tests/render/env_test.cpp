// The environment's own tables: the eight light slots, the default material and library, and
// the shared material libraries (shared by the name they were asked for).
#include <gtest/gtest.h>

#include <string>

#include "base/package.h"
#include "image/light.h"
#include "device/gl.h"
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
    env.GetDefaultMatlib()->Release();  // the embedded library never deletes itself
    EXPECT_EQ(env.GetDefaultMatlib()->GetCount(), 2);
    env.GetDefaultMatlib()->RemoveMaterial(&extra);
}

TEST(EnvMatlibs, SharedByTheRequestedNameUntilReleased) {
    FXGL env;
    fxSetEnv(&env);
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
    EXPECT_EQ(env.matlibs.top, 3);

    a->Release();
    EXPECT_EQ(a->Release(), nullptr);  // the last release leaves the list, with its name
    EXPECT_EQ(env.matlibs.top, 2);
    EXPECT_EQ(env.LoadMatlibC(&pkg, "7"), p);
    EXPECT_EQ(env.LoadMatlib(skin.c_str())->refCount, 1);  // loaded anew
    env.RemoveMatlib(p);
    EXPECT_EQ(env.matlibs.Findpos(p), -1);
    delete p;
    env.Destroy();
    EXPECT_EQ(env.matlibs.top, 0);
    fxSetEnv(nullptr);
}
