// Files qmpack creates only for the length of one command (temporary outputs, scratch files and
// folders). Each is registered while it exists, so an interrupted command (Ctrl-C, a terminal
// closed, a kill) removes them before it ends: nothing half-written stays behind.
#pragma once

#include <string>

// Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGPIPE that remove every registered
// file, then end the process by the same signal.
void qmpackInstallCleanup();
// Registers a temporary file (or, with folder set, an empty-at-the-end folder, removed after the
// files). Registering is silent when the table is full: the file is then only removed by the
// command's normal paths.
void qmpackTrackTemp(const std::string& path, bool folder = false);
// Forgets a file that was renamed into place or removed.
void qmpackUntrackTemp(const std::string& path);
// Removes a registered temporary file now and forgets it.
void qmpackRemoveTemp(const std::string& path);
