// Sprite-movie playback without a device: preparation order, the queue draining at the end,
// restarts, pacing on the controllable clock, stop requests, frame selection and the material
// pool. No environment is current, so frames do not decode; only the queue moves.
#include <gtest/gtest.h>

#include <atomic>
#include <set>

#include "base/thread.h"

#include "smovie_test_util.h"

namespace {

void localFrames(SMovie* mv, int n) {
    for (int i = 0; i < n; i++) mv->colorNames.Push("x"), mv->maskNames.Push("x");
    mv->compiled = true;
}

// One frame of a clip as the scene plays it; returns the movie frame that was on screen.
int localPlayFrame(SMovie* mv, PEnv* env) {
    mv->Prepare(nullptr, -1);
    mv->OnRender0(env, 0.0);
    int shown = mv->preparedFrames.top > 0 ? mv->preparedFrames.GetInt(0) : -1;
    mv->OnRender1(env, 0.0);
    mv->Prepare(nullptr, -1);
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
        SMovie mv;
        localFrames(&mv, 3);
        mv.loop = c.loop;
        mv.pingPong = c.pingPong;
        if (c.back) mv.RestartBack(0.0);
        std::vector<int> order;
        for (int call = 0; call < 5 && order.size() < 9; call++) {
            mv.Prepare(nullptr, -1);
            for (int i = 0; i < mv.preparedFrames.top; i++) order.push_back(mv.preparedFrames.GetInt(i));
            mv.EmptyPrepared();
        }
        order.resize(std::min<size_t>(order.size(), 9));
        EXPECT_EQ(order, c.order) << "loop " << c.loop << " pingPong " << c.pingPong << " back " << c.back;
    }
}

TEST_F(ManualClockTest, QueueDrainsRestartsAndPoolCirculates) {
    RecordingEnv env;
    SMovie mv;
    localFrames(&mv, 10);
    mv.loop = false;
    mv.Restart(fxGetTime());
    std::vector<int> shown, queue;
    auto play = [&](int frames) {
        for (int i = 0; i < frames; i++) {
            fxAdvanceClock(1.0);
            shown.push_back(localPlayFrame(&mv, &env));
            queue.push_back(mv.prepared.Count());
        }
    };
    play(1);
    std::set<void*> pool = {mv.prepared.Get(0), mv.prepared.Get(1)};
    const void* lists[3] = {mv.prepared.Storage(), mv.preparedFrames.items, mv.freeMaterials.Storage()};
    mv.RestartBack(fxGetTime());  // frames 1 and 2 are still queued: they come first
    play(12);
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    play(2);  // the last frame stays on screen with a queue of one, the end-of-clip signal
    EXPECT_EQ(std::vector<int>(queue.end() - 4, queue.end()), (std::vector<int>{2, 1, 1, 1}));
    EXPECT_EQ(shown.back(), 0);
    EXPECT_TRUE(mv.finished);
    EXPECT_EQ(env.meshes.size(), shown.size());
    // The same two materials circulated, in lists that never grew.
    std::set<void*> now = {mv.prepared.Get(0), mv.freeMaterials.Get(0)};
    EXPECT_EQ(now, pool);
    const void* after[3] = {mv.prepared.Storage(), mv.preparedFrames.items, mv.freeMaterials.Storage()};
    EXPECT_TRUE(std::equal(lists, lists + 3, after));
}

TEST_F(ManualClockTest, FrameWaitPacesTheSwitches) {
    RecordingEnv env;
    SMovie mv;
    localFrames(&mv, 4);
    mv.waitFrame = true;
    mv.frameDuration = 1.0 / 24;
    mv.Restart(fxGetTime());
    for (int i = 0; i < 6; i++) {
        double before = mv.lastSwitch, called = fxGetTime();  // every call comes early
        localPlayFrame(&mv, &env);
        EXPECT_GT(mv.lastSwitch - before, 1.0 / 24) << "frame " << i;
        EXPECT_GE(fxGetTime() - called, 1.0 / 24) << "frame " << i;  // slept until the switch was due
    }
    // Without the wait an early call neither sleeps nor switches.
    mv.waitFrame = false;
    double now = fxGetTime(), last = mv.lastSwitch;
    mv.OnRender1(&env, 0.0);
    EXPECT_EQ(fxGetTime(), now);
    EXPECT_EQ(mv.lastSwitch, last);
}

