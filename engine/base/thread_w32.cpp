// Windows threads: critical sections (recursive), CreateThread with a timed wait, priority
// classes. A thread is never killed: ending a record waits for its thread.
#include <windows.h>

#include <new>

#include "base/other.h"
#include "base/thread.h"

namespace {

struct FXThreadRecord {
    void (*fn)(void*) = nullptr;
    void* arg = nullptr;
    HANDLE handle = nullptr;  // null once the thread was waited for and closed
    DWORD id = 0;
};

DWORD WINAPI localThreadProc(LPVOID p) {
    FXThreadRecord* rec = static_cast<FXThreadRecord*>(p);
    if (rec && rec->fn) rec->fn(rec->arg);
    return 0;
}

void localForget(FXThreadRecord* rec) {
    CloseHandle(rec->handle);
    rec->handle = nullptr;
    rec->id = 0;
}

}  // namespace

void* fxCreateMutex() {
    CRITICAL_SECTION* cs = new (std::nothrow) CRITICAL_SECTION;
    if (!cs) return nullptr;
    InitializeCriticalSection(cs);
    return cs;
}

void fxDestroyMutex(void* mutex) {
    if (!mutex) return;
    CRITICAL_SECTION* cs = static_cast<CRITICAL_SECTION*>(mutex);
    DeleteCriticalSection(cs);
    delete cs;
}

void fxLock(void* mutex) { EnterCriticalSection(static_cast<CRITICAL_SECTION*>(mutex)); }
void fxUnlock(void* mutex) { LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(mutex)); }
bool fxTryLock(void* mutex) { return TryEnterCriticalSection(static_cast<CRITICAL_SECTION*>(mutex)) == 1; }

void* fxCreateThread(void (*fn)(void*), void* arg) {
    FXThreadRecord* rec = new (std::nothrow) FXThreadRecord;
    if (!rec) return nullptr;
    rec->fn = fn;
    rec->arg = arg;
    rec->handle = CreateThread(nullptr, 0, localThreadProc, rec, 0, &rec->id);
    if (!rec->handle) {
        delete rec;
        return nullptr;
    }
    return rec;
}

bool fxWaitThread(void* thread, double seconds) {
    FXThreadRecord* rec = static_cast<FXThreadRecord*>(thread);
    if (!rec || !rec->handle || rec->id == 0) return true;
    int64_t ms = fxWaitMillis(seconds);
    // A finite wait is at most 99999999 ms, well below INFINITE.
    DWORD r = WaitForSingleObject(rec->handle, ms < 0 ? INFINITE : DWORD(ms));
    if (r == WAIT_TIMEOUT) return false;
    localForget(rec);  // ended: the record keeps no thread any more
    return true;
}

void fxTerminateThread(void* thread) {
    FXThreadRecord* rec = static_cast<FXThreadRecord*>(thread);
    if (!rec || !rec->handle || rec->id == 0) return;
    WaitForSingleObject(rec->handle, INFINITE);
    localForget(rec);
}

void fxDestroyThread(void* thread) {
    if (!thread) return;
    fxTerminateThread(thread);
    delete static_cast<FXThreadRecord*>(thread);
}

// Raised means above normal, never the real-time class: a saver must not starve the machine.
void fxSetAppPriority(int p) {
    DWORD cls = p > 0 ? ABOVE_NORMAL_PRIORITY_CLASS : (p < 0 ? BELOW_NORMAL_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS);
    SetPriorityClass(GetCurrentProcess(), cls);
}

void fxSetThreadPriority(void* thread, int p) {
    FXThreadRecord* rec = static_cast<FXThreadRecord*>(thread);
    if (!rec || !rec->handle) return;
    int prio = p > 0 ? THREAD_PRIORITY_ABOVE_NORMAL : (p < 0 ? THREAD_PRIORITY_LOWEST : THREAD_PRIORITY_NORMAL);
    SetThreadPriority(rec->handle, prio);
}

unsigned fxGetThreadId() { return unsigned(GetCurrentThreadId()); }
