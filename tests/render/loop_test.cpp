// The render thread: frame times under the controllable clock, the first-frame delay, stopping,
// retargeting, the lock between frames and teardown while running. No test may leave a render
// thread behind.
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/other.h"
#include "support/gl_window_x11.h"

namespace {

class Recorder : public PRender {
public:
    std::mutex mutex;
    std::vector<double> times;
    std::atomic<int> frames{0};
    std::atomic<bool> inFrame{false};
    std::atomic<long> tid{0};
    std::atomic<bool>* act = nullptr;  // the device's current state, when watched
    std::atomic<int> actFrames{0};     // frames that found the device current

    void OnRender(PEnv*, double t) override {
        inFrame = true;
        {
            std::lock_guard<std::mutex> g(mutex);
            times.push_back(t);
        }
        tid = long(syscall(SYS_gettid));
        if (act && *act) actFrames++;
        frames++;
        inFrame = false;
    }
};

// A device without a window that notes which threads ran its loop and watches SetAct.
class LoopGL : public FXGL {
public:
    std::atomic<bool> act{false};
    std::atomic<long> loopTid{0};
    std::atomic<int> loops{0};
    void SetAct(bool on) override { act = on; }
    void RenderLoop() override {
        loopTid = long(syscall(SYS_gettid));
        loops++;
        FXGL::RenderLoop();
    }
};

// Real-time waiting (never moves the controllable clock).
bool localWaitFor(const std::function<bool()>& cond, double seconds = 5.0) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void localPause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// True once the thread has left the process (its /proc entry may linger a moment after a join).
bool localThreadGone(long tid) {
    std::string path = "/proc/self/task/" + std::to_string(tid);
    return tid > 0 && localWaitFor([&] { return access(path.c_str(), F_OK) != 0; }, 2.0);
}

struct ManualClock {
    explicit ManualClock(double start) { fxUseManualClock(start); }
    ~ManualClock() { fxUseSystemClock(); }
};

}  // namespace

TEST(RenderLoop, FramesFollowTheClockFromATenthOfASecondOn) {
    ManualClock clock(50.0);
    LoopGL gl;
    Recorder rec;
    rec.act = &gl.act;
    ASSERT_TRUE(gl.StartLoop(&rec));
    ASSERT_TRUE(localWaitFor([&] { return rec.frames >= 5; }));
    gl.StopLoop(100000);
    EXPECT_FALSE(gl.loopRunning);
    EXPECT_EQ(gl.thread, nullptr);
    EXPECT_TRUE(localThreadGone(gl.loopTid));
    ASSERT_GE(rec.times.size(), 5u);
    EXPECT_NEAR(rec.times[0], 50.1, 1e-9);
    for (size_t i = 1; i < rec.times.size(); i++) EXPECT_NEAR(rec.times[i] - rec.times[i - 1], 0.001, 1e-9);
    EXPECT_EQ(rec.actFrames.load(), rec.frames.load());  // current during every frame
    EXPECT_FALSE(gl.act);                                // and released after it
}

// A renderable that asks for its next frame a 60th of a second after this one began (as the
// saver's opening and preview do) gets that spacing on the clock; one that asks for a time
// already past gets the usual 1 ms; asking for more than a second gets a second at most.
TEST(RenderLoop, FramesStartNoEarlierThanTheRenderableAsked) {
    ManualClock clock(20.0);
    LoopGL gl;
    struct Paced : Recorder {
        std::atomic<double> ahead{1.0 / 60.0};
        void OnRender(PEnv* env, double t) override {
            Recorder::OnRender(env, t);
            env->nextFrameAt = t + ahead;
        }
    } rec;
    ASSERT_TRUE(gl.StartLoop(&rec));
    ASSERT_TRUE(localWaitFor([&] { return rec.frames >= 5; }));
    rec.ahead = -1.0;  // a time already past
    int before = rec.frames;
    ASSERT_TRUE(localWaitFor([&] { return rec.frames >= before + 4; }));
    rec.ahead = 30.0;
    before = rec.frames;
    ASSERT_TRUE(localWaitFor([&] { return rec.frames >= before + 3; }));
    gl.StopLoop(100000);
    std::lock_guard<std::mutex> g(rec.mutex);
    std::vector<double> gaps;
    for (size_t i = 1; i < rec.times.size(); i++) gaps.push_back(rec.times[i] - rec.times[i - 1]);
    ASSERT_GE(gaps.size(), 10u);
    for (int i = 0; i < 4; i++) EXPECT_NEAR(gaps[size_t(i)], 0.017, 1e-9) << i;  // 16.7 ms, whole ms
    int shortGaps = 0;
    for (double gap : gaps) shortGaps += std::abs(gap - 0.001) < 1e-9;
    EXPECT_GE(shortGaps, 3);
    EXPECT_NEAR(gaps.back(), 1.0, 1e-9);
}

