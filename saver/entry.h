// The program's work once the platform entry (main on X11, WinMain on Windows) has done what only
// it can: the launcher words read once, then every mode dispatched from here. The host runs the
// saver windows; record mode runs the host in its own window; the rest needs no window.
#pragma once

#include <string>
#include <vector>

// words: the command line without the program name. launcherWindow: the launcher's window id as
// the environment gives it (XSCREENSAVER_WINDOW), or null. Returns the exit status.
int qmSaverMain(void* instance, const char* programName, const std::vector<std::string>& words,
                const char* launcherWindow);
