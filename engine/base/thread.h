// Threads and mutual exclusion behind opaque handles. Mutexes are recursive (the owner may
// lock again). Threads are never killed: a thread that does not end is waited for, so every
// loop run on a thread must poll a stop request.
#pragma once

// ---- provided by the platform file (thread_posix.cpp, thread_w32.cpp) ----
void* fxCreateMutex();
void fxDestroyMutex(void* mutex);  // null is ignored
void fxLock(void* mutex);
void fxUnlock(void* mutex);
bool fxTryLock(void* mutex);  // false at once when another thread holds it

// Starts fn(arg) on a new thread; null on failure.
void* fxCreateThread(void (*fn)(void*), void* arg);
// Waits for the thread to end, at most seconds (100000 s and more: no limit); false only on
// time-out. True at once for a null or already ended record.
bool fxWaitThread(void* thread, double seconds);
// Ends the record's use of its thread: waits for the thread if it still runs, then forgets it.
void fxTerminateThread(void* thread);
// fxTerminateThread, then frees the record; null is ignored.
void fxDestroyThread(void* thread);

// p > 0 raised, p < 0 lowered, 0 normal; never a real-time scheduler.
void fxSetAppPriority(int p);
void fxSetThreadPriority(void* thread, int p);

// The calling thread's system identifier (as shown in trace lines).
unsigned fxGetThreadId();
