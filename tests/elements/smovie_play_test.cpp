// Sprite-movie playback without a device: the order frames are prepared in, the queue draining at
// the end, restarts, pacing on the controllable clock, stop requests, frame selection and the
// material pool. Frames here do not decode (no environment is current), so only the queue moves.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "smovie_test_util.h"

namespace {

void localFrames(SMovie* mv, int n) {
    for (int i = 0; i < n; i++) {
        mv->colorNames.Push(std::to_string(i).c_str());
        mv->maskNames.Push(std::to_string(i).c_str());
    }
    mv->compiled = true;
}

// The frames Prepare picks, in order, with the queue emptied after each call.
std::vector<int> localPrepareOrder(SMovie* mv, size_t n) {
    std::vector<int> out;
    while (out.size() < n) {
        mv->Prepare(-1);
        if (mv->preparedFrames.top == 0) break;
        for (int i = 0; i < mv->preparedFrames.top; i++) out.push_back(mv->preparedFrames.GetInt(i));
        mv->EmptyPrepared();
    }
    out.resize(std::min(out.size(), n));
    return out;
}

// One frame of a clip as the scene plays it; returns the movie frame that was on screen.
int localPlayFrame(SMovie* mv, PEnv* env) {
    mv->Prepare(-1);
    mv->OnRender0(env, 0.0);
    int shown = mv->preparedFrames.top > 0 ? mv->preparedFrames.GetInt(0) : -1;
    mv->OnRender1(env, 0.0);
    mv->Prepare(-1);
    return shown;
}

}  // namespace

TEST(SMoviePlay, PreparationOrder) {
    struct Case {
        bool loop, pingPong, back;
        std::vector<int> order;
    };
    const Case cases[] = {
        {true, true, false, {0, 1, 2, 2, 1, 0, 0, 1, 2}},
        {true, false, false, {0, 1, 2, 0, 1, 2, 0, 1, 2}},
        {false, false, false, {0, 1, 2, 2}},  // then nothing more
        {true, true, true, {2, 1, 0, 0, 1, 2, 2, 1, 0}},
        {true, false, true, {2, 1, 0, 2, 1, 0, 2, 1, 0}},
        {false, true, true, {2, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "loop " << c.loop << " pingPong " << c.pingPong << " back " << c.back);
        SMovie mv;
        localFrames(&mv, 3);
        mv.loop = c.loop;
        mv.pingPong = c.pingPong;
        if (c.back) mv.RestartBack(0.0);
        EXPECT_EQ(localPrepareOrder(&mv, 9), c.order);
    }
}

TEST_F(ManualClockTest, WithoutLoopTheQueueDrainsToTheLastFrame) {
    RecordingEnv env;
    SMovie mv;
    localFrames(&mv, 3);
    mv.loop = false;
    mv.waitFrame = true;
    mv.frameDuration = 0.1;
    mv.Restart(fxGetTime());
    std::vector<int> shown;
    std::vector<int> queue;
    for (int i = 0; i < 6; i++) {
        shown.push_back(localPlayFrame(&mv, &env));
        queue.push_back(mv.prepared.top);
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 2, 2, 2}));
    EXPECT_EQ(queue, (std::vector<int>{2, 2, 1, 1, 1, 1}));  // a queue of one ends the clip
    EXPECT_TRUE(mv.finished);
    EXPECT_EQ(env.meshes.size(), 6u);  // the last frame stays on screen
}

TEST_F(ManualClockTest, RestartBackShowsTheQueuedFramesFirst) {
    RecordingEnv env;
    SMovie mv;
    localFrames(&mv, 10);
    mv.loop = false;
    mv.Restart(fxGetTime());
    fxAdvanceClock(1.0);
    EXPECT_EQ(localPlayFrame(&mv, &env), 0);
    ASSERT_EQ(mv.preparedFrames.top, 2);  // frames 1 and 2 are queued
    mv.RestartBack(fxGetTime());
    std::vector<int> shown;
    for (int i = 0; i < 5; i++) {
        fxAdvanceClock(1.0);
        shown.push_back(localPlayFrame(&mv, &env));
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 9, 8, 7}));
}

