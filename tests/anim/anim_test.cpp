// FXAnim at run time: frame durations, the own clock (visiting orders, lateness carry, the end of
// a non-looping animation), the key pairs and their direction checked against reference splines,
// the external drive and what is drawn.
#include "anim/anim.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "anim_test_util.h"
#include "support/recording_env.h"

namespace {

struct Flags {
    bool loop, pingPong, backwards;
};

// An animation of n frames of 125 ms (exact in binary, so clock arithmetic is exact).
void Build(FXAnim* a, int n, Flags f, bool interpolated) {
    qmBuildAnim(a, std::vector<int>(size_t(n), 125));
    a->loop = f.loop;
    a->pingPong = f.pingPong;
    a->UpdateInterpolation(interpolated, false);
    a->StartAnim(0.0);
    a->backwards = f.backwards;
}

}  // namespace

TEST(FXAnim, FrameDurations) {
    FXAnim a;
    qmBuildAnim(&a, {100, 0, 250, -5});
    const double want[] = {0.1, 0.1, 0.5, 0.25, 0.5, 0.5};  // frames -1 .. 4: clamped
    for (int f = -1; f <= 4; f++) {
        a.frame = f;
        a.ComputeFrameDuration();
        EXPECT_DOUBLE_EQ(a.frameDuration, want[f + 1]) << f;
    }
}

TEST(FXAnim, FrameByFrameVisitingOrders) {
    struct Case {
        const char* name;
        int frames;
        Flags flags;
        std::vector<int> visits;  // frame after each of the first calls, one frame duration apart
        int stopsAfter;           // calls after which playing is false (-1: never)
    } cases[] = {
        {"ping-pong", 4, {true, true, false}, {0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2}, -1},
        {"wrap", 4, {true, false, false}, {0, 1, 2, 3, 0, 1, 2}, -1},
        {"once", 4, {false, false, false}, {0, 1, 2, 3, 3, 3}, 4},
        {"wrap backwards", 4, {true, false, true}, {0, 3, 2, 1, 0, 3}, -1},
        {"ping-pong backwards", 3, {true, true, true}, {0, 1, 2, 1, 0, 1}, -1},
        {"once backwards", 3, {false, false, true}, {0, 0, 0}, 1},
        {"single frame ping-pong", 1, {true, true, false}, {0, 0, 0}, -1},
        {"two frames ping-pong", 2, {true, true, false}, {0, 1, 0, 1}, -1},
    };
    for (const Case& c : cases) {
        FXAnim a;
        Build(&a, c.frames, c.flags, false);
        RecordingEnv env;
        for (size_t i = 0; i < c.visits.size(); i++) {
            env.meshes.clear();
            a.OnRender(&env, 0.125 * double(i));
            EXPECT_EQ(a.frame, c.visits[i]) << c.name << " call " << i;
            EXPECT_EQ(a.playing, c.stopsAfter < 0 || int(i) < c.stopsAfter) << c.name << " call " << i;
            ASSERT_EQ(env.meshes.size(), 2u) << c.name;  // the current frame's own model
            EXPECT_EQ(env.meshes[0], a.GetModel(a.frame)->EnumMeshes(0)) << c.name << " call " << i;
        }
    }
}

TEST(FXAnim, InterpolatedPairsAndDirections) {
    struct Step {
        int frame, from, to;
        bool reverse;
    };
    struct Case {
        const char* name;
        Flags flags;
        std::vector<Step> steps;  // at the middle of each successive frame
    } cases[] = {
        // On the way back the pairs are traversed from their second key to their first.
        {"ping-pong",
         {true, true, false},
         {{0, 0, 1, false},
          {1, 1, 2, false},
          {2, 2, 3, false},
          {3, 2, 3, true},
          {2, 1, 2, true},
          {1, 0, 1, true},
          {0, 0, 1, false},
          {1, 1, 2, false}}},
        // The last frame runs on the closing segment back to frame 0.
        {"wrap",
         {true, false, false},
         {{0, 0, 1, false}, {1, 1, 2, false}, {2, 2, 3, false}, {3, 3, 0, false}, {0, 0, 1, false}}},
        {"wrap backwards", {true, false, true}, {{0, 3, 0, true}, {3, 2, 3, true}, {2, 1, 2, true}}},
    };
    for (const Case& c : cases) {
        FXAnim a;
        Build(&a, 4, c.flags, true);
        RecordingEnv env;
        for (size_t i = 0; i < c.steps.size(); i++) {
            const Step& s = c.steps[i];
            a.OnRender(&env, 0.125 * double(i) + 0.0625);
            std::string where = std::string(c.name) + " frame " + std::to_string(i);
            ASSERT_EQ(a.frame, s.frame) << where;
            EXPECT_EQ(a.phase, 0.5f) << where;
            EXPECT_EQ(a.reverseSegment, s.reverse) << where;
            qmExpectPose(a, s.from, s.to, s.reverse, where);
            ASSERT_FALSE(env.meshes.empty());
            EXPECT_EQ(env.meshes.back(), a.imodel.EnumMeshes(1)) << where;  // the interpolated model is drawn
        }
    }
}

