// The render thread: frame times under the controllable clock, the first-frame delay, stopping,
// retargeting, the lock between frames and teardown while running. Every test checks that no
// render thread is left behind.
#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/other.h"
#include "render/gl_api.h"
#include "render/gl_window.h"

namespace {

class Recorder : public PRender {
public:
    std::mutex mutex;
    std::vector<double> times;
    std::atomic<int> frames{0};
    std::atomic<bool> inFrame{false};
    std::atomic<long> tid{0};
    std::atomic<int> actOnDuringFrame{0};  // frames that found the device made current
    std::atomic<bool>* actState = nullptr;

    void OnRender(PEnv*, double t) override {
        inFrame = true;
        {
            std::lock_guard<std::mutex> g(mutex);
            times.push_back(t);
        }
        tid = long(syscall(SYS_gettid));
        if (actState && actState->load()) actOnDuringFrame++;
        frames++;
        inFrame = false;
    }
    std::vector<double> Times() {
        std::lock_guard<std::mutex> g(mutex);
        return times;
    }
};

// A device without a window whose SetAct calls are observed.
class ActWatchingGL : public FXGL {
public:
    std::atomic<bool> act{false};
    std::atomic<int> actCalls{0};
    void SetAct(bool on) override {
        act = on;
        actCalls++;
        FXGL::SetAct(on);
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

int localThreadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') n++;
        closedir(d);
    }
    return n;
}

bool localThreadAlive(long tid) {
    return access(("/proc/self/task/" + std::to_string(tid)).c_str(), F_OK) == 0;
}

// A joined thread's entry may linger in /proc for a moment after the join returns.
bool localThreadGone(long tid) {
    return localWaitFor([&] { return !localThreadAlive(tid); }, 2.0);
}
bool localThreadsBackTo(int n) {
    return localWaitFor([&] { return localThreadCount() == n; }, 2.0);
}

struct ManualClock {
    explicit ManualClock(double start) { fxUseManualClock(start); }
    ~ManualClock() { fxUseSystemClock(); }
};

}  // namespace

TEST(RenderLoop, FramesFollowTheClockFromATenthOfASecondOn) {
    ManualClock clock(50.0);
    ActWatchingGL gl;
    Recorder rec;
    rec.actState = &gl.act;
    int before = localThreadCount();
    ASSERT_TRUE(gl.StartLoop(&rec));
    ASSERT_TRUE(localWaitFor([&] { return rec.frames >= 5; }));
    EXPECT_TRUE(gl.loopRunning);
    gl.StopLoop(100000);
    EXPECT_FALSE(gl.loopRunning);
    EXPECT_EQ(gl.thread, nullptr);
    EXPECT_EQ(gl.render, nullptr);
    EXPECT_TRUE(localThreadsBackTo(before));

    std::vector<double> t = rec.Times();
    ASSERT_GE(t.size(), 5u);
    EXPECT_NEAR(t[0], 50.1, 1e-9);  // the first frame 100 ms after the start
    for (size_t i = 1; i < t.size(); i++) EXPECT_NEAR(t[i] - t[i - 1], 0.001, 1e-9) << i;
    // The device is current during every frame, and released after it.
    EXPECT_EQ(rec.actOnDuringFrame.load(), int(t.size()));
    EXPECT_EQ(gl.actCalls.load(), 2 * int(t.size()));
    EXPECT_FALSE(gl.act);
    int frames = rec.frames;
    localPause(20);
    EXPECT_EQ(rec.frames.load(), frames);  // stopped means stopped
}

TEST(RenderLoop, NullRenderableSpinsWithoutSleepingAndStartLoopRetargets) {
    ManualClock clock(10.0);
    FXGL gl;
    int before = localThreadCount();
    ASSERT_TRUE(gl.StartLoop(nullptr));
    ASSERT_TRUE(localWaitFor([] { return fxGetTime() >= 10.1 - 1e-9; }));
    localPause(30);
    // Only the first-frame delay moved the clock: nothing slept while there was nothing to draw.
    EXPECT_NEAR(fxGetTime(), 10.1, 1e-9);
    EXPECT_TRUE(gl.loopRunning);

    void* thread = gl.thread;
    Recorder a, b;
    ASSERT_TRUE(gl.StartLoop(&a));
    ASSERT_TRUE(localWaitFor([&] { return a.frames >= 3; }));
    ASSERT_TRUE(gl.StartLoop(&b));
    EXPECT_EQ(gl.thread, thread);  // the same thread, now drawing b
    ASSERT_TRUE(localWaitFor([&] { return b.frames >= 3; }));
    int aFrames = a.frames;
    localPause(20);
    EXPECT_EQ(a.frames.load(), aFrames);
    EXPECT_EQ(a.tid.load(), b.tid.load());
    EXPECT_EQ(localThreadCount(), before + 1);
    gl.StopLoop(100000);
    EXPECT_TRUE(localThreadsBackTo(before));
    EXPECT_TRUE(localThreadGone(b.tid));
}

