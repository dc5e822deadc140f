// Windows clock and sleep: the multimedia timer widened to 64 bits (its 32-bit count wraps after
// 49.7 days; the wraps are counted so the clock never runs backwards), Sleep.
#include <windows.h>
#include <mmsystem.h>

#include <mutex>

#include "base/other.h"

int64_t fxSystemMillis() {
    static std::mutex lock;
    static DWORD last = 0;
    static int64_t wraps = 0;
    std::lock_guard<std::mutex> guard(lock);
    DWORD now = timeGetTime();
    if (now < last) wraps++;
    last = now;
    return (wraps << 32) + int64_t(now);
}

void fxSystemSleepMillis(int64_t ms) {
    if (ms <= 0) {
        Sleep(0);
        return;
    }
    // Sleep takes 32 bits, and INFINITE (0xFFFFFFFF) must never be asked for by accident.
    while (ms > 0) {
        DWORD step = ms > 0x7FFFFFFF ? 0x7FFFFFFF : DWORD(ms);
        Sleep(step);
        ms -= step;
    }
}
