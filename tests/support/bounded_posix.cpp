// Bounded child processes for tests (see bounded_posix.h).
#include "support/bounded_posix.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

QmBounded qmRunBounded(double seconds, long long memoryBytes, const std::function<int()>& fn) {
    QmBounded out;
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) return out;
    if (pid == 0) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        memoryBytes = 0;  // the sanitizers reserve terabytes of address space for themselves
#endif
        if (memoryBytes > 0) {
            rlimit limit = {rlim_t(memoryBytes), rlim_t(memoryBytes)};
            setrlimit(RLIMIT_AS, &limit);
        }
        _exit(fn());
    }
    const double kStep = 0.01;
    int how = 0;
    for (double waited = 0; waited < seconds; waited += kStep) {
        if (waitpid(pid, &how, WNOHANG) == pid) {
            out.finished = true;
            out.status = WIFEXITED(how) ? WEXITSTATUS(how) : -1;
            return out;
        }
        timespec nap = {0, long(kStep * 1e9)};
        nanosleep(&nap, nullptr);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &how, 0);
    return out;
}
