// Input checks, whole-file reads and folder checks for qmpack, over the engine's input files
// and the system calls of host.h.
#include "files.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "cleanup.h"
#include "host.h"
#include "qmpack.h"

int qmpackOpenInput(const std::string& path, std::string* why, long long* size, FXFileId* id) {
    FXInputInfo info;
    int fd = path.empty() ? -1 : fxOpenInput(path.c_str(), &info);
    if (fd < 0) {
        *why = path.empty() ? "no file named" : info.Why();
        return -1;
    }
    if (size) *size = info.size;
    if (id) *id = info.id;
    return fd;
}

bool qmpackCheckInput(const std::string& path, std::string* why, long long* size, FXFileId* id) {
    int fd = qmpackOpenInput(path, why, size, id);
    if (fd < 0) return false;
    fxCloseInput(fd);
    return true;
}

bool qmpackReadFile(const std::string& path, std::vector<unsigned char>* bytes, std::string* why, long long limit,
                    unsigned flags) {
    bytes->clear();
    if (path.empty()) {
        *why = "no file named";
        return false;
    }
    std::string text;
    FXInputInfo info;
    if (!fxReadInput(path.c_str(), limit, &text, &info, flags)) {
        *why = info.Why();
        return false;
    }
    try {
        bytes->assign(text.begin(), text.end());
    } catch (const std::bad_alloc&) {
        *why = "is too large to read (no memory for " + fxByteCount((long long)text.size()) + ")";
        return false;
    }
    return true;
}

bool qmpackFolderEmpty(const std::string& dir) {
    std::vector<std::string> names;
    return !qmpackListFolder(dir, &names) || names.empty();
}
