// qmpack's operating-system layer on Windows: files opened with every sharing mode, C run-time
// descriptors over those handles for the shared code, a named mutex per file as the writers'
// lock, new files and folders made with CREATE_NEW and CreateDirectoryA under random names, and
// the final replacement with MoveFileExA.
#include "host.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "files.h"

namespace {

// Every sharing mode: another reader or the replacement of the file by a writer is never refused
// because this process has it open.
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE localOpen(const std::string& path, DWORD access, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileA(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr);
}

// A descriptor of the shared code's kind over a handle (the descriptor then owns it); -1 when
// the run-time library has none left.
int localDescriptor(HANDLE h) {
    int fd = _open_osfhandle(intptr_t(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) CloseHandle(h);
    return fd;
}

// Random letters for new names, from a generator seeded by the clock and the process.
std::string localRandomLetters() {
    static unsigned long long state = 0;
    if (state == 0) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        state = (unsigned long long)now.QuadPart ^ ((unsigned long long)GetCurrentProcessId() << 32) ^ 0x9E3779B97F4A7C15ull;
    }
    std::string out;
    for (int i = 0; i < 6; i++) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        out += "abcdefghijklmnopqrstuvwxyz0123456789"[state % 36];
    }
    return out;
}

// The writers' locks this process holds, by the descriptor qmpackLockFile returned for each.
struct LocalLock {
    HANDLE mutex;
    bool open;  // the descriptor is still open (until qmpackStopReading)
};
std::map<int, LocalLock> localLocks;

}  // namespace

bool qmpackListFolder(const std::string& dir, std::vector<std::string>* names) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(((dir.empty() ? "." : dir) + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;  // empty
    do {
        if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0) names->push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return true;
}

// Windows cannot flush a folder; the replacement itself is written through (MOVEFILE_WRITE_THROUGH).
bool qmpackSyncFolder(const std::string&) { return true; }

int qmpackMakeFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) ? 0 : fxLastError(); }
int qmpackRemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) ? 0 : fxLastError(); }
int qmpackRemoveFolder(const std::string& path) { return RemoveDirectoryA(path.c_str()) ? 0 : fxLastError(); }

int qmpackMakeTempFile(const std::string& stem, std::string* path) {
    for (int attempt = 0; attempt < 100; attempt++) {
        std::string name = stem + localRandomLetters();
        HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            *path = name;
            return 0;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return fxLastError();
    }
    return EEXIST;
}

// The user's temporary folder is private to the user already.
int qmpackMakeTempFolder(const std::string& stem, std::string* path) {
    for (int attempt = 0; attempt < 100; attempt++) {
        std::string name = stem + localRandomLetters();
        if (CreateDirectoryA(name.c_str(), nullptr)) {
            *path = name;
            return 0;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) return fxLastError();
    }
    return EEXIST;
}

std::string qmpackTempRoot() {
    char buf[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof buf, buf);
    std::string root = n > 0 && n < sizeof buf ? std::string(buf, n) : std::string(".");
    while (root.size() > fxRootLength(root) && fxIsSeparator(root.back())) root.pop_back();
    return root;
}

int qmpackFlushFile(const std::string& path) {
    HANDLE h = localOpen(path, GENERIC_WRITE);
    if (h == INVALID_HANDLE_VALUE) return fxLastError();
    int error = FlushFileBuffers(h) ? 0 : fxLastError();
    CloseHandle(h);
    return error;
}

// Files on Windows carry no permission bits: a new file takes the access list of its folder.
unsigned qmpackNewFileMode() { return 0; }
int qmpackSetMode(const std::string&, unsigned) { return 0; }

int qmpackReplaceFile(const std::string& from, const std::string& to) {
    // A virus scanner or indexer may hold the old file for a moment: try again for about a second
    // before giving up.
    for (int attempt = 0;; attempt++) {
        if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
        DWORD e = GetLastError();
        if (attempt >= 20 || (e != ERROR_SHARING_VIOLATION && e != ERROR_ACCESS_DENIED)) return fxLastError();
        Sleep(50);
    }
}

// Symbolic links need a privilege on Windows: the scratch folder gets a copy under the new name.
int qmpackAliasFile(const std::string& target, const std::string& link) {
    return CopyFileA(target.c_str(), link.c_str(), TRUE) ? 0 : fxLastError();
}

int qmpackLockFile(const std::string& path, bool* same, int* error) {
    // The writers' lock is a named mutex per file path rather than a lock on the file: Windows
    // locks are mandatory, and a file held open (as a lock on it needs) cannot be replaced. Its
    // name carries a hash of the full path, lower-cased as Windows compares names; Windows
    // releases it when the holder ends in any way.
    std::string full = fxAbsolutePath(path);
    unsigned long long hash = 14695981039346656037ull;
    for (char c : full) hash = (hash ^ (unsigned char)tolower((unsigned char)c)) * 1099511628211ull;
    char name[64];
    snprintf(name, sizeof name, "Local\\qmpack-lock-%016llx", hash);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (!mutex) {
        *error = fxLastError();
        return -1;
    }
    WaitForSingleObject(mutex, INFINITE);  // WAIT_ABANDONED too: a holder that died left it to us
    // Writers replace the file only while they hold the lock: what path names now is the newest.
    *same = true;
    HANDLE h = localOpen(path, GENERIC_READ);
    int fd = h == INVALID_HANDLE_VALUE ? -1 : localDescriptor(h);
    if (fd < 0) {
        *error = h == INVALID_HANDLE_VALUE ? fxLastError() : EMFILE;
        ReleaseMutex(mutex);
        CloseHandle(mutex);
        return -1;
    }
    localLocks[fd] = {mutex, true};
    return fd;
}

void qmpackStopReading(int fd) {
    auto lock = localLocks.find(fd);
    if (lock == localLocks.end() || !lock->second.open) return;
    _close(fd);
    lock->second.open = false;
}

void qmpackUnlockFile(int fd) {
    auto lock = localLocks.find(fd);
    if (lock == localLocks.end()) return;
    if (lock->second.open) _close(fd);
    ReleaseMutex(lock->second.mutex);
    CloseHandle(lock->second.mutex);
    localLocks.erase(lock);
}

void qmpackBinaryStdout() {
    fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

int qmpackRunSelf(const std::vector<std::string>& args, const std::string& log, int* status) {
    char exe[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, exe, sizeof exe);
    if (n == 0 || n >= sizeof exe) return fxLastError();
    // The command line as the C run-time splits it again: every argument quoted, a quote escaped
    // and backslashes doubled before a quote.
    std::string line = std::string("\"") + exe + "\"";
    for (const std::string& a : args) {
        line += " \"";
        size_t slashes = 0;
        for (char c : a) {
            if (c == '\\') {
                slashes++;
                continue;
            }
            line.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
            slashes = 0;
            line += c;
        }
        line.append(slashes * 2, '\\');
        line += '"';
    }
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(log.c_str(), GENERIC_WRITE, kShareAll, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return fxLastError();
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = out;
    PROCESS_INFORMATION pi = {};
    fflush(nullptr);
    std::vector<char> cmd(line.begin(), line.end());
    cmd.push_back(0);
    BOOL started = CreateProcessA(exe, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    int error = started ? 0 : fxLastError();
    CloseHandle(out);
    if (!started) return error;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    *status = GetExitCodeProcess(pi.hProcess, &code) && code < 256 ? int(code) : -1;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}
