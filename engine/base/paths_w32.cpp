// Windows side of the path helpers: the current directory, the fonts shell folder, existence.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <io.h>

#include <cstring>

#include "base/paths.h"

const char fxNativeSeparator = '\\';

bool fxPlatformSetCurrentDir(const char* dir) { return dir && *dir && SetCurrentDirectoryA(dir) != 0; }

bool fxPlatformGetCurrentDir(char* buf, size_t size) {
    DWORD n = GetCurrentDirectoryA(DWORD(size), buf);
    return n > 0 && n < size;
}

bool fxPlatformFontsDir(char* buf, size_t size) {
    char dir[MAX_PATH] = {0};
    if (SHGetFolderPathA(nullptr, CSIDL_FONTS, nullptr, 0, dir) != S_OK) return false;
    if (!*dir || strlen(dir) + 1 > size) return false;
    strcpy(buf, dir);
    return true;
}

bool fxPlatformPathExists(const char* path) { return path && *path && PathFileExistsA(path) == TRUE; }

// rename refuses an existing target on Windows: the move is asked to replace it.
bool fxReplaceFile(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool fxIsRegularFile(FILE* f) {
    if (!f) return false;
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
    BY_HANDLE_FILE_INFORMATION info;
    return h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}