TEST(RenderLoop, NullRenderableSpinsWithoutSleepingAndStartLoopRetargets) {
    ManualClock clock(10.0);
    LoopGL gl;
    ASSERT_TRUE(gl.StartLoop(nullptr));
    ASSERT_TRUE(localWaitFor([] { return fxGetTime() >= 10.1 - 1e-9; }));
    localPause(30);
    EXPECT_NEAR(fxGetTime(), 10.1, 1e-9);  // nothing slept while there was nothing to draw
    void* thread = gl.thread;
    Recorder a, b;
    ASSERT_TRUE(gl.StartLoop(&a));
    ASSERT_TRUE(localWaitFor([&] { return a.frames >= 3; }));
    ASSERT_TRUE(gl.StartLoop(&b));
    EXPECT_EQ(gl.thread, thread);
    ASSERT_TRUE(localWaitFor([&] { return b.frames >= 3; }));
    int aFrames = a.frames;
    localPause(20);
    EXPECT_EQ(a.frames.load(), aFrames);
    EXPECT_EQ(a.tid.load(), b.tid.load());
    EXPECT_EQ(gl.loops.load(), 1);  // one thread ran one loop throughout
    gl.StopLoop(100000);
    EXPECT_TRUE(localThreadGone(gl.loopTid));
}

TEST(RenderLoop, StopBeforeTheLoopBeganJoinsAndARestartWorks) {
    LoopGL gl;
    Recorder rec;
    ASSERT_TRUE(gl.StartLoop(&rec));
    gl.StopLoop(0.5);  // inside the first-frame delay
    EXPECT_TRUE(localThreadGone(gl.loopTid));
    EXPECT_EQ(rec.frames.load(), 0);
    ASSERT_TRUE(gl.StartLoop(&rec));
    ASSERT_TRUE(localWaitFor([&] { return rec.frames >= 2; }));
    gl.Destroy();  // while running
    EXPECT_TRUE(localThreadGone(rec.tid));
    EXPECT_EQ(gl.lock, nullptr);
    EXPECT_FALSE(gl.loopRunning || gl.stopRequested);
}

TEST(RenderLoop, EachFrameHoldsTheLockUnlessTheLoopIsToldNotTo) {
    FXGL gl;
    Recorder rec, free;
    ASSERT_TRUE(gl.StartLoop(&rec));
    ASSERT_TRUE(localWaitFor([&] { return rec.frames >= 2; }));
    gl.Lock(true);
    int held = rec.frames;
    localPause(40);
    EXPECT_EQ(rec.frames.load(), held);
    gl.Lock(false);
    ASSERT_TRUE(localWaitFor([&] { return rec.frames > held + 2; }));
    gl.StopLoop(100000);
    gl.useLock = false;
    ASSERT_TRUE(gl.StartLoop(&free));
    gl.Lock(true);
    EXPECT_TRUE(localWaitFor([&] { return free.frames >= 3; }));
    gl.Lock(false);
    gl.StopLoop(100000);
}

// A frame that uses the device: clears to red and checks what it drew.
class RedFrame : public Recorder {
public:
    std::atomic<int> sawRed{0};
    void OnRender(PEnv* env, double t) override {
        Recorder::OnRender(env, t);
        float red[4] = {1, 0, 0, 1};
        env->SetClrColor(red);
        env->Clrscr(true, true, false);
        sawRed += QmNear(qmReadPixel(3, 3), 255, 0, 0) ? 1 : 0;
    }
};

TEST_F(GLWindowTest, WindowThreadUsesTheDeviceBetweenFrames) {
    gl.SetAct(false);
    RedFrame frame;
    ASSERT_TRUE(gl.StartLoop(&frame));
    ASSERT_TRUE(localWaitFor([&] { return frame.frames >= 3; }));
    for (int i = 0; i < 5; i++) {
        FXGRAutoAct act(&gl);
        EXPECT_FALSE(frame.inFrame);
        float green[4] = {0, 1, 0, 1};
        gl.SetClrColor(green);
        gl.Clrscr(true, true, false);
        EXPECT_TRUE(QmNear(qmReadPixel(3, 3), 0, 255, 0));
    }
    int frames = frame.frames;
    ASSERT_TRUE(localWaitFor([&] { return frame.frames >= frames + 3; }));
    gl.StopLoop(100000);
    EXPECT_EQ(frame.sawRed.load(), frame.frames.load());
}
