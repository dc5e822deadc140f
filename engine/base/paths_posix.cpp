// POSIX side of the path helpers: the working directory read (never changed), existence, the one
// separator and root, symbolic links followed by hand.
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "base/paths.h"

const char fxNativeSeparator = '/';

bool fxPlatformGetCurrentDir(char* buf, size_t size) { return getcwd(buf, size) != nullptr; }

bool fxPlatformPathExists(const char* path) {
    struct stat st;
    return path && *path && stat(path, &st) == 0;
}

bool fxReplaceFile(const char* from, const char* to) { return rename(from, to) == 0; }

bool fxIsSeparator(char c) { return c == '/'; }

size_t fxRootLength(const std::string& path) { return !path.empty() && path[0] == '/' ? 1 : 0; }

std::string fxAnchoredPath(const std::string& path) {
    if (fxRootLength(path) > 0) return path;
    char buf[PATH_MAX];
    return fxJoinPath(getcwd(buf, sizeof buf) ? buf : "/", path);
}

std::string fxResolveLinks(const std::string& path) {
    std::string p = path;
    for (int hop = 0; hop < 40; hop++) {
        struct stat st;
        if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        char buf[PATH_MAX];
        ssize_t n = readlink(p.c_str(), buf, sizeof buf - 1);
        if (n < 0) return p;
        buf[n] = 0;
        p = fxJoinPath(fxDirOf(p), buf);
    }
    return "";
}
