// Opening files by name on POSIX systems: O_NONBLOCK, so that neither a named pipe without a
// writer nor a device can hold the open; fstat of what was opened (not of the name, which may
// change meanwhile) decides whether it is read; pread for reads at an offset.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/input_file.h"

namespace {

const int kPipeWriterWaitMs = 5000;

const char* localKindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "is a directory";
    if (S_ISFIFO(mode)) return "is a named pipe, not a regular file";
    if (S_ISSOCK(mode)) return "is a socket, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
    return "is not a regular file";
}

}  // namespace

int fxOpenInput(const char* path, FXInputInfo* info, unsigned flags) {
    FXInputInfo local;
    FXInputInfo& in = info ? *info : local;
    in = FXInputInfo();
    if (!path || !*path) {
        in.error = ENOENT;
        return -1;
    }
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        in.error = errno;
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        in.error = errno;
        close(fd);
        return -1;
    }
    in.pipe = S_ISFIFO(st.st_mode) && (flags & FX_INPUT_PIPE_OK);
    if (!S_ISREG(st.st_mode) && !in.pipe) {
        in.refused = localKindOf(st.st_mode);
        close(fd);
        return -1;
    }
    // A pipe the user named may get its writer a moment after this open: wait a few seconds for
    // one (a pipe that never had a writer then reads as empty instead of blocking for ever).
    if (in.pipe) {
        pollfd p = {fd, POLLIN, 0};
        while (poll(&p, 1, kPipeWriterWaitMs) < 0 && errno == EINTR) {
        }
    }
    // Reads wait as usual from here on: a pipe's reader waits for its writer's bytes.
    int fl = fcntl(fd, F_GETFL);
    if (fl >= 0) fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    in.size = in.pipe ? 0 : (long long)st.st_size;
    in.id = {(unsigned long long)st.st_dev, (unsigned long long)st.st_ino, true};
    return fd;
}

void fxCloseInput(int fd) {
    if (fd >= 0) close(fd);
}

bool fxReadAt(int fd, long long offset, void* dst, size_t len) {
    unsigned char* p = static_cast<unsigned char*>(dst);
    while (len > 0) {
        ssize_t got = pread(fd, p, len, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = 0;
            return false;
        }
        p += got;
        len -= size_t(got);
        offset += got;
    }
    return true;
}

int fxStatPath(const char* path, FXPathStat* out, bool follow) {
    struct stat st;
    if (!path || (follow ? stat(path, &st) : lstat(path, &st)) != 0) return path ? errno : ENOENT;
    out->kind = S_ISREG(st.st_mode) ? FXPathKind::File : S_ISDIR(st.st_mode) ? FXPathKind::Folder : FXPathKind::Other;
    out->other = out->kind == FXPathKind::Other ? localKindOf(st.st_mode) : "";
    out->mode = unsigned(st.st_mode & 07777);
    return 0;
}

int fxLastError() { return errno; }

FXFileId fxFileIdOf(const char* path) {
    struct stat st;
    if (!path || !*path || stat(path, &st) != 0) return {};
    return {(unsigned long long)st.st_dev, (unsigned long long)st.st_ino, true};
}

FILE* fxInputStream(int fd, unsigned flags) {
    FILE* f = fd >= 0 ? fdopen(fd, (flags & FX_INPUT_TEXT) ? "r" : "rb") : nullptr;
    if (!f) fxCloseInput(fd);
    return f;
}

long long fxInputSize(int fd) {
    struct stat st;
    return fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? (long long)st.st_size : 0;
}
