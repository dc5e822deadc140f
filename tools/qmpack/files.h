// Files as qmpack meets them: input checks that say why a file cannot be used (over the engine's
// one way of opening files by name, base/input_file.h), whole-file reads with a limit, and the
// writing of one whole output file. Paths are the engine's (base/paths.h).
#pragma once

#include <string>
#include <vector>

#include "base/input_file.h"
#include "base/paths.h"

// Opens path for reading when it is a regular file (never blocking on a named pipe or a device);
// returns the descriptor (fxCloseInput closes it), or -1 with *why set to the reason in words
// ("No such file or directory", "is a directory", "is a named pipe, not a regular file", ...).
// size and id, when given, receive the file's size and identity.
int qmpackOpenInput(const std::string& path, std::string* why, long long* size = nullptr, FXFileId* id = nullptr);
// Checks the same without keeping the file open.
bool qmpackCheckInput(const std::string& path, std::string* why, long long* size = nullptr, FXFileId* id = nullptr);
// Reads the whole regular file (or a named pipe with FX_INPUT_PIPE_OK among flags: a file the user
// named on the command line), refusing one of more than limit bytes. Never aborts: a file too
// large for the memory is refused too.
bool qmpackReadFile(const std::string& path, std::vector<unsigned char>* bytes, std::string* why,
                    long long limit = 1LL << 31, unsigned flags = 0);

// True when the folder holds nothing (or cannot be listed: then the caller's writes will say why).
bool qmpackFolderEmpty(const std::string& dir);
// Flushes a folder's entries (a rename inside it) to disk; false when it cannot.
bool qmpackSyncFolder(const std::string& dir);
