// The list of temporary files that the interrupt handlers (cleanup_posix.cpp, cleanup_w32.cpp)
// remove. The list is a chain of nodes that are never freed, only reused: a handler follows it
// without touching the heap and only removes files and folders. A node is published (used set)
// after its path is written and cleared only after its file is gone, so a signal at any moment
// finds every file that exists. Outside the handlers, an index by path and a stack of unused
// nodes make every registration and release take the same time however many files a command
// has (an unpack registers one per entry).
#include "cleanup.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
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
std::unordered_map<std::string, LocalNode*> localIndex;  // used nodes by path (never read by a handler)
std::vector<LocalNode*> localUnused;                      // nodes free for reuse

// Marks a node unused: forgotten by the index and offered for reuse.
void localRelease(LocalNode* n) {
    n->used = 0;
    localIndex.erase(n->path);
    localUnused.push_back(n);
}

}  // namespace

void qmpackRemoveAllTemps() {
    // Files first, then folders (which are empty once their files are gone).
    for (int pass = 0; pass < 2; pass++)
        for (LocalNode* n = localHead; n; n = n->next)
            if (n->used && n->folder == (pass == 1)) qmpackCleanupRemove(n->path, n->folder);
}

void qmpackTrackTemp(const std::string& path, bool folder) {
    if (path.empty() || localIndex.count(path)) return;
    LocalNode* node = nullptr;
    if (!localUnused.empty() && localUnused.back()->capacity > path.size()) {
        node = localUnused.back();
        localUnused.pop_back();
    }
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
    localIndex[path] = node;
}

void qmpackUntrackTemp(const std::string& path) {
    auto at = localIndex.find(path);
    if (at != localIndex.end()) localRelease(at->second);
}

void qmpackRemoveTemp(const std::string& path) {
    auto at = localIndex.find(path);
    if (at == localIndex.end()) return;
    // Removed first, forgotten after: a signal in between removes it again, harmlessly.
    qmpackCleanupRemove(at->second->path, at->second->folder);
    localRelease(at->second);
}

bool qmpackTracksName(const std::string& name) {
    for (LocalNode* n = localHead; n; n = n->next) {
        if (!n->used) continue;
        size_t len = strlen(n->path);
        if (len > name.size() && memcmp(n->path + len - name.size(), name.c_str(), name.size()) == 0 &&
            (n->path[len - name.size() - 1] == '/' || n->path[len - name.size() - 1] == '\\'))
            return true;
    }
    return false;
}

long qmpackPidIn(const std::string& name, const std::string& prefix) {
    if (name.compare(0, prefix.size(), prefix) != 0) return 0;
    const char* p = name.c_str() + prefix.size();
    char* end = nullptr;
    long pid = strtol(p, &end, 10);
    return end != p && *end == '-' && pid > 0 ? pid : 0;
}
