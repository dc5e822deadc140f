// FXAnim records: "xa03" written and read back through files and package entries, v02 records
// whose frames load their models by entry number or file name, the shared material library and
// entries too short to be a record.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "anim/anim.h"
#include "anim_test_util.h"
#include "image/matlib.h"
#include "support/recording_env.h"

namespace {

// Hands out one library (its own, never deleted) for every request and keeps the names asked for.
struct LibraryEnv : RecordingEnv {
    FXMatlib lib;
    std::vector<std::string> requested;
    FXMatlib* LoadMatlibC(FXPackage*, const char* n) override {
        requested.push_back(n);
        lib.refCount++;
        return &lib;
    }
    FXMatlib* LoadMatlib(const char* n) override { return LoadMatlibC(nullptr, n); }
    void ReleaseMatlib(FXMatlib* l) override { PEnv::ReleaseMatlib(l); }
};

// The source animation: durations {100, 0, 250}, flags and graph away from their defaults.
void Source(FXAnim* a) {
    qmBuildAnim(a, {100, 0, 250});
    for (int i = 0; i < 3; i++) a->GetModel(i)->matlibName.Set("12");
    a->playing = false;
    a->backwards = true;
    a->loop = false;
    a->pingPong = true;
    a->spareValue = 2.5f;
    a->graph.resX = 3;
    a->graph.keyX.PushInt(0);
    a->graph.keyY.PushInt(400);
    a->graph.tension = 0.7f;
}

// Every corner of every frame shows the same position, normal and texture coordinate as in the
// source (vertex numbers may differ: a record numbers vertices in order of first use).
void ExpectSameFrames(const FXAnim& got, const FXAnim& want, const std::string& where) {
    ASSERT_EQ(got.GetFrameCount(), want.GetFrameCount()) << where;
    for (int i = 0; i < want.GetFrameCount(); i++) {
        EXPECT_STREQ(got.frameNames.Get(i), want.frameNames.Get(i)) << where;
        EXPECT_EQ(got.durations.GetInt(i), want.durations.GetInt(i)) << where;
        const FXModel* g = got.GetModel(i);
        const FXModel* w = want.GetModel(i);
        ASSERT_TRUE(g && w) << where << " frame " << i;
        ASSERT_EQ(g->GetCount(), w->GetCount()) << where;
        for (int k = 0; k < w->GetCount(); k++) {
            const FXMesh* gm = g->EnumMeshes(k);
            const FXMesh* wm = w->EnumMeshes(k);
            EXPECT_STREQ(gm->materialName, wm->materialName) << where;
            ASSERT_EQ(gm->indexCount, wm->indexCount) << where;
            for (int c = 0; c < wm->indexCount; c++)
                ASSERT_EQ(0, memcmp(gm->vertices[gm->indices[c]].pos, wm->vertices[wm->indices[c]].pos, 32))
                    << where << " frame " << i << " mesh " << k << " corner " << c;
        }
    }
}

}  // namespace

TEST(FXAnimRecord, CompactRoundTripThroughFileAndPackage) {
    LibraryEnv env;
    FXAnim src;
    Source(&src);
    QmAnimBytes bytes = qmSavedAnim(&src, true, "anim.xa03");
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(0, memcmp(bytes.data(), "\x04\0\0\0xa03", 8));

    FXAnim fromFile;
    ASSERT_EQ(fromFile.Load(&env, qmTestPath("anim.xa03").c_str()), 1);
    FXPackage pkg;
    qmLoadPackage(&pkg, {{4, -1, {1, 2, 3}}, {40, -1, bytes}});
    FXAnim fromPkg;
    EXPECT_EQ(fromPkg.LoadCN(&env, &pkg, 41), 0);  // no such entry
    EXPECT_EQ(fromPkg.LoadCN(&env, nullptr, 40), 0);
    ASSERT_EQ(fromPkg.LoadCN(&env, &pkg, 40), 1);
    for (FXAnim* a : {&fromFile, &fromPkg}) {
        std::string where = a == &fromFile ? "file" : "package";
        EXPECT_TRUE(!a->playing && a->backwards && !a->loop && a->pingPong) << where;
        EXPECT_EQ(a->spareValue, 2.5f) << where;
        EXPECT_EQ(a->graph.GetKeyCount(), 1) << where;
        EXPECT_EQ(a->graph.tension, 0.7f) << where;
        ExpectSameFrames(*a, src, where);
        for (int i = 0; i < 3; i++) {
            EXPECT_STREQ(a->GetModel(i)->name, src.frameNames.Get(i)) << where;
            EXPECT_EQ(a->GetModel(i)->matlib.Get(), &env.lib) << where;
            EXPECT_EQ(a->GetModel(i)->loadedMeshes.Count(), 2) << where;
        }
    }
    EXPECT_EQ(env.requested, (std::vector<std::string>{"12", "12"}));
    EXPECT_EQ(env.lib.refCount, 1 + 2 * 3);  // one reference per frame
    fromFile.Destroy();
    fromPkg.Destroy();
    EXPECT_EQ(env.lib.refCount, 1);
}

