// Opening files by name on Windows: CreateFileA with every sharing mode (a writer may replace the
// file while it is read), then GetFileType of the handle: only a disk file is read (a named pipe
// too when the caller takes one); devices such as CON or NUL are refused. The handle becomes a C
// run-time descriptor, which the shared code reads like any other.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>

#include "base/input_file.h"

namespace {

// The errno value closest to a Windows error, so reasons read as they do on POSIX systems.
int localErrno(DWORD e) {
    switch (e) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return EACCES;
        case ERROR_WRITE_PROTECT: return EROFS;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
        case ERROR_DIRECTORY: return ENOTDIR;
        case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
        case ERROR_INVALID_NAME: return EINVAL;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return ENOMEM;
        default: return EIO;
    }
}

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool localIsFolder(const char* path) {
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

FXFileId localIdOf(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) return {};
    return {info.dwVolumeSerialNumber, (unsigned long long)info.nFileIndexHigh << 32 | info.nFileIndexLow, true};
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
    HANDLE h = CreateFileA(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        if (localIsFolder(path))
            in.refused = "is a directory";
        else
            in.error = localErrno(e);
        return -1;
    }
    DWORD type = GetFileType(h);
    in.pipe = type == FILE_TYPE_PIPE && (flags & FX_INPUT_PIPE_OK);
    if (type != FILE_TYPE_DISK && !in.pipe) {
        in.refused = type == FILE_TYPE_PIPE ? "is a named pipe, not a regular file" : "is a device, not a regular file";
        CloseHandle(h);
        return -1;
    }
    if (!in.pipe) {
        LARGE_INTEGER length;
        if (!GetFileSizeEx(h, &length)) {
            in.error = localErrno(GetLastError());
            CloseHandle(h);
            return -1;
        }
        in.size = length.QuadPart;
        in.id = localIdOf(h);
    }
    int fd = _open_osfhandle(intptr_t(h), _O_RDONLY | ((flags & FX_INPUT_TEXT) ? _O_TEXT : _O_BINARY));
    if (fd < 0) {
        CloseHandle(h);
        in.error = EMFILE;
    }
    return fd;
}

void fxCloseInput(int fd) {
    if (fd >= 0) _close(fd);
}

bool fxReadAt(int fd, long long offset, void* dst, size_t len) {
    HANDLE h = HANDLE(_get_osfhandle(fd));
    if (h == INVALID_HANDLE_VALUE) return false;
    unsigned char* p = static_cast<unsigned char*>(dst);
    while (len > 0) {
        OVERLAPPED at = {};
        at.Offset = DWORD(offset);
        at.OffsetHigh = DWORD((unsigned long long)offset >> 32);
        DWORD want = len > (1u << 30) ? (1u << 30) : DWORD(len), got = 0;
        if (!ReadFile(h, p, want, &got, &at)) {
            errno = GetLastError() == ERROR_HANDLE_EOF ? 0 : localErrno(GetLastError());
            return false;
        }
        if (got == 0) {
            errno = 0;
            return false;
        }
        p += got;
        len -= got;
        offset += got;
    }
    return true;
}

int fxStatPath(const char* path, FXPathStat* st, bool follow) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!path || !GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return path ? fxLastError() : ENOENT;
    DWORD a = data.dwFileAttributes;
    st->mode = 0;  // permissions are the folder's access list, inherited by new files
    st->other.clear();
    if (!follow && (a & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // A junction or link inside a tree being written could lead out of it.
        st->kind = FXPathKind::Other;
        st->other = "is a link or junction, not a regular file";
    } else if (a & FILE_ATTRIBUTE_DIRECTORY) {
        st->kind = FXPathKind::Folder;
    } else if (a & FILE_ATTRIBUTE_DEVICE) {
        st->kind = FXPathKind::Other;
        st->other = "is a device, not a regular file";
    } else {
        st->kind = FXPathKind::File;
    }
    return 0;
}

int fxLastError() { return localErrno(GetLastError()); }

FXFileId fxFileIdOf(const char* path) {
    if (!path || !*path) return {};
    // Backup semantics open folders too; no access is asked beyond the attributes.
    HANDLE h = CreateFileA(path, FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    FXFileId id = localIdOf(h);
    CloseHandle(h);
    return id;
}

FILE* fxInputStream(int fd, unsigned flags) {
    FILE* f = fd >= 0 ? _fdopen(fd, (flags & FX_INPUT_TEXT) ? "rt" : "rb") : nullptr;
    if (!f) fxCloseInput(fd);
    return f;
}

long long fxInputSize(int fd) {
    HANDLE h = fd >= 0 ? HANDLE(_get_osfhandle(fd)) : INVALID_HANDLE_VALUE;
    LARGE_INTEGER length;
    return h != INVALID_HANDLE_VALUE && GetFileSizeEx(h, &length) ? length.QuadPart : 0;
}
