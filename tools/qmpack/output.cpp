// Safe output files: symbolic links followed, permissions kept, inputs protected, a private
// temporary name per writer, and the target's lock held across a read-modify-write.
#include "output.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "cleanup.h"
#include "qmpack.h"

namespace {

// The file a path finally names: every symbolic link along the chain followed, also when the
// last one points at a file that does not exist yet. Empty when the chain loops.
std::string localResolveLinks(const std::string& path) {
    std::string p = path;
    for (int hop = 0; hop < 40; hop++) {
        struct stat st;
        if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        char buf[PATH_MAX];
        ssize_t n = readlink(p.c_str(), buf, sizeof buf - 1);
        if (n < 0) return p;
        buf[n] = 0;
        p = qmpackJoin(qmpackDirOf(p), buf);
    }
    return "";
}

unsigned localDefaultMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666u & ~unsigned(mask);
}

}  // namespace

bool qmpackCheckNotAnInput(const std::string& out, const std::vector<QMPackInput>& inputs) {
    QMPackFileId target = qmpackFileIdOf(out);
    if (!target.valid) return true;
    for (const QMPackInput& in : inputs)
        if (qmpackFileIdOf(in.path) == target) {
            std::string named = in.path == out ? "" : " (" + in.path + ")";
            qmpackFail("%s: will not write over %s%s, one of this command's inputs; name another output file",
                       out.c_str(), in.role.c_str(), named.c_str());
            return false;
        }
    return true;
}

QMPackOutput::~QMPackOutput() {
    if (!committed) Abandon();
    if (lockFd >= 0) close(lockFd);
}

bool QMPackOutput::Open(const std::string& path, const std::vector<QMPackInput>& inputs, bool lock) {
    given = path;
    if (path.empty()) return qmpackRefuse("no output file named");
    target = localResolveLinks(path);
    if (target.empty()) {
        qmpackFail("%s: cannot write: too many levels of symbolic links", path.c_str());
        return false;
    }
    struct stat st;
    bool exists = stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        qmpackFail("%s: cannot write: is a directory", path.c_str());
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        qmpackFail("%s: cannot write: not a regular file", path.c_str());
        return false;
    }
    std::string dir = qmpackDirOf(target);
    std::string dirShown = dir.empty() ? "." : dir;
    if (!exists) {
        struct stat ds;
        if (stat(dir.empty() ? "." : dir.c_str(), &ds) != 0) {
            if (errno == ENOTDIR)
                qmpackFail("%s: cannot write: %s is not a folder", path.c_str(), dirShown.c_str());
            else if (errno == ENOENT)
                qmpackFail("%s: cannot write: the folder %s does not exist", path.c_str(), dirShown.c_str());
            else
                qmpackFail("%s: cannot write in %s (%s)", path.c_str(), dirShown.c_str(), strerror(errno));
            return false;
        }
        if (!S_ISDIR(ds.st_mode)) {
            qmpackFail("%s: cannot write: %s is not a folder", path.c_str(), dirShown.c_str());
            return false;
        }
    }
    if (!qmpackCheckNotAnInput(target, inputs)) return false;
    mode = exists ? unsigned(st.st_mode & 07777) : localDefaultMode();

    if (lock && exists) {
        // Lock the file the path names now; a writer that renamed a new file into place while
        // we waited has made our descriptor stale, so lock again until they agree.
        for (int attempt = 0;; attempt++) {
            int fd = open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            if (fd < 0) {
                qmpackFail("%s: cannot open (%s)", path.c_str(), strerror(errno));
                return false;
            }
            while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
            }
            struct stat now, locked;
            if (fstat(fd, &locked) == 0 && stat(target.c_str(), &now) == 0 && now.st_dev == locked.st_dev &&
                now.st_ino == locked.st_ino) {
                int flags = fcntl(fd, F_GETFL);
                if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
                lockFd = fd;
                mode = unsigned(now.st_mode & 07777);
                break;
            }
            close(fd);
            if (attempt > 1000) {
                qmpackFail("%s: cannot lock: the file keeps being replaced", path.c_str());
                return false;
            }
        }
    }

    std::string prefix = "." + qmpackBaseOf(target) + ".qmpack-";
    qmpackSweepStale(dir, prefix);
    std::string pattern = dir + prefix + qmpackPidTag() + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    int fd = mkstemp(name.data());
    if (fd < 0) {
        int e = errno;
        if (e == EACCES || e == EROFS || e == EPERM)
            qmpackFail("%s: cannot write: the folder %s is not writable (%s)", path.c_str(), dirShown.c_str(),
                       strerror(e));
        else
            qmpackFail("%s: cannot write in %s (%s)", path.c_str(), dirShown.c_str(), strerror(e));
        return false;
    }
    close(fd);
    temp = name.data();
    qmpackTrackTemp(temp);
    qmpackTrackTemp(temp + ".part");  // the engine's package writer goes through this name
    return true;
}

bool QMPackOutput::Commit() {
    if (temp.empty()) return false;
    // The content reaches the disk before the rename makes it the file, so a crash of the
    // machine leaves the old file or the new one, never an empty one.
    int fd = open(temp.c_str(), O_RDONLY | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0 && fsync(fd) != 0 && errno != EINVAL) error = errno;
    if (fd >= 0) close(fd);
    if (!error && chmod(temp.c_str(), mode) != 0) error = errno;
    if (!error && rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
        qmpackFail("%s: cannot replace the file (%s)", given.c_str(), strerror(error));
        Abandon();
        return false;
    }
    qmpackUntrackTemp(temp);
    qmpackRemoveTemp(temp + ".part");
    qmpackSyncFolder(qmpackDirOf(target));
    committed = true;
    temp.clear();
    // The lock stays until the output is destroyed: a command that writes more files than this
    // one commits them all before another command may read the package.
    return true;
}

void QMPackOutput::Abandon() {
    if (temp.empty()) return;
    qmpackRemoveTemp(temp);
    qmpackRemoveTemp(temp + ".part");
    temp.clear();
}
