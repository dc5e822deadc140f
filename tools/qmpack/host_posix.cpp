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
