#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include <sys/resource.h>

#include "base/other.h"
#include "base/thread.h"

TEST(Time, SleepRoundsHalfUpAndWaitTruncates) {
    EXPECT_EQ(fxSleepMillis(0.0), 0);
    EXPECT_EQ(fxSleepMillis(0.0004), 0);
    EXPECT_EQ(fxSleepMillis(0.0005), 1);
    EXPECT_EQ(fxSleepMillis(0.01), 10);
    EXPECT_EQ(fxSleepMillis(-3.0), 0);
    EXPECT_EQ(fxWaitMillis(100000.0), -1);
    EXPECT_EQ(fxWaitMillis(99999.0), 99999000);
    EXPECT_EQ(fxWaitMillis(0.0019), 1);
    // A damaged duration never turns into a huge or undefined count.
    EXPECT_EQ(fxSleepMillis(std::nan("")), 0);
    EXPECT_EQ(fxWaitMillis(std::nan("")), 0);
    EXPECT_EQ(fxWaitMillis(-2.0), 0);
}

TEST(Time, ManualClockMovesOnlyWhenSleptOrAdvanced) {
    fxUseManualClock(4.0);
    EXPECT_TRUE(fxManualClockActive());
    EXPECT_EQ(fxGetTime(), 4.0);
    fxSleep(0.0015);  // 2 ms
    EXPECT_DOUBLE_EQ(fxGetTime(), 4.002);
    fxAdvanceClock(0.5);
    EXPECT_DOUBLE_EQ(fxGetTime(), 4.502);
    EXPECT_EQ(fxGetTimeMillis(), 4502);
    fxSetManualClock(1.25);
    FXTimeDiff d;
    EXPECT_EQ(d.OnTime(), 1.25);  // the first call returns the absolute time
    fxAdvanceClock(0.25);
    EXPECT_DOUBLE_EQ(d.OnTime(), 0.25);

    // Sleeps from several threads all advance the one clock.
    std::thread t1([] { for (int i = 0; i < 100; i++) fxSleep(0.001); });
    std::thread t2([] { for (int i = 0; i < 100; i++) fxSleep(0.001); });
    t1.join();
    t2.join();
    EXPECT_DOUBLE_EQ(fxGetTime(), 1.7);

    fxUseSystemClock();
    int64_t a = fxGetTimeMillis();  // whole milliseconds: no rounding in the comparison
    fxSleep(0.002);
    EXPECT_GE(fxGetTimeMillis(), a + 2);
}

TEST(Random, FifteenBitGeneratorReachesBothEnds) {
    fxSrand(1);
    EXPECT_EQ(fxRand(), 41);  // the classic sequence: 41, 18467, 6334
    EXPECT_EQ(fxRand(), 18467);
    EXPECT_EQ(fxRand(), 6334);
    bool sawZero = false, sawOne = false;
    for (int i = 0; i < 2000000 && !(sawZero && sawOne); i++) {
        double r = fxGetRandom();
        ASSERT_GE(r, 0.0);
        ASSERT_LE(r, 1.0);
        sawZero |= (r == 0.0);
        sawOne |= (r == 1.0);
    }
    EXPECT_TRUE(sawZero);
    EXPECT_TRUE(sawOne);

    // The same clock and generator state give the same reseed.
    fxUseManualClock(123.456);
    fxSrand(77);
    fxResetRandom();
    int a = fxRand();
    fxSrand(77);
    fxResetRandom();
    EXPECT_EQ(fxRand(), a);
    fxUseSystemClock();
}

TEST(Mutex, TryLockFromAnotherThreadAndRecursion) {
    void* m = fxCreateMutex();
    ASSERT_NE(m, nullptr);
    fxLock(m);
    fxLock(m);  // recursive for its owner
    EXPECT_TRUE(fxTryLock(m));
    std::atomic<int> result{-1};
    std::thread other([&] { result = fxTryLock(m) ? 1 : 0; });
    other.join();
    EXPECT_EQ(result.load(), 0);
    fxUnlock(m);
    fxUnlock(m);
    fxUnlock(m);
    std::thread after([&] {
        result = fxTryLock(m) ? 1 : 0;
        if (result) fxUnlock(m);
    });
    after.join();
    EXPECT_EQ(result.load(), 1);
    fxDestroyMutex(m);
    fxDestroyMutex(nullptr);
}

namespace {
struct Gate {
    std::atomic<bool> open{false};
    std::atomic<bool> ran{false};
};
void localGateThread(void* p) {
    Gate* g = static_cast<Gate*>(p);
    g->ran = true;
    while (!g->open.load()) std::this_thread::yield();
}
}  // namespace

TEST(Thread, TimedWaitThenTerminateWaitsForTheThread) {
    Gate g;
    void* t = fxCreateThread(localGateThread, &g);
    ASSERT_NE(t, nullptr);
    EXPECT_FALSE(fxWaitThread(t, 0.0));   // still running
    EXPECT_FALSE(fxWaitThread(t, 0.02));  // times out
    g.open = true;
    EXPECT_TRUE(fxWaitThread(t, 100000.0));
    EXPECT_TRUE(g.ran.load());
    EXPECT_TRUE(fxWaitThread(t, 0.0));  // ended: at once
    fxTerminateThread(t);
    fxTerminateThread(t);               // already terminated: nothing
    EXPECT_TRUE(fxWaitThread(t, 5.0));
    fxDestroyThread(t);
    fxDestroyThread(nullptr);
    EXPECT_TRUE(fxWaitThread(nullptr, 1.0));
}

TEST(Thread, DestroyOfARunningThreadJoinsIt) {
    Gate g;
    void* t = fxCreateThread(localGateThread, &g);
    ASSERT_NE(t, nullptr);
    std::thread opener([&] {
        while (!g.ran.load()) std::this_thread::yield();
        g.open = true;
    });
    fxDestroyThread(t);  // never kills: returns once the thread has ended
    opener.join();
    EXPECT_TRUE(g.open.load());
}

namespace {
struct NiceProbe {
    Gate gate;
    std::atomic<int> nice{-100};
};
void localNiceThread(void* p) {
    NiceProbe* probe = static_cast<NiceProbe*>(p);
    localGateThread(&probe->gate);
    probe->nice = getpriority(PRIO_PROCESS, 0);  // this thread's own nice value
}
}  // namespace

TEST(Thread, PriorityReachesAFreshAndARunningThread) {
    int base = getpriority(PRIO_PROCESS, 0);
    NiceProbe fresh;
    void* t = fxCreateThread(localNiceThread, &fresh);
    ASSERT_NE(t, nullptr);
    fxSetThreadPriority(t, -1);  // most likely before the thread has started
    fresh.gate.open = true;
    fxDestroyThread(t);

    NiceProbe running;
    t = fxCreateThread(localNiceThread, &running);
    ASSERT_NE(t, nullptr);
    while (!running.gate.ran.load()) std::this_thread::yield();
    fxSetThreadPriority(t, -1);
    running.gate.open = true;
    fxDestroyThread(t);

    if (base <= 10) {  // lowering to nice 10 is always permitted from here
        EXPECT_EQ(fresh.nice.load(), 10);
        EXPECT_EQ(running.nice.load(), 10);
    }
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), base);  // the caller's own priority is untouched
    fxSetThreadPriority(nullptr, 1);
    EXPECT_NE(fxGetThreadId(), 0u);
}