TEST(FXAnim, LatenessIsCarriedIntoTheNextFrame) {
    FXAnim a;
    qmBuildAnim(&a, {100, 200, 100});
    a.StartAnim(0.0);
    a.OnRender(nullptr, 0.13);  // 30 ms late into a 0.2 s frame: it began 60 ms ago
    EXPECT_EQ(a.frame, 1);
    EXPECT_NEAR(a.frameStart, 0.07, 1e-7);
    EXPECT_DOUBLE_EQ(a.frameDuration, 0.2);
    const double late = a.frameStart + 0.2 * 2 + 0.01;  // more than two durations late: starts now
    a.OnRender(nullptr, late);
    EXPECT_EQ(a.frame, 2);
    EXPECT_EQ(a.frameStart, late);
    a.OnRender(nullptr, 50.0);  // one frame per call, however late
    EXPECT_EQ(a.frame, 0);
    a.OnRender(nullptr, 50.0);
    EXPECT_EQ(a.frame, 0);

    FXAnim never;  // a clock that was never started carries nothing over
    qmBuildAnim(&never, {100, 100});
    never.OnRender(nullptr, 0.0);
    EXPECT_EQ(never.frame, 1);
    EXPECT_EQ(never.frameStart, 0.0);
}

TEST(FXAnim, NonLoopingEndInterpolated) {
    FXAnim a;
    Build(&a, 3, {false, false, false}, true);
    RecordingEnv env;
    a.OnRender(&env, 0.0625);
    a.OnRender(&env, 0.125 + 0.1);  // frame 1 at phase 0.8
    ASSERT_TRUE(a.playing);
    const float last = a.phase;
    std::vector<tagFXVertex> pose(a.imodel.EnumMeshes(0)->vertices, a.imodel.EnumMeshes(0)->vertices + 4);
    a.OnRender(&env, 0.25 + 0.01);  // entering the last frame ends it at once
    EXPECT_EQ(a.frame, 2);
    EXPECT_FALSE(a.playing);
    EXPECT_EQ(a.phase, last);  // the last computed pose stays
    a.OnRender(&env, 3.0);
    EXPECT_EQ(0, memcmp(pose.data(), a.imodel.EnumMeshes(0)->vertices, sizeof(tagFXVertex) * 4));
}

TEST(FXAnim, ExternalDrive) {
    FXAnim a;
    qmBuildAnim(&a, {100, 100, 100, 100, 100});
    a.UpdateInterpolation(true, false);
    struct Case {
        int from, to;  // handed to SetActFrames
        int pairFrom, pairTo;
        bool reverse;
    } cases[] = {
        {3, 1, 1, 3, true},   // swapped, traversed backwards
        {4, 0, 4, 0, false},  // the closing segment stays forwards
        {1, 2, 1, 2, false},
        {2, 2, 2, 2, false},  // one key: a closed spline reads it as the segment to the next key
    };
    for (bool lin : {false, true}) {
        a.linear = lin;
        for (const Case& c : cases) {
            a.SetActFrames(c.from, c.to);
            EXPECT_EQ(a.frame, c.from);
            EXPECT_EQ(a.reverseSegment, c.reverse);
            a.SetActPhase(0.25f);
            qmExpectPose(a, c.pairFrom, c.pairTo, c.reverse,
                         "SetActFrames(" + std::to_string(c.from) + ", " + std::to_string(c.to) + ") linear " +
                             std::to_string(lin));
        }
    }
    // Frozen: the own clock stands and drawing leaves the pose as the movie set it.
    a.linear = false;
    a.frozen = true;
    a.StartAnim(0.0);
    a.SetActFrames(3, 1);
    a.SetActPhase(0.25f);
    RecordingEnv env;
    a.OnRender(&env, 5.0);
    EXPECT_EQ(a.frame, 3);
    qmExpectPose(a, 1, 3, true, "frozen");
    // A pair outside the frames keeps the segments; the clamped frame is drawn.
    a.SetActFrames(7, 9);
    a.SetActPhase(0.25f);
    qmExpectPose(a, 1, 3, false, "outside the frames");
    a.OnRender(&env, 6.0);
    EXPECT_EQ(a.frame, 4);
}

