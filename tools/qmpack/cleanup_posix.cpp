// The interrupt side of the temporary-file list on POSIX systems: signal handlers that remove the
// files and end the process by the same signal, a signal mask for commits, and the sweep of files
// left by processes that were killed outright.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "cleanup.h"

namespace {

void localOnSignal(int sig) {
    int saved = errno;
    qmpackRemoveAllTemps();
    errno = saved;
    signal(sig, SIG_DFL);
    raise(sig);
}

const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
// A crash or an abort (also the one after a failed allocation) removes the files too, then
// ends the process as the signal would have.
const int kCrashes[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

bool localDead(long pid) { return kill(pid_t(pid), 0) != 0 && errno == ESRCH; }

static_assert(sizeof(sigset_t) <= 256, "QMPackCommitGuard keeps a signal mask");

}  // namespace

void qmpackCleanupRemove(const char* path, bool folder) {
    if (folder)
        rmdir(path);
    else
        unlink(path);
}

void qmpackInstallCleanup() {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = localOnSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : kInterrupts) sigaddset(&sa.sa_mask, sig);
    for (int sig : kInterrupts) sigaction(sig, &sa, nullptr);
    sa.sa_flags = SA_RESETHAND;
    for (int sig : kCrashes) sigaction(sig, &sa, nullptr);
    // A write past the file-size limit then fails with EFBIG like one on a full disk: the command
    // reports it and removes its temporary files instead of being killed in the middle.
    signal(SIGXFSZ, SIG_IGN);
}

QMPackCommitGuard::QMPackCommitGuard() {
    sigset_t block;
    sigemptyset(&block);
    for (int sig : kInterrupts) sigaddset(&block, sig);
    sigprocmask(SIG_BLOCK, &block, reinterpret_cast<sigset_t*>(previous));
}

QMPackCommitGuard::~QMPackCommitGuard() { sigprocmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(previous), nullptr); }

std::string qmpackPidTag() { return std::to_string(long(getpid())) + "-"; }

void qmpackSweepStale(const std::string& dir, const std::string& prefix) {
    std::string folder = dir.empty() ? "." : dir;
    DIR* d = opendir(folder.c_str());
    if (!d) return;
    std::vector<std::string> stale;
    while (struct dirent* e = readdir(d)) {
        std::string name = e->d_name;
        long pid = qmpackPidIn(name, prefix);
        if (pid > 0 && localDead(pid)) stale.push_back(folder + "/" + name);
    }
    closedir(d);
    uid_t me = getuid();
    for (const std::string& path : stale) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || st.st_uid != me) continue;
        if (S_ISDIR(st.st_mode)) {
            // A scratch folder holds files only.
            if (DIR* sub = opendir(path.c_str())) {
                std::vector<std::string> names;
                while (struct dirent* e = readdir(sub))
                    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
                closedir(sub);
                for (const std::string& n : names) unlink((path + "/" + n).c_str());
            }
            rmdir(path.c_str());
        } else {
            unlink(path.c_str());
        }
    }
}
