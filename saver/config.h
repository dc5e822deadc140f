// Where the saver's data, settings and log live, and how it installs itself into the system's
// screen-saver settings: what each platform file provides (config_posix.cpp; a registry-based
// config_w32.cpp on Windows).
//
// On this platform the data folder comes from $QMSAVE_PATH, else from a line path=FOLDER in
// $XDG_CONFIG_HOME/qmsave/qmsave.conf (~/.config/qmsave/qmsave.conf), else it is the data folder
// installed with the program (<prefix>/share/qmsave) or, run from the build tree, the build's.
#pragma once

#include <string>

struct QmConfig {
    std::string file;          // the configuration file's path
    bool fileExists = false;
    bool fileReadable = false;
    std::string filePath;      // its path= value (empty: none)
    std::string envPath;       // $QMSAVE_PATH (empty: unset)
    std::string defaultDir;    // the installed or the build's data folder
    std::string dataDir;       // the folder in effect
    const char* source = "";   // where dataDir came from, in words
};

// Reads the environment and the configuration file.
QmConfig qmLoadConfig();
// The trace log's path for a data folder: in the folder when it is writable, else under
// $XDG_STATE_HOME/qmsave/ (~/.local/state/qmsave/), which create makes when it is missing.
// Empty when neither can be written.
std::string qmLogFilePath(const std::string& dataDir, bool create);
// Prints where the configuration lives and what it holds.
void qmPrintConfig(const QmConfig& c);

// The saver's entry for the launcher's list: this program with -root (its plain name when the
// search path finds this very program under it, else its full path).
std::string qmSaverCommand();
// The settings text old (empty: no file yet) with command added to the end of its programs list.
// *already: an entry running the same program is there; out is then old unchanged.
void qmAddToProgramsList(const std::string& old, bool fileExists, const std::string& command,
                         std::string* out, bool* already);
// Adds command to the settings file at path (~/.xscreensaver): the old file is kept byte for
// byte as path.bak, the new one written beside and renamed into place, so either the old or the
// new file is there at every moment. True on success or when already listed; *report says what
// happened, in words for people.
bool qmRegisterInFile(const std::string& path, const std::string& command, std::string* report);