TEST_F(ManualClockTest, FrameWaitPacesTheSwitches) {
    RecordingEnv env;
    SMovie mv;
    localFrames(&mv, 4);
    mv.waitFrame = true;
    mv.frameDuration = 1.0 / 24;
    mv.Restart(fxGetTime());
    std::vector<double> switches;
    for (int i = 0; i < 6; i++) {
        double before = mv.lastSwitch;
        double called = fxGetTime();  // each call comes right after the previous switch: early
        localPlayFrame(&mv, &env);
        ASSERT_NE(mv.lastSwitch, before) << "frame " << i << " did not switch";
        EXPECT_GT(fxGetTime() - called, 1.0 / 24 - 1e-9);  // it slept until the switch was due
        switches.push_back(mv.lastSwitch);
    }
    for (size_t i = 1; i < switches.size(); i++) EXPECT_GT(switches[i] - switches[i - 1], 1.0 / 24);

    // Without the wait an early call neither sleeps nor switches.
    mv.waitFrame = false;
    double now = fxGetTime(), last = mv.lastSwitch;
    mv.OnRender1(&env, 0.0);
    EXPECT_EQ(fxGetTime(), now);
    EXPECT_EQ(mv.lastSwitch, last);
    fxAdvanceClock(0.05);
    mv.OnRender1(&env, 0.0);
    EXPECT_GT(mv.lastSwitch, last);
}

TEST_F(ManualClockTest, StopRequestOrPauseHoldsTheFrame) {
    RecordingEnv env;
    SMovie mv;
    localFrames(&mv, 3);
    mv.waitFrame = true;
    mv.frameDuration = 5.0;
    mv.Restart(fxGetTime());
    mv.Prepare(-1);
    env.stopRequested = true;
    double start = fxGetTime();
    mv.OnRender1(&env, 0.0);
    EXPECT_LT(fxGetTime() - start, 0.01);  // the wait ended at once
    EXPECT_EQ(mv.preparedFrames.GetInt(0), 0);
    env.stopRequested = false;

    mv.playing = false;  // not playing: no wait and no switch, however late
    fxAdvanceClock(60.0);
    mv.OnRender1(&env, 0.0);
    EXPECT_EQ(mv.preparedFrames.GetInt(0), 0);
    EXPECT_EQ(mv.prepared.top, 2);
    mv.Continue(fxGetTime() - 6.0);
    mv.OnRender1(&env, 0.0);
    EXPECT_EQ(mv.preparedFrames.GetInt(0), 1);
}

TEST(SMoviePlay, SelectionSetsTextureAndCropRectangle) {
    RecordingEnv env;
    SMovie mv;
    localFrames(&mv, 2);
    float r[8] = {-0.5f, 0.75f, 0.25f, -0.25f, -1, 1, 1, -1};
    for (float v : r) mv.rects.Push(v);
    mv.hasRects = true;
    mv.Prepare(-1);
    mv.OnRender0(&env, 0.0);
    EXPECT_EQ(mv.desk.mesh.material, mv.prepared.First());
    auto pos = [&](int v) { return std::vector<float>{mv.desk.mesh.vertices[v].pos[0], mv.desk.mesh.vertices[v].pos[1]}; };
    EXPECT_EQ(pos(0), (std::vector<float>{-0.5f, 0.75f}));   // top-left
    EXPECT_EQ(pos(1), (std::vector<float>{0.25f, 0.75f}));   // top-right
    EXPECT_EQ(pos(3), (std::vector<float>{0.25f, -0.25f}));  // bottom-right
    EXPECT_EQ(pos(2), (std::vector<float>{-0.5f, -0.25f}));  // bottom-left
    EXPECT_TRUE(env.calls.empty());  // selecting draws nothing

    mv.hasRects = false;  // an uncropped movie keeps the corners where they are
    mv.EmptyPrepared();
    mv.Prepare(-1);       // frame 1 is in front now: its rectangle would be (-1, 1)-(1, -1)
    mv.OnRender0(&env, 0.0);
    EXPECT_EQ(pos(0), (std::vector<float>{-0.5f, 0.75f}));
}

TEST(SMoviePlay, MaterialsCirculateWithoutAllocation) {
    RecordingEnv env;
    SMovie mv;
    localFrames(&mv, 3);
    mv.Prepare(-1);
    std::set<void*> pool = {mv.prepared.Get(0), mv.prepared.Get(1)};
    void* lists[3] = {mv.prepared.items, mv.preparedFrames.items, mv.freeMaterials.items};
    for (int i = 0; i < 50; i++) {
        mv.lastSwitch = -1.0;  // every call is late enough to switch
        localPlayFrame(&mv, &env);
        std::set<void*> now;
        for (int k = 0; k < mv.prepared.top; k++) now.insert(mv.prepared.Get(k));
        for (int k = 0; k < mv.freeMaterials.top; k++) now.insert(mv.freeMaterials.Get(k));
        ASSERT_EQ(now, pool) << "frame " << i;
    }
    void* after[3] = {mv.prepared.items, mv.preparedFrames.items, mv.freeMaterials.items};
    EXPECT_TRUE(std::equal(lists, lists + 3, after));

    SMovie empty;  // no frames: nothing is set up or drawn
    empty.Prepare(-1);
    empty.OnRender(&env, 0.0);
    EXPECT_TRUE(empty.needsSetup);
    EXPECT_EQ(env.meshes.size(), 50u);
}
