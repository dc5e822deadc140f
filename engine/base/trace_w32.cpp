// Error messages in a message box (no owner, caption "Error", error icon, OK); the log is a plain
// file, refused when the name is a folder, a device or anything else that is not a regular file.
#include <windows.h>

#include <cstdio>

#include "base/trace.h"

int fxShowErrorMessage(const char* text) { return MessageBoxA(nullptr, text, "Error", MB_OK | MB_ICONERROR); }

FILE* fxPlatformOpenLog(const char* filename) {
    if (!filename || !*filename) return nullptr;
    // Not truncated before the check: a refused file keeps its bytes.
    HANDLE h = CreateFileA(filename, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    bool regular = GetFileType(h) == FILE_TYPE_DISK;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        regular = false;
    CloseHandle(h);
    if (!regular) return nullptr;
    return fopen(filename, "wt");
}
