// The interrupt side of the temporary-file list on Windows. The console calls its control handler
// on a thread of its own for Ctrl+C, Ctrl+Break and the closing of the console window: the
// handler waits for a commit in progress to finish, removes the registered files and ends the
// process with the code Windows gives a program ended by Ctrl+C. A crash or an abort removes them
// too. The files of a process that was ended outright (Task Manager) are swept by the next command.
#include <windows.h>

#include <atomic>
#include <csignal>
#include <string>
#include <vector>

#include "cleanup.h"

namespace {

// Commits in progress; the control handler waits until there is none.
std::atomic<int> localCommits{0};

BOOL WINAPI localOnControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            while (localCommits.load() > 0) Sleep(10);
            qmpackRemoveAllTemps();
            ExitProcess(STATUS_CONTROL_C_EXIT);
        default: return FALSE;
    }
}

LONG WINAPI localOnCrash(EXCEPTION_POINTERS*) {
    qmpackRemoveAllTemps();
    return EXCEPTION_CONTINUE_SEARCH;  // then Windows ends the process as it would have
}

void localOnAbort(int sig) {
    qmpackRemoveAllTemps();
    signal(sig, SIG_DFL);
    raise(sig);
}

bool localGone(long pid) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!h) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
    bool ended = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
    CloseHandle(h);
    return ended;
}

// The names in dir (without "." and ".."), and whether each is a folder.
std::vector<std::pair<std::string, bool>> localList(const std::string& dir) {
    std::vector<std::pair<std::string, bool>> out;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return out;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") out.push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return out;
}

}  // namespace

void qmpackCleanupRemove(const char* path, bool folder) {
    if (folder)
        RemoveDirectoryA(path);
    else
        DeleteFileA(path);
}

void qmpackInstallCleanup() {
    SetConsoleCtrlHandler(localOnControl, TRUE);
    SetUnhandledExceptionFilter(localOnCrash);
    signal(SIGABRT, localOnAbort);
}

QMPackCommitGuard::QMPackCommitGuard() { localCommits++; }

QMPackCommitGuard::~QMPackCommitGuard() { localCommits--; }

std::string qmpackPidTag() { return std::to_string(long(GetCurrentProcessId())) + "-"; }

void qmpackSweepStale(const std::string& dir, const std::string& prefix) {
    std::string folder = dir.empty() ? "." : dir;
    for (const auto& entry : localList(folder)) {
        long pid = qmpackPidIn(entry.first, prefix);
        // Windows hands out process numbers again soon: a file with this process's own number
        // that it did not make is another's, left by a process that ended.
        bool mine = pid == long(GetCurrentProcessId());
        if (pid <= 0 || (mine ? qmpackTracksName(entry.first) : !localGone(pid))) continue;
        std::string path = folder + "/" + entry.first;
        if (entry.second) {
            // A scratch folder holds files only.
            for (const auto& inside : localList(path)) DeleteFileA((path + "/" + inside.first).c_str());
            RemoveDirectoryA(path.c_str());
        } else {
            DeleteFileA(path.c_str());
        }
    }
}
