// Input checks, file identities, whole-file reads and path arithmetic for qmpack.
#include "files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cleanup.h"
#include "qmpack.h"

namespace {

std::string localKindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "is a directory";
    if (S_ISFIFO(mode)) return "is a named pipe, not a regular file";
    if (S_ISSOCK(mode)) return "is a socket, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
    return "is not a regular file";
}

}  // namespace

int qmpackOpenInput(const std::string& path, std::string* why, long long* size, QMPackFileId* id) {
    if (path.empty()) {
        *why = "no file named";
        return -1;
    }
    // Non-blocking, so a named pipe with no writer cannot hang the open; fstat then refuses it.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = strerror(errno);
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        *why = strerror(errno);
        close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        *why = localKindOf(st.st_mode);
        close(fd);
        return -1;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (size) *size = (long long)st.st_size;
    if (id) *id = {st.st_dev, st.st_ino, true};
    return fd;
}

bool qmpackCheckInput(const std::string& path, std::string* why, long long* size, QMPackFileId* id) {
    int fd = qmpackOpenInput(path, why, size, id);
    if (fd < 0) return false;
    close(fd);
    return true;
}

bool qmpackReadAt(int fd, long long offset, void* dst, size_t len) {
    unsigned char* p = static_cast<unsigned char*>(dst);
    while (len > 0) {
        ssize_t got = pread(fd, p, len, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        len -= size_t(got);
        offset += got;
    }
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

QMPackFileId qmpackFileIdOf(const std::string& path) {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) return {};
    return {st.st_dev, st.st_ino, true};
}

QMPackCwd::QMPackCwd(const std::string& dir) {
    previous = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ok = previous >= 0 && chdir(dir.empty() ? "." : dir.c_str()) == 0;
}

QMPackCwd::~QMPackCwd() {
    if (previous < 0) return;
    if (fchdir(previous) != 0) {
    }
    close(previous);
}

std::string qmpackDirOf(const std::string& path) {
    size_t sep = path.find_last_of('/');
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string qmpackBaseOf(const std::string& path) {
    size_t sep = path.find_last_of('/');
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
    if (dir.empty() || (!file.empty() && file[0] == '/')) return file;
    return dir.back() == '/' ? dir + file : dir + "/" + file;
}

std::string qmpackAbsolute(const std::string& path) {
    std::string full = path;
    if (path.empty() || path[0] != '/') {
        std::string cwd;
        char buf[4096];
        if (getcwd(buf, sizeof buf)) cwd = buf;
        full = qmpackJoin(cwd.empty() ? "/" : cwd, path);
    }
    // Fold "." and "..", keep the root.
    std::vector<std::string> parts;
    size_t pos = 1;
    while (pos <= full.size()) {
        size_t end = full.find('/', pos);
        if (end == std::string::npos) end = full.size();
        std::string part = full.substr(pos, end - pos);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    std::string out;
    for (const std::string& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

std::string qmpackRelativePath(const std::string& dir, const std::string& path) {
    auto split = [](const std::string& p) {
        std::vector<std::string> parts;
        size_t pos = 0;
        while (pos < p.size()) {
            size_t end = p.find('/', pos);
            if (end == std::string::npos) end = p.size();
            if (end > pos) parts.push_back(p.substr(pos, end - pos));
            pos = end + 1;
        }
        return parts;
    };
    std::vector<std::string> from = split(qmpackAbsolute(dir)), to = split(qmpackAbsolute(path));
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
    std::string pattern = qmpackDirOf(path) + prefix + qmpackPidTag() + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    int fd = mkstemp(name.data());
    if (fd < 0) return qmpackRefuse("%s: cannot write (%s)", path.c_str(), strerror(errno));
    std::string temp = name.data();
    qmpackTrackTemp(temp);
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    size_t done = 0;
    int error = 0;
    while (done < len && !error) {
        ssize_t n = write(fd, p + done, len - done);
        if (n > 0)
            done += size_t(n);
        else if (n == 0)
            error = EIO;
        else if (errno != EINTR)
            error = errno;
    }
    if (!error && durable && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && !error) error = errno;
    mode_t mask = umask(0);
    umask(mask);
    if (!error && chmod(temp.c_str(), 0666 & ~mask) != 0) error = errno;
    if (!error && rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error) {
        qmpackRemoveTemp(temp);
        return qmpackRefuse("%s: cannot write (%s)", path.c_str(), strerror(error));
    }
    qmpackUntrackTemp(temp);
    return true;
}

bool qmpackFolderEmpty(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (!d) return true;
    bool empty = true;
    while (struct dirent* e = readdir(d))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) empty = false;
    closedir(d);
    return empty;
}

bool qmpackSyncFolder(const std::string& dir) {
    int fd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot sync a folder
    close(fd);
    return ok;
}
