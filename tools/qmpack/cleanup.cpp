// The table of temporary files and the signal handlers that remove them. The table is a fixed
// block of path buffers, so the handler touches no heap and calls only unlink and rmdir.
#include "cleanup.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

enum { kSlots = 4096, kPathBytes = 1024 };  // untouched slots cost no memory

struct LocalSlot {
    volatile sig_atomic_t used;
    bool folder;
    char path[kPathBytes];
};

LocalSlot localSlots[kSlots];

void localOnSignal(int sig) {
    // Files first, then folders (which are empty once their files are gone).
    for (int pass = 0; pass < 2; pass++)
        for (LocalSlot& s : localSlots)
            if (s.used && s.folder == (pass == 1)) {
                if (s.folder)
                    rmdir(s.path);
                else
                    unlink(s.path);
            }
    signal(sig, SIG_DFL);
    raise(sig);
}

}  // namespace

void qmpackInstallCleanup() {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = localOnSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&sa.sa_mask, sig);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(sig, &sa, nullptr);
}

void qmpackTrackTemp(const std::string& path, bool folder) {
    if (path.empty() || path.size() >= kPathBytes) return;
    for (LocalSlot& s : localSlots)
        if (!s.used) {
            memcpy(s.path, path.c_str(), path.size() + 1);
            s.folder = folder;
            s.used = 1;  // set last: the handler never sees a half-written path
            return;
        }
}

void qmpackUntrackTemp(const std::string& path) {
    for (LocalSlot& s : localSlots)
        if (s.used && path == s.path) s.used = 0;
}

void qmpackRemoveTemp(const std::string& path) {
    for (LocalSlot& s : localSlots)
        if (s.used && path == s.path) {
            s.used = 0;
            if (s.folder)
                rmdir(path.c_str());
            else
                unlink(path.c_str());
        }
}
