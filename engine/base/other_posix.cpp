// POSIX clock and sleep: CLOCK_MONOTONIC in whole milliseconds, nanosleep, sched_yield.
#include <sched.h>
#include <time.h>

#include <cerrno>

#include "base/other.h"

int64_t fxSystemMillis() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void fxSystemSleepMillis(int64_t ms) {
    if (ms <= 0) {
        sched_yield();
        return;
    }
    timespec ts;
    ts.tv_sec = time_t(ms / 1000);
    ts.tv_nsec = long(ms % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}
