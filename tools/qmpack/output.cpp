// Safe output files: symbolic links followed, permissions kept, inputs protected, a private
// temporary name per writer, and the target's lock held across a read-modify-write.
#include "output.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cleanup.h"
#include "host.h"
#include "qmpack.h"

bool qmpackCheckNotAnInput(const std::string& out, const std::vector<QMPackInput>& inputs) {
    FXFileId target = fxFileIdOf(out.c_str());
    if (!target.valid) return true;
    for (const QMPackInput& in : inputs)
        if (fxFileIdOf(in.path.c_str()) == target) {
            std::string named = in.path == out ? "" : " (" + in.path + ")";
            qmpackFail("%s: will not write over %s%s, one of this command's inputs; name another output file",
                       out.c_str(), in.role.c_str(), named.c_str());
            return false;
        }
    return true;
}

QMPackOutput::~QMPackOutput() {
    if (!committed) Abandon();
    qmpackUnlockFile(lockFd);
}

bool QMPackOutput::Open(const std::string& path, const std::vector<QMPackInput>& inputs, bool lock) {
    given = path;
    if (path.empty()) return qmpackRefuse("no output file named");
    target = fxResolveLinks(path);
    if (target.empty()) {
        qmpackFail("%s: cannot write: too many levels of symbolic links", path.c_str());
        return false;
    }
    FXPathStat st;
    bool exists = fxStatPath(target.c_str(), &st) == 0;
    if (exists && st.kind == FXPathKind::Folder) {
        qmpackFail("%s: cannot write: is a directory", path.c_str());
        return false;
    }
    if (exists && st.kind != FXPathKind::File) {
        qmpackFail("%s: cannot write: not a regular file", path.c_str());
        return false;
    }
    std::string dir = fxDirOf(target);
    std::string dirShown = dir.empty() ? "." : dir;
    if (!exists) {
        FXPathStat ds;
        if (int e = fxStatPath((dir.empty() ? "." : dir).c_str(), &ds)) {
            if (e == ENOTDIR)
                qmpackFail("%s: cannot write: %s is not a folder", path.c_str(), dirShown.c_str());
            else if (e == ENOENT)
                qmpackFail("%s: cannot write: the folder %s does not exist", path.c_str(), dirShown.c_str());
            else
                qmpackFail("%s: cannot write in %s (%s)", path.c_str(), dirShown.c_str(), strerror(e));
            return false;
        }
        if (ds.kind != FXPathKind::Folder) {
            qmpackFail("%s: cannot write: %s is not a folder", path.c_str(), dirShown.c_str());
            return false;
        }
    }
    if (!qmpackCheckNotAnInput(target, inputs)) return false;
    mode = exists ? st.mode : qmpackNewFileMode();

    if (lock && exists) {
        // Lock the file the path names now; a writer that renamed a new file into place while
        // we waited has made our descriptor stale, so lock again until they agree.
        for (int attempt = 0;; attempt++) {
            bool same = false;
            int error = 0;
            int fd = qmpackLockFile(target, &same, &error);
            if (fd < 0) {
                qmpackFail("%s: cannot open (%s)", path.c_str(), strerror(error));
                return false;
            }
            FXPathStat now;
            if (same && fxStatPath(target.c_str(), &now) == 0) {
                lockFd = fd;
                mode = now.mode;
                break;
            }
            qmpackUnlockFile(fd);
            if (attempt > 1000) {
                qmpackFail("%s: cannot lock: the file keeps being replaced", path.c_str());
                return false;
            }
        }
    }

    std::string prefix = "." + fxBaseOf(target) + ".qmpack-";
    qmpackSweepStale(dir, prefix);
    if (int e = qmpackMakeTempFile(dir + prefix + qmpackPidTag(), &temp)) {
        if (e == EACCES || e == EROFS || e == EPERM)
            qmpackFail("%s: cannot write: the folder %s is not writable (%s)", path.c_str(), dirShown.c_str(),
                       strerror(e));
        else
            qmpackFail("%s: cannot write in %s (%s)", path.c_str(), dirShown.c_str(), strerror(e));
        return false;
    }
    qmpackTrackTemp(temp);
    qmpackTrackTemp(temp + ".part");  // the engine's package writer goes through this name
    return true;
}

bool QMPackOutput::Commit() {
    if (temp.empty()) return false;
    // The content reaches the disk before the rename makes it the file, so a crash of the
    // machine leaves the old file or the new one, never an empty one.
    int error = qmpackFlushFile(temp);
    if (!error) error = qmpackSetMode(temp, mode);
    qmpackStopReading(lockFd);
    if (!error) error = qmpackReplaceFile(temp, target);
    if (error) {
        qmpackFail("%s: cannot replace the file (%s)", given.c_str(), strerror(error));
        Abandon();
        return false;
    }
    qmpackUntrackTemp(temp);
    qmpackRemoveTemp(temp + ".part");
    qmpackSyncFolder(fxDirOf(target));
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