TEST(RenderLoop, StopBeforeTheLoopBeganJoinsAndARestartWorks) {
    FXGL gl;
    Recorder rec;
    int before = localThreadCount();
    ASSERT_TRUE(gl.StartLoop(&rec));
    gl.StopLoop(0.5);  // well inside the first-frame delay
    EXPECT_EQ(gl.thread, nullptr);
    EXPECT_FALSE(gl.loopRunning);
    EXPECT_TRUE(localThreadsBackTo(before));
    EXPECT_EQ(rec.frames.load(), 0);

    ASSERT_TRUE(gl.StartLoop(&rec));  // a new thread after an end
    ASSERT_TRUE(localWaitFor([&] { return rec.frames >= 2; }));
    gl.StopLoop(100000);
    EXPECT_TRUE(localThreadsBackTo(before));
}

TEST(RenderLoop, EachFrameHoldsTheLockUnlessTheLoopIsToldNotTo) {
    FXGL gl;
    Recorder rec;
    ASSERT_TRUE(gl.StartLoop(&rec));
    ASSERT_TRUE(localWaitFor([&] { return rec.frames >= 2; }));
    gl.Lock(true);  // a frame holds the lock throughout: none is in progress now
    int held = rec.frames;
    localPause(40);
    EXPECT_EQ(rec.frames.load(), held);  // no frame while the window thread holds the lock
    gl.Lock(false);
    ASSERT_TRUE(localWaitFor([&] { return rec.frames > held + 2; }));
    gl.StopLoop(100000);

    gl.useLock = false;
    Recorder free;
    ASSERT_TRUE(gl.StartLoop(&free));
    gl.Lock(true);
    EXPECT_TRUE(localWaitFor([&] { return free.frames >= 3; }));
    gl.Lock(false);
    gl.StopLoop(100000);
}

TEST(RenderLoop, DestroyWhileRunningLeavesNoThread) {
    ManualClock clock(1.0);
    FXGL gl;
    Recorder rec;
    int before = localThreadCount();
    ASSERT_TRUE(gl.StartLoop(&rec));
    ASSERT_TRUE(localWaitFor([&] { return rec.frames >= 2; }));
    long tid = rec.tid;
    EXPECT_TRUE(localThreadAlive(tid));
    gl.Destroy();
    EXPECT_TRUE(localThreadGone(tid));
    EXPECT_TRUE(localThreadsBackTo(before));
    EXPECT_EQ(gl.thread, nullptr);
    EXPECT_EQ(gl.lock, nullptr);
    EXPECT_FALSE(gl.loopRunning);
    EXPECT_FALSE(gl.stopRequested);
    gl.Destroy();  // twice is harmless
    gl.Lock(true);  // without a lock: nothing
    gl.Lock(false);
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
        if (QmNear(qmReadPixel(3, 3), 255, 0, 0)) sawRed++;
    }
};

TEST_F(GLWindowTest, WindowThreadUsesTheDeviceBetweenFrames) {
    gl.SetAct(false);  // the loop makes the device current on its own thread
    RedFrame frame;
    ASSERT_TRUE(gl.StartLoop(&frame));
    ASSERT_TRUE(localWaitFor([&] { return frame.frames >= 3; }));
    for (int i = 0; i < 5; i++) {
        FXGRAutoAct act(&gl);
        EXPECT_FALSE(frame.inFrame);
        float green[4] = {0, 1, 0, 1};
        gl.SetClrColor(green);
        gl.Clrscr(true, true, false);
        glReadBuffer(GL_BACK);
        EXPECT_TRUE(QmNear(qmReadPixel(3, 3), 0, 255, 0));
    }
    int frames = frame.frames;
    ASSERT_TRUE(localWaitFor([&] { return frame.frames >= frames + 3; }));
    gl.StopLoop(100000);
    EXPECT_EQ(frame.sawRed.load(), frame.frames.load());
    gl.SetAct(true);
}
