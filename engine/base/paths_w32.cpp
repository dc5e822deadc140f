// Windows side of the path helpers: the current directory read (never changed), existence, both
// separators, drive and network roots. Symbolic links need a privilege on Windows and are rare
// among authors' files: a path names what it names.
#include <windows.h>
#include <shlwapi.h>

#include <cctype>
#include <cstring>
#include <vector>

#include "base/paths.h"

const char fxNativeSeparator = '\\';

bool fxPlatformGetCurrentDir(char* buf, size_t size) {
    DWORD n = GetCurrentDirectoryA(DWORD(size), buf);
    return n > 0 && n < size;
}

bool fxPlatformPathExists(const char* path) { return path && *path && PathFileExistsA(path) == TRUE; }

// rename refuses an existing target on Windows: the move is asked to replace it.
bool fxReplaceFile(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool fxIsSeparator(char c) { return c == '/' || c == '\\'; }

size_t fxRootLength(const std::string& path) {
    auto sep = [&](size_t i) { return i < path.size() && fxIsSeparator(path[i]); };
    if (path.size() >= 2 && path[1] == ':' && isalpha((unsigned char)path[0]))
        return sep(2) ? 3 : 2;  // "C:" alone is that drive's working folder: taken as its root
    if (sep(0) && sep(1)) {
        // "//server/share/": the root ends after the share's name.
        size_t at = 2, parts = 0;
        while (at < path.size() && parts < 2) {
            while (at < path.size() && !sep(at)) at++;
            parts++;
            if (at < path.size()) at++;
        }
        return at;
    }
    return sep(0) ? 1 : 0;
}

std::string fxAnchoredPath(const std::string& path) {
    std::vector<char> buf(MAX_PATH + 1);
    for (int attempt = 0; attempt < 2; attempt++) {
        DWORD n = GetFullPathNameA(path.empty() ? "." : path.c_str(), DWORD(buf.size()), buf.data(), nullptr);
        if (n == 0) break;
        if (n < buf.size()) return std::string(buf.data(), n);
        buf.resize(n + 1);
    }
    return path;
}

std::string fxResolveLinks(const std::string& path) { return path; }