TEST(FXAnim, PosesAtTheKeysAndStructureChecks) {
    FXAnim a;
    qmBuildAnim(&a, {100, 100, 100, 100});
    a.UpdateInterpolation(true, false);
    for (int k = 0; k < 4; k++) {
        a.SetActFrames(k, (k + 1) % 4);
        a.SetActPhase(0.0f);
        for (int j = 0; j < 7; j++)
            EXPECT_EQ(0, memcmp(qmVertexAt(a.imodel, j)->pos, qmVertexAt(*a.GetModel(k), j)->pos, 24))
                << "key " << k << " vertex " << j;
    }
    // imodel's vertex arrays replaced: the splines write into the new ones.
    FXMesh* fresh = new FXMesh;
    fresh->Copy(a.imodel.EnumMeshes(0));
    a.imodel.meshes.Replace(0, fresh);
    a.SetActFrames(1, 2);
    a.SetActPhase(0.0f);
    EXPECT_EQ(0, memcmp(fresh->vertices[2].pos, a.GetModel(1)->EnumMeshes(0)->vertices[2].pos, 12));

    // A frame whose meshes hold another split of the same vertex total cannot be interpolated:
    // frame 0 is drawn unmoved, and nothing reads past a mesh.
    qmFillMesh(
        a.GetModel(2)->EnumMeshes(0),
        {qmVertex({0, 0, 0}), qmVertex({1, 0, 0}), qmVertex({0, 1, 0}), qmVertex({1, 1, 0}), qmVertex({2, 2, 0})},
        {0, 1, 2, 2, 1, 3});
    qmFillMesh(a.GetModel(2)->EnumMeshes(1), {qmVertex({0, 0, 0}), qmVertex({1, 0, 0})}, {0, 1, 1});
    std::string log = qmTraced([&] { a.UpdateInterpolation(true, false); });
    EXPECT_NE(log.find("frame 2 does not share the meshes of frame 0"), std::string::npos) << log;
    EXPECT_EQ(a.posSplines.get(), nullptr);
    EXPECT_EQ(a.imodel.GetTotalVertices(), 7);
    a.SetActFrames(1, 2);
    a.SetActPhase(0.5f);
    EXPECT_EQ(0, memcmp(qmVertexAt(a.imodel, 5)->pos, qmVertexAt(*a.GetModel(0), 5)->pos, 12));
}

// Released key frames change nothing a player sees: the same poses on the own clock and under
// external drive. Without splines the frames are what is drawn, so they stay.
TEST(FXAnim, ReleasedFramesKeepEveryPose) {
    FXAnim kept, released, plain;
    for (FXAnim* a : {&kept, &released, &plain}) qmBuildAnim(a, {100, 100, 100, 100});
    kept.UpdateInterpolation(true, false);
    released.UpdateInterpolation(true, false);
    released.ReleaseFrames();
    plain.ReleaseFrames();
    EXPECT_EQ(released.GetFrameCount(), 4);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(released.GetModel(i), nullptr) << i;
        EXPECT_NE(plain.GetModel(i), nullptr) << i;
    }
    auto samePose = [&](const std::string& where) {
        const FXMesh* a = kept.imodel.EnumMeshes(0);
        const FXMesh* b = released.imodel.EnumMeshes(0);
        ASSERT_TRUE(a && b && a->vertexCount == b->vertexCount) << where;
        for (int v = 0; v < a->vertexCount; v++)
            EXPECT_EQ(0, memcmp(&a->vertices[v], &b->vertices[v], sizeof(tagFXVertex))) << where << " vertex " << v;
    };
    RecordingEnv env;
    for (FXAnim* a : {&kept, &released}) a->StartAnim(0.0);
    for (double t : {0.05, 0.13, 0.26, 0.31}) {
        for (FXAnim* a : {&kept, &released}) a->OnRender(&env, t);
        samePose("own clock at " + std::to_string(t));
    }
    for (FXAnim* a : {&kept, &released}) {
        a->SetActFrames(3, 1);
        a->SetActPhase(0.4f);
    }
    samePose("external drive");
}
