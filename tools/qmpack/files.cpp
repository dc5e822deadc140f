// Input checks, whole-file reads and path arithmetic for qmpack, over the system calls of host.h.
#include "files.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cleanup.h"
#include "host.h"
#include "qmpack.h"

bool qmpackCheckInput(const std::string& path, std::string* why, long long* size, QMPackFileId* id) {
    int fd = qmpackOpenInput(path, why, size, id);
    if (fd < 0) return false;
    close(fd);
    return true;
}

bool qmpackReadFile(const std::string& path, std::vector<unsigned char>* bytes, std::string* why, long long limit) {
    long long size = 0;
    int fd = qmpackOpenInput(path, why, &size);
    if (fd < 0) return false;
    if (size > limit) {
        *why = "too large (" + std::to_string(size) + " bytes)";
        close(fd);
        return false;
    }
    bytes->resize(size_t(size));
    bool ok = size == 0 || qmpackReadAt(fd, 0, bytes->data(), size_t(size));
    if (!ok) *why = errno ? strerror(errno) : "the file became shorter while it was read";
    close(fd);
    return ok;
}

namespace {

// The position of the last separator in path, or npos.
size_t localLastSeparator(const std::string& path) {
    for (size_t i = path.size(); i > 0; i--)
        if (qmpackIsSeparator(path[i - 1])) return i - 1;
    return std::string::npos;
}

// The non-empty parts of path between its separators.
std::vector<std::string> localSplit(const std::string& p) {
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos < p.size()) {
        size_t end = pos;
        while (end < p.size() && !qmpackIsSeparator(p[end])) end++;
        if (end > pos) parts.push_back(p.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

}  // namespace

std::string qmpackDirOf(const std::string& path) {
    size_t sep = localLastSeparator(path);
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string qmpackBaseOf(const std::string& path) {
    size_t sep = localLastSeparator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string qmpackExtOf(const std::string& path) {
    std::string base = qmpackBaseOf(path);
    size_t dot = base.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return "";
    std::string ext = base.substr(dot + 1);
    for (char& c : ext) c = char(tolower((unsigned char)c));
    return ext;
}

std::string qmpackJoin(const std::string& dir, const std::string& file) {
    if (dir.empty() || qmpackRootLength(file) > 0) return file;
    return qmpackIsSeparator(dir.back()) ? dir + file : dir + "/" + file;
}

std::string qmpackAbsolute(const std::string& path) {
    std::string full = qmpackAnchored(path);
    // Keep the root (its separators written as '/'), fold "." and ".." after it.
    std::string out = full.substr(0, qmpackRootLength(full));
    for (char& c : out)
        if (qmpackIsSeparator(c)) c = '/';
    if (out.empty()) out = "/";
    std::vector<std::string> parts;
    for (const std::string& part : localSplit(full.substr(out.size()))) {
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (part != ".") {
            parts.push_back(part);
        }
    }
    for (size_t i = 0; i < parts.size(); i++) out += (i ? "/" : "") + parts[i];
    return out;
}

std::string qmpackRelativePath(const std::string& dir, const std::string& path) {
    std::vector<std::string> from = localSplit(qmpackAbsolute(dir)), to = localSplit(qmpackAbsolute(path));
    size_t common = 0;
    while (common < from.size() && common + 1 < to.size() && from[common] == to[common]) common++;
    std::string out;
    for (size_t i = common; i < from.size(); i++) out += "../";
    for (size_t i = common; i < to.size(); i++) out += to[i] + (i + 1 < to.size() ? "/" : "");
    return out;
}

bool qmpackWriteWhole(const std::string& path, const void* bytes, size_t len, bool durable) {
    std::string prefix = "." + qmpackBaseOf(path) + ".qmpack-";
    qmpackSweepStale(qmpackDirOf(path), prefix);
    std::string temp;
    int error = qmpackMakeTempFile(qmpackDirOf(path) + prefix + qmpackPidTag(), &temp);
    if (error) return qmpackRefuse("%s: cannot write (%s)", path.c_str(), strerror(error));
    qmpackTrackTemp(temp);
    errno = 0;
    FILE* f = fopen(temp.c_str(), "wb");
    if (!f || (len > 0 && fwrite(bytes, 1, len, f) != len)) error = errno ? errno : EIO;
    if (f && fclose(f) != 0 && !error) error = errno;
    if (!error && durable) error = qmpackFlushFile(temp);
    if (!error) error = qmpackSetMode(temp, qmpackNewFileMode());
    if (!error) error = qmpackReplaceFile(temp, path);
    if (error) {
        qmpackRemoveTemp(temp);
        return qmpackRefuse("%s: cannot write (%s)", path.c_str(), strerror(error));
    }
    qmpackUntrackTemp(temp);
    return true;
}

bool qmpackFolderEmpty(const std::string& dir) {
    std::vector<std::string> names;
    return !qmpackListFolder(dir, &names) || names.empty();
}
