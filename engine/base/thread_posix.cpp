// POSIX threads: recursive pthread mutexes, pthread_create with a timed join, nice values.
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <new>

#include "base/other.h"
#include "base/thread.h"

namespace {

struct FXThreadRecord {
    void (*fn)(void*) = nullptr;
    void* arg = nullptr;
    pthread_t handle{};
    bool hasHandle = false;     // a thread was started and not yet joined
    std::atomic<unsigned> id{0};
    // A priority asked for before the thread knew its id; the thread applies it when it starts.
    std::atomic<int> priority{kNoPriority};

    static const int kNoPriority = INT_MIN;
};

int localNiceFor(int p) { return p > 0 ? -5 : (p < 0 ? 10 : 0); }

void* localThreadProc(void* p) {
    FXThreadRecord* rec = static_cast<FXThreadRecord*>(p);
    if (rec) {
        // The id is published before the asked priority is read, and fxSetThreadPriority stores
        // the priority before it reads the id: one of the two always applies it.
        rec->id.store(fxGetThreadId());
        int asked = rec->priority.load();
        if (asked != FXThreadRecord::kNoPriority) setpriority(PRIO_PROCESS, 0, localNiceFor(asked));
        if (rec->fn) rec->fn(rec->arg);
    }
    return nullptr;
}

}  // namespace

void* fxCreateMutex() {
    pthread_mutex_t* m = new (std::nothrow) pthread_mutex_t;
    if (!m) return nullptr;
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(m, &attr);
    pthread_mutexattr_destroy(&attr);
    return m;
}

void fxDestroyMutex(void* mutex) {
    if (!mutex) return;
    pthread_mutex_t* m = static_cast<pthread_mutex_t*>(mutex);
    pthread_mutex_destroy(m);
    delete m;
}

void fxLock(void* mutex) { pthread_mutex_lock(static_cast<pthread_mutex_t*>(mutex)); }
void fxUnlock(void* mutex) { pthread_mutex_unlock(static_cast<pthread_mutex_t*>(mutex)); }
bool fxTryLock(void* mutex) { return pthread_mutex_trylock(static_cast<pthread_mutex_t*>(mutex)) == 0; }

void* fxCreateThread(void (*fn)(void*), void* arg) {
    FXThreadRecord* rec = new (std::nothrow) FXThreadRecord;
    if (!rec) return nullptr;
    rec->fn = fn;
    rec->arg = arg;
    rec->id.store(~0u);  // running; the thread stores its own id when it starts
    if (pthread_create(&rec->handle, nullptr, localThreadProc, rec) != 0) {
        delete rec;
        return nullptr;
    }
    rec->hasHandle = true;
    return rec;
}

bool fxWaitThread(void* thread, double seconds) {
    FXThreadRecord* rec = static_cast<FXThreadRecord*>(thread);
    if (!rec || !rec->hasHandle || rec->id.load() == 0) return true;
    int64_t ms = fxWaitMillis(seconds);
    int rc;
    if (ms < 0) {
        rc = pthread_join(rec->handle, nullptr);
    } else if (ms == 0) {
        rc = pthread_tryjoin_np(rec->handle, nullptr);
    } else {
        timespec deadline;
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_sec += time_t(ms / 1000);
        deadline.tv_nsec += long(ms % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_sec++;
            deadline.tv_nsec -= 1000000000L;
        }
        rc = pthread_timedjoin_np(rec->handle, nullptr, &deadline);
    }
    if (rc == ETIMEDOUT || rc == EBUSY) return false;
    rec->hasHandle = false;  // joined: the record keeps no thread any more
    return true;
}

void fxTerminateThread(void* thread) {
    FXThreadRecord* rec = static_cast<FXThreadRecord*>(thread);
    if (!rec || rec->id.load() == 0) return;
    if (rec->hasHandle) pthread_join(rec->handle, nullptr);
    rec->hasHandle = false;
    rec->id.store(0);
}

void fxDestroyThread(void* thread) {
    if (!thread) return;
    fxTerminateThread(thread);
    delete static_cast<FXThreadRecord*>(thread);
}

// On Linux the nice value belongs to each thread: this sets the calling thread's, which every
// thread it starts afterwards inherits (the saver calls it before starting the render thread).
void fxSetAppPriority(int p) { setpriority(PRIO_PROCESS, 0, localNiceFor(p)); }

void fxSetThreadPriority(void* thread, int p) {
    FXThreadRecord* rec = static_cast<FXThreadRecord*>(thread);
    if (!rec || !rec->hasHandle) return;
    rec->priority.store(p);
    unsigned tid = rec->id.load();
    if (tid == 0 || tid == ~0u) return;  // not started yet: the thread applies it itself
    setpriority(PRIO_PROCESS, id_t(tid), localNiceFor(p));
}

unsigned fxGetThreadId() { return unsigned(syscall(SYS_gettid)); }
