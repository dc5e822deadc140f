// qmpack's operating-system layer on POSIX systems: plain descriptors, flock for the writers' lock,
// mkstemp/mkdtemp for temporary names, rename for the final replacement, fork and exec for a
// second run of the program.
#include "host.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "cleanup.h"
#include "files.h"

namespace {

std::string localKindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "is a directory";
    if (S_ISFIFO(mode)) return "is a named pipe, not a regular file";
    if (S_ISSOCK(mode)) return "is a socket, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
    return "is not a regular file";
}

}  // namespace

bool qmpackIsSeparator(char c) { return c == '/'; }

size_t qmpackRootLength(const std::string& path) { return !path.empty() && path[0] == '/' ? 1 : 0; }

std::string qmpackAnchored(const std::string& path) {
    if (qmpackRootLength(path) > 0) return path;
    char buf[4096];
    return qmpackJoin(getcwd(buf, sizeof buf) ? buf : "/", path);
}

std::string qmpackResolveLinks(const std::string& path) {
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

int qmpackStatPath(const std::string& path, QMPackStat* out, bool follow) {
    struct stat st;
    if ((follow ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) return errno;
    out->kind = S_ISREG(st.st_mode) ? QMPackKind::File : S_ISDIR(st.st_mode) ? QMPackKind::Folder : QMPackKind::Other;
    out->other = out->kind == QMPackKind::Other ? localKindOf(st.st_mode) : "";
    out->mode = unsigned(st.st_mode & 07777);
    return 0;
}

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
    if (id) *id = {(unsigned long long)st.st_dev, (unsigned long long)st.st_ino, true};
    return fd;
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

QMPackFileId qmpackFileIdOf(const std::string& path) {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) return {};
    return {(unsigned long long)st.st_dev, (unsigned long long)st.st_ino, true};
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

bool qmpackListFolder(const std::string& dir, std::vector<std::string>* names) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return false;
    while (struct dirent* e = readdir(d))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names->push_back(e->d_name);
    closedir(d);
    return true;
}

bool qmpackSyncFolder(const std::string& dir) {
    int fd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot sync a folder
    close(fd);
    return ok;
}

int qmpackMakeFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 ? 0 : errno; }
int qmpackRemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 ? 0 : errno; }
int qmpackRemoveFolder(const std::string& path) { return rmdir(path.c_str()) == 0 ? 0 : errno; }

int qmpackMakeTempFile(const std::string& stem, std::string* path) {
    std::string pattern = stem + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    int fd = mkstemp(name.data());
    if (fd < 0) return errno;
    close(fd);
    *path = name.data();
    return 0;
}

int qmpackMakeTempFolder(const std::string& stem, std::string* path) {
    std::string pattern = stem + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!mkdtemp(name.data())) return errno;
    *path = name.data();
    return 0;
}

std::string qmpackTempRoot() {
    const char* tmp = getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

int qmpackFlushFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = fsync(fd) != 0 && errno != EINVAL ? errno : 0;
    close(fd);
    return error;
}

unsigned qmpackNewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666u & ~unsigned(mask);
}

int qmpackSetMode(const std::string& path, unsigned mode) {
    return chmod(path.c_str(), mode_t(mode)) == 0 ? 0 : errno;
}

int qmpackReplaceFile(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int qmpackAliasFile(const std::string& target, const std::string& link) {
    return symlink(target.c_str(), link.c_str()) == 0 ? 0 : errno;
}

int qmpackLockFile(const std::string& path, bool* same, int* error) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat now, locked;
    *same = fstat(fd, &locked) == 0 && stat(path.c_str(), &now) == 0 && now.st_dev == locked.st_dev &&
            now.st_ino == locked.st_ino;
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

void qmpackStopReading(int) {}

void qmpackUnlockFile(int fd) {
    if (fd >= 0) close(fd);  // closing the last descriptor releases the flock
}

void qmpackBinaryStdout() {}

int qmpackRunSelf(const std::vector<std::string>& args, const std::string& log, int* status) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("qmpack"));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    fflush(nullptr);
    pid_t pid = -1;
    int forkError = 0;
    {
        // No interrupt may run this process's cleanup in the child before it becomes the program.
        QMPackCommitGuard guard;
        pid = fork();
        forkError = errno;
        if (pid == 0) {
            for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(sig, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
        }
    }
    if (pid < 0) return forkError;
    if (pid == 0) {
        int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    int how = 0;
    while (waitpid(pid, &how, 0) < 0 && errno == EINTR) {
    }
    *status = WIFEXITED(how) ? WEXITSTATUS(how) : -1;
    return 0;
}
