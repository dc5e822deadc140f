// Where the saver's data, settings and log live, and how it installs itself into the system's
// screen-saver settings: what each platform file provides (config_posix.cpp; a registry-based
// config_w32.cpp on Windows).
//
// On this platform the data folder comes from $QMSAVE_PATH, else from a line path=FOLDER in
// $XDG_CONFIG_HOME/qmsave/qmsave.conf (~/.config/qmsave/qmsave.conf), else it is the data folder
// installed with the program (<prefix>/share/qmsave) or, run from the build tree, the build's.
#pragma once

#include <string>

// The largest configuration file read (a larger one, or a device such as /dev/zero behind its
// name, is refused with a message) and the longest path= value taken.
const long long kQmMaxConfigBytes = 1 << 20;
const size_t kQmMaxPathValue = 4096;
// The largest launcher settings file (~/.xscreensaver) that register_scrsaver edits.
const long long kQmMaxSettingsBytes = 4 << 20;

struct QmConfig {
    std::string file;          // the configuration file's path
    bool fileExists = false;
    bool fileReadable = false;
    std::string fileProblem;   // why the file, or a line of it, was not taken ("" when all was)
    std::string filePath;      // its path= value (empty: none)
    std::string envPath;       // $QMSAVE_PATH (empty: unset)
    std::string defaultDir;    // the installed or the build's data folder
    std::string dataDir;       // the folder in effect
    const char* source = "";   // where dataDir came from, in words
};

// Reads the environment and the configuration file. A relative folder is made absolute here,
// once: $QMSAVE_PATH against the current folder, path= against the configuration file's folder,
// so the folder reported is the folder used, wherever the saver is started from.
QmConfig qmLoadConfig();
// Why the saver cannot take its content from dir (it is missing, no folder, not absolute, or
// longer than the engine's paths can hold), in words; empty when it can.
std::string qmDataDirProblem(const std::string& dir);
// The user's home folder: $HOME, else the password database's entry; empty when neither knows.
std::string qmHomeFolder();
// The trace log's path for a data folder: in the folder when it is writable, else under
// $XDG_STATE_HOME/qmsave/ (~/.local/state/qmsave/), which create makes when it is missing.
// Empty when neither can be written.
std::string qmLogFilePath(const std::string& dataDir, bool create);
// Prints where the configuration lives and what it holds, and checks the package as the saver
// will read it.
void qmPrintConfig(const QmConfig& c);

// ---- the same on every platform (config_report.cpp) ----
// value for a report: as it is, or when it is very long its start and how long it is, so that a
// value of megabytes never floods a terminal or a log.
std::string qmShortened(const std::string& value);
// One line for -c about the package file path, read as the saver reads it: its size and entries,
// or why the saver will show nothing (missing, not a package, damaged, empty), or which entries it
// leaves out (a file cut short).
std::string qmPackageReport(const std::string& path);

// The saver's entry for the launcher's list: this program with --root, the form the launcher
// itself runs (its plain name when the search path finds this very program under it, else its
// full path).
std::string qmSaverCommand();

enum QmListChange {
    kListAdded,       // the command was appended to the list
    kListAlready,     // an entry running the same program is there and switched on
    kListSwitchedOn,  // such an entry was there switched off ("-" before it): now it is on
};
// The settings text old (empty: no file yet) with command in its programs list; out is old
// unchanged when the program is listed and on already.
QmListChange qmAddToProgramsList(const std::string& old, bool fileExists, const std::string& command,
                                 std::string* out);
// Adds command to the settings file at path (~/.xscreensaver). The new text is written beside
// the file first; only then is the old file kept byte for byte as path.bak and the new one
// renamed into place, so a failed write changes nothing (the older backup included). Only a
// regular file of the user's own is written, and only when it may be written: a read-only file,
// one of another user, a device or pipe, or a file over kQmMaxSettingsBytes is refused. A link is
// edited where it points when it points at such a file inside the settings file's folder (a
// dotfiles folder in the home folder); a link to nothing or to a file elsewhere is refused. True
// on success or when already listed; *report says what happened, in words for people.
bool qmRegisterInFile(const std::string& path, const std::string& command, std::string* report);
