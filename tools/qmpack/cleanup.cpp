// The list of temporary files and the signal handlers that remove them. The list is a chain of
// nodes that are never freed, only reused: the handler follows it without touching the heap and
// calls only unlink and rmdir. A node is published (used set) after its path is written and
// cleared only after its file is gone, so a signal at any moment finds every file that exists.
#include "cleanup.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

struct LocalNode {
    LocalNode* next;
    volatile sig_atomic_t used;
    bool folder;
    size_t capacity;
    char* path;
};

LocalNode* volatile localHead = nullptr;

void localRemoveAll() {
    // Files first, then folders (which are empty once their files are gone).
    for (int pass = 0; pass < 2; pass++)
        for (LocalNode* n = localHead; n; n = n->next)
            if (n->used && n->folder == (pass == 1)) {
                if (n->folder)
                    rmdir(n->path);
                else
                    unlink(n->path);
            }
}

void localOnSignal(int sig) {
    int saved = errno;
    localRemoveAll();
    errno = saved;
    signal(sig, SIG_DFL);
    raise(sig);
}

const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
// A crash or an abort (also the one after a failed allocation) removes the files too, then
// ends the process as the signal would have.
const int kCrashes[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// The number in NAME after prefix ("...qmpack-<pid>-..."), or 0.
long localPidIn(const std::string& name, const std::string& prefix) {
    if (name.compare(0, prefix.size(), prefix) != 0) return 0;
    const char* p = name.c_str() + prefix.size();
    char* end = nullptr;
    long pid = strtol(p, &end, 10);
    return end != p && *end == '-' && pid > 0 ? pid : 0;
}

bool localDead(long pid) { return kill(pid_t(pid), 0) != 0 && errno == ESRCH; }

}  // namespace

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
    sigprocmask(SIG_BLOCK, &block, &previous);
}

QMPackCommitGuard::~QMPackCommitGuard() { sigprocmask(SIG_SETMASK, &previous, nullptr); }

void qmpackTrackTemp(const std::string& path, bool folder) {
    if (path.empty()) return;
    LocalNode* node = nullptr;
    for (LocalNode* n = localHead; n && !node; n = n->next)
        if (!n->used && n->capacity > path.size()) node = n;
    if (!node) {
        node = new (std::nothrow) LocalNode{nullptr, 0, false, path.size() + 1, nullptr};
        if (node) node->path = new (std::nothrow) char[path.size() + 1];
        if (!node || !node->path) {
            // Out of memory: the command is about to fail anyway; say which file may stay.
            fprintf(stderr, "qmpack: warning: out of memory: %s may be left behind\n", path.c_str());
            delete node;
            return;
        }
        node->next = localHead;
        std::atomic_signal_fence(std::memory_order_release);
        localHead = node;  // published complete: its next is set, it is not used yet
    }
    memcpy(node->path, path.c_str(), path.size() + 1);
    node->folder = folder;
    std::atomic_signal_fence(std::memory_order_release);
    node->used = 1;  // set last: the handler never sees a half-written path
}

void qmpackUntrackTemp(const std::string& path) {
    for (LocalNode* n = localHead; n; n = n->next)
        if (n->used && path == n->path) n->used = 0;
}

void qmpackRemoveTemp(const std::string& path) {
    for (LocalNode* n = localHead; n; n = n->next)
        if (n->used && path == n->path) {
            // Removed first, forgotten after: a signal in between removes it again, harmlessly.
            if (n->folder)
                rmdir(path.c_str());
            else
                unlink(path.c_str());
            n->used = 0;
        }
}

std::string qmpackPidTag() { return std::to_string(long(getpid())) + "-"; }

void qmpackSweepStale(const std::string& dir, const std::string& prefix) {
    std::string folder = dir.empty() ? "." : dir;
    DIR* d = opendir(folder.c_str());
    if (!d) return;
    std::vector<std::string> stale;
    while (struct dirent* e = readdir(d)) {
        std::string name = e->d_name;
        long pid = localPidIn(name, prefix);
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
