// Time and random numbers. Every time in the engine is a double in seconds.
//
// fxGetTime reads one switchable clock source: the system's monotonic millisecond clock, or a
// controllable clock (tests, record mode) that moves only when fxSleep is called or when it is
// advanced by hand. Under the controllable clock fxSleep advances time instead of sleeping.
//
// The random generator is the engine's own process-wide 15-bit generator (values 0..32767).
#pragma once

#include <cstdint>

double fxGetTime();
// Sleeps the nearest whole millisecond (half up); exactly 0.0 yields the processor.
void fxSleep(double seconds);
// The millisecond count fxSleep uses for seconds: seconds * 1000 + 0.5, truncated toward zero.
int64_t fxSleepMillis(double seconds);
// The millisecond time-out of a timed wait: seconds * 1000 truncated; -1 (no limit) from 100000 s.
int64_t fxWaitMillis(double seconds);

// The clock as whole milliseconds (64 bits: no wrap).
int64_t fxGetTimeMillis();

// Clock control. The controllable clock counts microseconds so that record mode can step by
// fractions of a millisecond; all operations are thread-safe.
void fxUseManualClock(double startSeconds);
void fxUseSystemClock();
bool fxManualClockActive();
void fxSetManualClock(double seconds);
void fxAdvanceClock(double seconds);

class FXTimeDiff {
public:
    double last = 0.0;
    // Seconds since the previous call (the first call returns the absolute time).
    double OnTime();
};

// The 15-bit generator: state = state * 214013 + 2531011, value = (state >> 16) & 0x7FFF.
int fxRand();
void fxSrand(unsigned seed);
// Reseeds from the generator and the clock: fxSrand(fxRand() * milliseconds), wrapping.
void fxResetRandom();
// fxRand() / 32767.0: a value in [0, 1], both ends included.
double fxGetRandom();

// ---- provided by the platform file (other_posix.cpp, other_w32.cpp) ----
// The system's monotonic clock in milliseconds.
int64_t fxSystemMillis();
// Sleeps ms milliseconds; 0 yields the processor.
void fxSystemSleepMillis(int64_t ms);
