// QmImmutable through the file system's immutable attribute.
#include "support/immutable_posix.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

bool localFlag(const std::string& path, bool on) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return ok;
}

}  // namespace

QmImmutable::QmImmutable(const std::string& p) : path(p) { set = localFlag(path, true); }

QmImmutable::~QmImmutable() {
    if (set) localFlag(path, false);
}