TEST_F(ManualClockTest, StopRequestOrPauseHoldsTheFrame) {
    RecordingEnv env;
    SMovie mv;
    localFrames(&mv, 3);
    mv.waitFrame = true;
    mv.frameDuration = 5.0;
    mv.Restart(fxGetTime());
    mv.Prepare(nullptr, -1);
    env.stopRequested = true;
    double start = fxGetTime();
    mv.OnRender1(&env, 0.0);
    EXPECT_LT(fxGetTime() - start, 0.01);  // the wait ended at once, without a switch
    EXPECT_EQ(mv.preparedFrames.GetInt(0), 0);
    env.stopRequested = false;
    mv.playing = false;  // not playing: no wait and no switch, however late
    fxAdvanceClock(60.0);
    mv.OnRender1(&env, 0.0);
    EXPECT_EQ(mv.preparedFrames.GetInt(0), 0);
    mv.Continue(fxGetTime() - 6.0);
    mv.OnRender1(&env, 0.0);
    EXPECT_EQ(mv.preparedFrames.GetInt(0), 1);
}

TEST(SMoviePlay, SelectionSetsTextureAndCropRectangle) {
    RecordingEnv env;
    SMovie mv;
    localFrames(&mv, 2);
    for (float v : {-0.5f, 0.75f, 0.25f, -0.25f, -1.0f, 1.0f, 1.0f, -1.0f}) mv.rects.Push(v);
    mv.hasRects = true;
    mv.Prepare(nullptr, -1);
    mv.OnRender0(&env, 0.0);
    EXPECT_EQ(mv.desk.mesh.material, mv.prepared.First());
    std::vector<float> corners;  // vertices 0, 1, 3, 2: top-left, top-right, bottom-right, bottom-left
    for (int v : {0, 1, 3, 2}) corners.insert(corners.end(), mv.desk.mesh.vertices[v].pos, mv.desk.mesh.vertices[v].pos + 2);
    EXPECT_EQ(corners, (std::vector<float>{-0.5f, 0.75f, 0.25f, 0.75f, 0.25f, -0.25f, -0.5f, -0.25f}));
    EXPECT_TRUE(env.calls.empty());  // selecting draws nothing
}

namespace {

// The recording environment with the engine's own render loop, lock and stop.
class LoopEnv : public RecordingEnv {
public:
    bool StartLoop(PRender* r) override { return PEnv::StartLoop(r); }
    void StopLoop(double timeout) override { PEnv::StopLoop(timeout); }
    void Lock(bool on) override { PEnv::Lock(on); }
    void SetAct(bool) override {}
    void RenderLoop() override { PEnv::RenderLoop(); }
};

struct MovieFrame : PRender {
    SMovie* mv = nullptr;
    std::atomic<int> frames{0};
    void OnRender(PEnv* env, double t) override {
        frames++;
        mv->OnRender1(env, t);
    }
};

}  // namespace

TEST(SMoviePlay, FrameWaitLetsOtherThreadsTakeTheEnvironmentLock) {
    // A movie frame an hour long: the render loop sits in its wait. A resize on the window
    // thread takes the environment lock; it must get it while the loop waits.
    LoopEnv env;
    SMovie mv;
    localFrames(&mv, 2);
    mv.waitFrame = true;
    mv.frameDuration = 3600.0;
    mv.Restart(fxGetTime());
    mv.Prepare(nullptr, -1);
    MovieFrame frame;
    frame.mv = &mv;
    ASSERT_TRUE(env.StartLoop(&frame));
    bool entered = false, took = false;
    for (int i = 0; i < 2000 && !took; i++) {
        entered = entered || frame.frames.load() > 0;
        if (entered && fxTryLock(env.lock)) {
            took = true;
            fxUnlock(env.lock);
        }
        fxSystemSleepMillis(5);
    }
    env.StopLoop(10.0);
    EXPECT_TRUE(entered);
    EXPECT_TRUE(took) << "the frame wait kept the environment lock";
    EXPECT_EQ(frame.frames.load(), 1) << "the loop was in the first frame's wait all along";
    EXPECT_EQ(mv.preparedFrames.GetInt(0), 0) << "a stop ends the wait without a switch";
}
