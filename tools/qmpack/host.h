// What qmpack asks of the operating system, in one list: every platform file (host_posix.cpp,
// host_w32.cpp) provides exactly these. Results that can fail return 0 or an errno value (the
// Windows file maps its system error codes onto them), so the shared code words every failure
// the same way with strerror. Paths may use '/' everywhere; on Windows '\' separates too.
#pragma once

#include <string>
#include <vector>

#include "base/input_file.h"

// ---- files and folders ----
// The names in a folder (without "." and ".."); false when it cannot be listed.
bool qmpackListFolder(const std::string& dir, std::vector<std::string>* names);
// Makes a folder; 0 or an errno value.
int qmpackMakeFolder(const std::string& path);
// Removes a file, or an empty folder; 0 or an errno value.
int qmpackRemoveFile(const std::string& path);
int qmpackRemoveFolder(const std::string& path);
// Makes a new, empty file named stem followed by a few random characters, never opening one that
// exists; *path receives its name. 0 or an errno value.
int qmpackMakeTempFile(const std::string& stem, std::string* path);
// The same with a folder, private to this user.
int qmpackMakeTempFolder(const std::string& stem, std::string* path);
// The folder for scratch files ($TMPDIR or /tmp; on Windows the user's temporary folder), without a
// trailing separator.
std::string qmpackTempRoot();
// Writes a file's content (not yet its name) to the disk; 0 or an errno value.
int qmpackFlushFile(const std::string& path);
// The permission bits a new file gets (0666 less the creation mask; 0 on Windows).
unsigned qmpackNewFileMode();
// Gives path the permission bits mode; 0 or an errno value (a no-op on Windows).
int qmpackSetMode(const std::string& path, unsigned mode);
// Makes from the file to in one step, replacing a file to that exists; 0 or an errno value.
int qmpackReplaceFile(const std::string& from, const std::string& to);
// Makes link a name for the file target (a symbolic link; a copy on Windows). 0 or an errno value.
int qmpackAliasFile(const std::string& target, const std::string& link);
// Opens the regular file path for reading and waits for its writers' lock; the descriptor (or -1
// with an errno value in *error) keeps the lock until qmpackUnlockFile. *same tells whether path
// still names the locked file (a writer may have replaced it meanwhile).
int qmpackLockFile(const std::string& path, bool* same, int* error);
// Stops reading through a lock's descriptor before its file is replaced: Windows cannot replace a
// file that is open, so there the file is closed and the lock kept; nothing on POSIX systems.
void qmpackStopReading(int fd);
// Releases the lock of qmpackLockFile and closes the descriptor.
void qmpackUnlockFile(int fd);

// Makes standard output carry bytes unchanged (Windows otherwise turns "\n" into "\r\n").
void qmpackBinaryStdout();

// ---- processes ----
// Runs this program again with args (after the program name), its output and errors going to
// the file log, and waits for it: *status is its exit status (-1 when it did not end normally).
// 0, or an errno value when it could not be started.
int qmpackRunSelf(const std::vector<std::string>& args, const std::string& log, int* status);
