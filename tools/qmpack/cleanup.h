// Files qmpack creates only for the length of one command (temporary outputs, scratch files and
// folders). Each is registered while it exists, so an interrupted command (Ctrl-C, a terminal
// closed, a kill) removes them before it ends: nothing half-written stays behind.
#pragma once

#include <string>

// Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGPIPE, and for crashes and aborts,
// that remove every registered file, then end the process by the same signal. SIGXFSZ is
// ignored, so a write past the file-size limit fails as on a full disk. On Windows: the console's
// Ctrl+C, Ctrl+Break and close events, and crashes.
void qmpackInstallCleanup();
// Registers a temporary file (or, with folder set, an empty-at-the-end folder, removed after the
// files). Any number of paths of any length.
void qmpackTrackTemp(const std::string& path, bool folder = false);
// Holds back the interrupting signals for its lifetime (they are handled when it ends), so that a
// run of renames that commits several files is not cut in two by Ctrl-C or a kill.
class QMPackCommitGuard {
public:
    QMPackCommitGuard();
    ~QMPackCommitGuard();
    QMPackCommitGuard(const QMPackCommitGuard&) = delete;
    QMPackCommitGuard& operator=(const QMPackCommitGuard&) = delete;

private:
    alignas(8) unsigned char previous[256];  // the platform's saved state (a POSIX signal mask)
};

// Forgets a file that was renamed into place or removed.
void qmpackUntrackTemp(const std::string& path);
// Removes a registered temporary file now and forgets it.
void qmpackRemoveTemp(const std::string& path);

// Temporary names carry the process id ("<pid>-"), so that the next command can tell the files
// of a process that died without cleaning up (killed with SIGKILL, the machine stopped).
std::string qmpackPidTag();
// Removes the entries of dir named prefix + "<pid>-..." whose process is gone (a folder with the
// files in it); files of running processes and of other users stay.
void qmpackSweepStale(const std::string& dir, const std::string& prefix);

// ---- between cleanup.cpp and its platform file (cleanup_posix.cpp, cleanup_w32.cpp) ----
// Removes every registered file, then every registered folder: safe in a signal handler.
void qmpackRemoveAllTemps();
// Removes one file or empty folder, from a signal handler too (platform file).
void qmpackCleanupRemove(const char* path, bool folder);
// The process number in name after prefix ("...qmpack-<pid>-..."), or 0.
long qmpackPidIn(const std::string& name, const std::string& prefix);
// Whether a registered file or folder has the file name name (its last part).
bool qmpackTracksName(const std::string& name);