TEST(FXAnimRecord, CompactSharesOnlyVerticesEqualInEveryFrame) {
    FXAnim a;
    qmBuildAnim(&a, {100, 100});
    // Frame 0: the quad's corners 1 and 3 coincide; in frame 1 they part.
    FXMesh* q0 = a.GetModel(0)->EnumMeshes(0);
    FXMesh* q1 = a.GetModel(1)->EnumMeshes(0);
    q0->vertices[3] = q0->vertices[1];
    q1->vertices[3] = q1->vertices[1];
    q1->vertices[3].pos[2] += 1.0f;
    EXPECT_FALSE(a.TestRedirect(0, 3, 0, 1));
    EXPECT_FALSE(a.TestRedirect(0, 1, 5, 1));   // no such mesh
    EXPECT_FALSE(a.TestRedirect(0, 1, 1, 99));  // no such vertex
    FXAnim back;
    ASSERT_EQ(back.Load(nullptr, qmTestPath("missing.xa03").c_str()), 0);
    QmAnimBytes bytes = qmSavedAnim(&a, true, "parting.xa03");
    ASSERT_EQ(back.Load(nullptr, qmTestPath("parting.xa03").c_str()), 1);
    ExpectSameFrames(back, a, "parting corners");

    // When they stay together in every frame, the record stores them once.
    q1->vertices[3] = q1->vertices[1];
    EXPECT_TRUE(a.TestRedirect(0, 3, 0, 1));
    QmAnimBytes merged = qmSavedAnim(&a, true, "merged.xa03");
    EXPECT_LT(merged.size(), bytes.size());
    ASSERT_EQ(back.Load(nullptr, qmTestPath("merged.xa03").c_str()), 1);
    ExpectSameFrames(back, a, "merged corners");
    EXPECT_EQ(back.GetModel(0)->EnumMeshes(0)->vertexCount, 3);
}

TEST(FXAnimRecord, NotANumberInALaterFrameRoundTrips) {
    FXAnim a;
    qmBuildAnim(&a, {100, 100, 100});
    a.GetModel(2)->EnumMeshes(0)->vertices[2].uv[0] = NAN;  // a vertex still stands for itself
    a.GetModel(1)->EnumMeshes(1)->vertices[0].color[0] = NAN;
    ASSERT_FALSE(qmSavedAnim(&a, true, "nan.xa03").empty());
    FXAnim back;
    ASSERT_EQ(back.Load(nullptr, qmTestPath("nan.xa03").c_str()), 1);
    EXPECT_EQ(back.GetModel(2)->EnumMeshes(0)->vertexCount, 4);
    EXPECT_TRUE(std::isnan(back.GetModel(2)->EnumMeshes(0)->vertices[2].uv[0]));
}

