// The switchable clock, fxSleep's rounding, FXTimeDiff and the process-wide random generator.
#include "base/other.h"

#include <atomic>
#include <cmath>

namespace {

std::atomic<bool> localManual{false};
std::atomic<int64_t> localManualMicros{0};
std::atomic<uint32_t> localRandomState{1};

int64_t localSecondsToMicros(double s) { return int64_t(std::llround(s * 1000000.0)); }

}  // namespace

int64_t fxSleepMillis(double seconds) {
    if (seconds == 0.0) return 0;
    double ms = seconds * 1000.0 + 0.5;
    if (!(ms > 0.0)) return 0;  // negative or not a number: no sleep at all
    if (ms > 9.0e15) return int64_t(9.0e15);
    return int64_t(ms);
}

int64_t fxWaitMillis(double seconds) {
    if (seconds >= 100000.0) return -1;
    double ms = seconds * 1000.0;
    if (!(ms > 0.0)) return 0;  // negative or not a number: just look
    return int64_t(ms);
}

int64_t fxGetTimeMillis() {
    if (localManual.load(std::memory_order_acquire)) return localManualMicros.load() / 1000;
    return fxSystemMillis();
}

double fxGetTime() {
    if (localManual.load(std::memory_order_acquire)) return double(localManualMicros.load()) / 1000000.0;
    return double(fxSystemMillis()) / 1000.0;
}

void fxSleep(double seconds) {
    int64_t ms = fxSleepMillis(seconds);
    if (localManual.load(std::memory_order_acquire)) {
        localManualMicros.fetch_add(ms * 1000);
        fxSystemSleepMillis(0);  // let the other threads run, as a real sleep would
        return;
    }
    fxSystemSleepMillis(ms);
}

void fxUseManualClock(double startSeconds) {
    localManualMicros.store(localSecondsToMicros(startSeconds));
    localManual.store(true, std::memory_order_release);
}

void fxUseSystemClock() { localManual.store(false, std::memory_order_release); }

bool fxManualClockActive() { return localManual.load(std::memory_order_acquire); }

void fxSetManualClock(double seconds) { localManualMicros.store(localSecondsToMicros(seconds)); }

void fxAdvanceClock(double seconds) { localManualMicros.fetch_add(localSecondsToMicros(seconds)); }

double FXTimeDiff::OnTime() {
    double t = fxGetTime();
    double d = t - last;
    last = t;
    return d;
}

int fxRand() {
    uint32_t state = localRandomState.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = state * 214013u + 2531011u;
    } while (!localRandomState.compare_exchange_weak(state, next, std::memory_order_relaxed));
    return int((next >> 16) & 0x7FFF);
}

void fxSrand(unsigned seed) { localRandomState.store(seed, std::memory_order_relaxed); }

void fxResetRandom() {
    uint32_t r = uint32_t(fxRand());
    uint32_t ms = uint32_t(fxGetTimeMillis());
    fxSrand(r * ms);
}

double fxGetRandom() { return fxRand() / 32767.0; }
