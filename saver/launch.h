// The words launchers and people pass to the saver on this platform, besides the system's
// switch letters: -root, -window, -window-id ID, -fps, --help, --version, the record mode,
// --idle MINUTES, the window system words --x11 and --wayland, and register_scrsaver. They are taken out of the command line as whole words before the letter
// scan, because several hold letters the scan would act on (-fps holds a "p", --version an "s").
// Each is known with one dash and with two: XScreenSaver rewrites the options of its programs
// list into the double-dash form (--root) and its settings preview adds --fps. A double-dash word
// that is none of them is refused; single-dash words that are none of them go to the scan.
#pragma once

#include <string>
#include <vector>

#include "saver/rect.h"
#include "saver/scrnsave.h"

enum QmMode {
    kModeLetters,   // no launcher word: the switch letters decide
    kModeRoot,      // -root: the full-screen scene (into XSCREENSAVER_WINDOW when that is set)
    kModeWindow,    // -window: a normal desktop window
    kModeWindowId,  // -window-id ID: the full-screen scene into someone else's window
    kModeRecord,    // --record DIR: frames on the controllable clock
    kModeRegister,  // register_scrsaver: add the saver to the launcher's settings file
    kModeIdle,      // --idle MINUTES: wait for that much idle time, run the full-screen saver, again
    kModeHelp,
    kModeVersion,
};

struct QmLaunch {
    QmMode mode = kModeLetters;
    bool showFps = false;
    unsigned long windowId = 0;  // -window-id, or -root with XSCREENSAVER_WINDOW
    std::string recordDir;
    double recordSeconds = 30.0;
    double recordFps = 25.0;
    int recordWidth = 1280;
    int recordHeight = 1024;
    bool recordSizeGiven = false;
    std::vector<QmRect> recordMonitors;  // a layout to record, one scene per monitor (empty: one window)
    std::string desktopFile;  // a picture used instead of the screen photograph
    double idleMinutes = 0.0;  // --idle
    QmWindowSystem windowSystem = kSystemAuto;  // --x11, --wayland
    std::string letters;      // the words left for the letter scan, joined by single spaces
};

// Reads the words (argv without the program name). xscreensaverWindow is the environment's
// XSCREENSAVER_WINDOW (null when unset). False with a one-line reason in *error for words that
// cannot be used (an unknown --word, a missing or bad value, two modes at once, a record option
// without --record). Options take their value from the next word or after "=" (--fps=10).
bool qmParseLaunchWords(const std::vector<std::string>& words, const char* xscreensaverWindow,
                        QmLaunch* out, std::string* error);
// A window id in hex ("0x2a00007") or decimal; false for anything else, for 0 and for ids that
// do not fit 32 bits (X resource ids are 29-bit).
bool qmParseWindowId(const char* text, unsigned long* id);
// The usage text of --help.
const char* qmUsageText();
// "qmsave <version>".
const char* qmVersionText();
