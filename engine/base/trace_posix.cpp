// Error messages go to standard error on this platform (there is no message box); the log is
// opened without following links, and locked for as long as this process writes it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "base/trace.h"

int fxShowErrorMessage(const char* text) {
    size_t n = strlen(text);
    fprintf(stderr, "Error: %s%s", text, (n > 0 && text[n - 1] == '\n') ? "" : "\n");
    fflush(stderr);
    return 1;
}

FILE* fxPlatformOpenLog(const char* filename) {
    // Not truncated before the checks: a refused file keeps its bytes. O_NONBLOCK keeps the open
    // of a pipe without a reader from blocking; it is cleared again for the regular file.
    int fd = open(filename, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    // One writer per log: a saver on another monitor that writes this file keeps it (its lock
    // goes with its process), and the caller takes another name.
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0 || ftruncate(fd, 0) != 0) {
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* f = fdopen(fd, "w");
    if (!f) close(fd);
    return f;
}
