// FXAnimShape and copies made from it: a copy draws what a copy loaded from the same record draws
// (materials looked up by name at the time the copy is made, texture coordinates scaled for them,
// every pose on the own clock and under external drive), copies keep their poses apart while
// sharing one set of keys, and a shape is refused where there is nothing to share.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "anim/anim.h"
#include "anim/anim_shape.h"
#include "anim_test_util.h"
#include "image/material.h"
#include "image/matlib.h"
#include "support/recording_env.h"

namespace {

// Hands out one library holding mat0 and mat1, whose textures are padded differently, so a
// material bound by the wrong name shows in the texture coordinates.
struct TwoMaterialEnv : RecordingEnv {
    FXMatlib lib;
    FXMaterial a, b;
    TwoMaterialEnv() {
        a.name.Set("mat0");
        a.texScaleU = 0.5f;
        a.texScaleV = 0.25f;
        b.name.Set("mat1");
        b.texScaleU = 0.625f;
        b.texScaleV = 1.0f;
        lib.AddMaterial(&a);
        lib.AddMaterial(&b);
    }
    ~TwoMaterialEnv() { lib.Destroy(); }
    FXMatlib* LoadMatlibC(FXPackage*, const char*) override {
        lib.refCount++;
        return &lib;
    }
    void ReleaseMatlib(FXMatlib* l) override { l->refCount--; }
    void Swap() {
        a.name.Set(a.name.Compare("mat0") ? "mat1" : "mat0");
        b.name.Set(b.name.Compare("mat0") ? "mat1" : "mat0");
    }
};

struct Record {
    FXPackage pkg;
    Record() {
        FXAnim src;
        qmBuildAnim(&src, {100, 120, 90, 150, 110});
        for (int i = 0; i < src.GetFrameCount(); i++) src.GetModel(i)->matlibName.Set("7");
        qmLoadPackage(&pkg, {{3, -1, qmSavedAnim(&src, true, "shape.xa")}});
    }
};

// Loads entry 3 the way the scene prepares a copy.
void LoadInterpolated(FXAnim* a, PEnv* env, FXPackage* pkg) {
    ASSERT_EQ(a->LoadCN(env, pkg, 3), 1);
    a->loop = false;
    a->UpdateInterpolation(true, false);
}

void ExpectSameModel(const FXAnim& got, const FXAnim& want, const std::string& where) {
    ASSERT_EQ(got.imodel.GetCount(), want.imodel.GetCount()) << where;
    for (int k = 0; k < want.imodel.GetCount(); k++) {
        const FXMesh* g = got.imodel.EnumMeshes(k);
        const FXMesh* w = want.imodel.EnumMeshes(k);
        ASSERT_TRUE(g && w && g->vertexCount == w->vertexCount && g->indexCount == w->indexCount) << where;
        EXPECT_EQ(g->material, w->material) << where << " mesh " << k;
        EXPECT_EQ(0, memcmp(g->indices, w->indices, sizeof(int32_t) * size_t(w->indexCount))) << where;
        for (int v = 0; v < w->vertexCount; v++)
            EXPECT_EQ(0, memcmp(&g->vertices[v], &w->vertices[v], sizeof(tagFXVertex))) << where << " vertex " << v;
    }
}

}  // namespace

TEST(FXAnimShape, CopiesDrawWhatLoadedCopiesDraw) {
    Record r;
    TwoMaterialEnv env;
    FXAnim loaded, loadedSwapped, source, copy, copySwapped;
    LoadInterpolated(&loaded, &env, &r.pkg);
    LoadInterpolated(&source, &env, &r.pkg);
    FXAnimShape shape;
    ASSERT_TRUE(shape.Create(source));
    source.ReleaseFrames();  // the shape keeps what it needs of frame 0
    ASSERT_TRUE(copy.CreateFromShape(&env, &r.pkg, shape));
    env.Swap();  // as the scene renames its two pictures between the copies of a pair
    LoadInterpolated(&loadedSwapped, &env, &r.pkg);
    ASSERT_TRUE(copySwapped.CreateFromShape(&env, &r.pkg, shape));
    shape.Destroy();  // the copies hold the keys themselves
    EXPECT_NE(copy.imodel.EnumMeshes(0)->material, copySwapped.imodel.EnumMeshes(0)->material);
    EXPECT_TRUE(copy.posSplines->SharesKeysWith(*copySwapped.posSplines));
    EXPECT_TRUE(copy.normalSplines->SharesKeysWith(*source.normalSplines));
    EXPECT_EQ(copy.GetFrameCount(), 5);
    EXPECT_EQ(copy.durations.GetInt(3), 150);
    EXPECT_FALSE(copy.loop);
    EXPECT_EQ(copy.GetModel(0), nullptr);

    ExpectSameModel(copy, loaded, "as made");
    ExpectSameModel(copySwapped, loadedSwapped, "swapped, as made");
    for (FXAnim* a : {&loaded, &loadedSwapped, &copy, &copySwapped}) a->StartAnim(0.0);
    for (double t : {0.04, 0.11, 0.23, 0.35, 0.47, 0.62}) {
        for (FXAnim* a : {&loaded, &loadedSwapped, &copy, &copySwapped}) a->OnRender(&env, t);
        ExpectSameModel(copy, loaded, "own clock at " + std::to_string(t));
        ExpectSameModel(copySwapped, loadedSwapped, "swapped, own clock at " + std::to_string(t));
    }
    // Two copies of one shape driven apart: each keeps its own pair and phase.
    copy.SetActFrames(4, 2);
    copySwapped.SetActFrames(1, 2);
    loaded.SetActFrames(4, 2);
    loadedSwapped.SetActFrames(1, 2);
    for (float p : {0.2f, 0.9f}) {
        copy.SetActPhase(p);
        loaded.SetActPhase(p);
        copySwapped.SetActPhase(1.0f - p);
        loadedSwapped.SetActPhase(1.0f - p);
        ExpectSameModel(copy, loaded, "driven at " + std::to_string(p));
        ExpectSameModel(copySwapped, loadedSwapped, "swapped, driven at " + std::to_string(1.0f - p));
    }
}

// Nothing to share: no interpolation, frames already released, an empty shape.
TEST(FXAnimShape, RefusedWithoutSplinesOrFrames) {
    Record r;
    TwoMaterialEnv env;
    FXAnim plain, released, copy;
    FXAnimShape shape;
    ASSERT_EQ(plain.LoadCN(&env, &r.pkg, 3), 1);
    EXPECT_FALSE(shape.Create(plain));
    LoadInterpolated(&released, &env, &r.pkg);
    released.ReleaseFrames();
    EXPECT_FALSE(shape.Create(released));
    EXPECT_TRUE(shape.IsEmpty());
    EXPECT_FALSE(copy.CreateFromShape(&env, &r.pkg, shape));
    EXPECT_EQ(copy.GetFrameCount(), 0);
}