TEST(FXAnimRecord, SaveRefusesWhatCouldNotBeReadBack) {
    FXAnim a;
    qmBuildAnim(&a, {100, 100});
    std::string path = qmTestPath("refused.xa03");
    // In frame 0 a value that is not a number would take a new slot at every corner.
    a.GetModel(0)->EnumMeshes(0)->vertices[1].pos[1] = NAN;
    std::string log = qmTraced([&] { EXPECT_FALSE(a.Save(path.c_str())); });
    EXPECT_NE(log.find("vertex 1 of mesh 0 of frame 0 holds a value that is not a number"), std::string::npos) << log;
    a.GetModel(0)->EnumMeshes(0)->vertices[1].pos[1] = 0;
    a.GetModel(1)->EnumMeshes(1)->indices[2] = 1;  // other triangles in frame 1
    log = qmTraced([&] { EXPECT_FALSE(a.Save(path.c_str())); });
    EXPECT_NE(log.find("frame 1 does not share the meshes and triangles of frame 0"), std::string::npos) << log;
    EXPECT_TRUE(qmReadFile(path).empty());
    EXPECT_FALSE(a.Save(qmTestPath("no/such/dir/x.xa03").c_str()));
}

TEST(FXAnimRecord, OlderLayoutLoadsModelsByNumberOrFile) {
    LibraryEnv env;
    std::unique_ptr<FXModel> f0(qmAnimFrame(0)), f1(qmAnimFrame(1));
    f0->matlibName.Set("12");
    f1->matlibName.Set("13");
    ASSERT_TRUE(f0->Save(qmTestPath("frame0.xm").c_str()));
    ASSERT_TRUE(f1->Save(qmTestPath("frame1.xm").c_str()));

    FXAnim src;
    for (const char* n : {"5", "7", "5", "x", "", "9"}) {
        src.frameNames.Push(n);
        src.durations.PushInt(100);
    }
    FXPackage pkg;
    qmLoadPackage(&pkg, {{5, -1, qmReadFile(qmTestPath("frame0.xm"))},
                         {7, -1, qmReadFile(qmTestPath("frame1.xm"))},
                         {8, -1, qmSavedAnim(&src, false, "older.anim")}});
    FXAnim a;
    ASSERT_EQ(a.LoadCN(&env, &pkg, 8), 1);
    ASSERT_EQ(a.GetFrameCount(), 6);
    for (int i : {0, 2}) {
        ASSERT_NE(a.GetModel(i), nullptr);
        EXPECT_EQ(a.GetModel(i)->GetCount(), 2);  // working meshes made
        EXPECT_EQ(0, memcmp(a.GetModel(i)->EnumMeshes(0)->vertices[1].pos, f0->EnumMeshes(0)->vertices[1].pos, 12));
    }
    EXPECT_EQ(0, memcmp(a.GetModel(1)->EnumMeshes(1)->vertices[2].pos, f1->EnumMeshes(1)->vertices[2].pos, 12));
    EXPECT_EQ(a.GetModel(3), nullptr);  // not a number
    EXPECT_EQ(a.GetModel(4), nullptr);  // empty
    ASSERT_NE(a.GetModel(5), nullptr);  // a missing entry gives an empty model
    EXPECT_EQ(a.GetModel(5)->GetCount(), 0);
    EXPECT_EQ(env.requested, (std::vector<std::string>{"12", "13", "12"}));
    std::string log = qmTraced([&] { a.UpdateInterpolation(true, false); });
    EXPECT_NE(log.find("frame 3"), std::string::npos) << log;

    // The file form names model files.
    FXAnim files;
    files.frameNames.Push(qmTestPath("frame0.xm").c_str());
    files.frameNames.Push(qmTestPath("frame1.xm").c_str());
    files.durations.PushInt(40);
    files.durations.PushInt(60);
    ASSERT_TRUE(files.Save_v02(qmTestPath("files.anim").c_str()));
    FXAnim b;
    ASSERT_EQ(b.Load(&env, qmTestPath("files.anim").c_str()), 1);
    ASSERT_EQ(b.GetFrameCount(), 2);
    ASSERT_NE(b.GetModel(1), nullptr);
    EXPECT_EQ(0, memcmp(b.GetModel(1)->EnumMeshes(1)->vertices[2].pos, f1->EnumMeshes(1)->vertices[2].pos, 12));
    b.UpdateInterpolation(true, false);
    EXPECT_NE(b.posSplines.get(), nullptr);
}
