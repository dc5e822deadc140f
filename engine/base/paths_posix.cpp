// POSIX side of the path helpers: chdir/getcwd, the fonts folder, existence.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "base/paths.h"

const char fxNativeSeparator = '/';

bool fxPlatformSetCurrentDir(const char* dir) { return dir && *dir && chdir(dir) == 0; }

bool fxPlatformGetCurrentDir(char* buf, size_t size) { return getcwd(buf, size) != nullptr; }

bool fxPlatformFontsDir(char* buf, size_t size) {
    const char* dir = "/usr/share/fonts";
    struct stat st;
    if (stat(dir, &st) != 0 || !S_ISDIR(st.st_mode) || strlen(dir) + 1 > size) return false;
    strcpy(buf, dir);
    return true;
}

bool fxPlatformPathExists(const char* path) {
    struct stat st;
    return path && *path && stat(path, &st) == 0;
}

bool fxReplaceFile(const char* from, const char* to) { return rename(from, to) == 0; }

bool fxIsRegularFile(FILE* f) {
    struct stat st;
    return f && fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
}
