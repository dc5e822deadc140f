// Launcher words: whole words only, each option's value in the next word, so paths with blanks
// survive (the letter scan sees the rest joined by single spaces).
#include "saver/launch.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

QmLaunch qmLaunch;

namespace {

const double kMaxRecordSeconds = 3600.0;
const double kMaxRecordFps = 240.0;
const int kMinRecordSide = 16;
const int kMaxRecordSide = 8192;

bool localNumber(const std::string& text, double* v) {
    const char* s = text.c_str();
    char* end = nullptr;
    errno = 0;
    double d = strtod(s, &end);
    if (end == s || *end || errno || !std::isfinite(d)) return false;
    *v = d;
    return true;
}

bool localSize(const std::string& text, int* w, int* h) {
    const char* s = text.c_str();
    char* end = nullptr;
    long a = strtol(s, &end, 10);
    if (end == s || (*end != 'x' && *end != 'X')) return false;
    const char* t = end + 1;
    long b = strtol(t, &end, 10);
    if (end == t || *end) return false;
    if (a < kMinRecordSide || b < kMinRecordSide || a > kMaxRecordSide || b > kMaxRecordSide) return false;
    *w = int(a);
    *h = int(b);
    return true;
}

bool localSetMode(QmLaunch* out, QmMode mode, const std::string& word, std::string* error) {
    if (out->mode != kModeLetters && out->mode != mode) {
        *error = "choose one of -root, -window, -window-id and --record (" + word + " came second)";
        return false;
    }
    out->mode = mode;
    return true;
}

}  // namespace

bool qmParseWindowId(const char* text, unsigned long* id) {
    if (!text || !*text) return false;
    const char* s = text;
    int base = 10;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s += 2;
    }
    if (!*s) return false;
    for (const char* p = s; *p; p++) {
        bool digit = base == 16 ? isxdigit(static_cast<unsigned char>(*p)) != 0
                                : (*p >= '0' && *p <= '9');
        if (!digit) return false;
    }
    errno = 0;
    unsigned long long v = strtoull(s, nullptr, base);
    if (errno || v == 0 || v > 0xFFFFFFFFull) return false;
    *id = static_cast<unsigned long>(v);
    return true;
}

bool qmParseLaunchWords(const std::vector<std::string>& words, const char* xscreensaverWindow,
                        QmLaunch* out, std::string* error) {
    *out = QmLaunch();
    bool recordOption = false;
    std::string letters;
    for (size_t i = 0; i < words.size(); i++) {
        const std::string& w = words[i];
        // An option's value: the next word.
        auto value = [&](std::string* v) {
            if (i + 1 >= words.size()) {
                *error = w + " needs a value";
                return false;
            }
            *v = words[++i];
            return true;
        };
        std::string v;
        if (w == "-root") {
            if (!localSetMode(out, kModeRoot, w, error)) return false;
        } else if (w == "-window") {
            if (!localSetMode(out, kModeWindow, w, error)) return false;
        } else if (w == "-window-id") {
            if (!localSetMode(out, kModeWindowId, w, error) || !value(&v)) return false;
            if (!qmParseWindowId(v.c_str(), &out->windowId)) {
                *error = "-window-id needs a window id in hex (0x...) or decimal, not \"" + v + "\"";
                return false;
            }
        } else if (w == "-fps") {
            out->showFps = true;
        } else if (w == "--help") {
            out->mode = kModeHelp;
            return true;
        } else if (w == "--version") {
            out->mode = kModeVersion;
            return true;
        } else if (w == "--record") {
            if (!localSetMode(out, kModeRecord, w, error) || !value(&out->recordDir)) return false;
            if (out->recordDir.empty()) {
                *error = "--record needs a folder";
                return false;
            }
        } else if (w == "--seconds") {
            recordOption = true;
            if (!value(&v)) return false;
            if (!localNumber(v, &out->recordSeconds) || out->recordSeconds <= 0 ||
                out->recordSeconds > kMaxRecordSeconds) {
                *error = "--seconds needs a number of seconds above 0 and up to 3600, not \"" + v + "\"";
                return false;
            }
        } else if (w == "--fps") {
            recordOption = true;
            if (!value(&v)) return false;
            if (!localNumber(v, &out->recordFps) || out->recordFps <= 0 || out->recordFps > kMaxRecordFps) {
                *error = "--fps needs a frame rate above 0 and up to 240, not \"" + v + "\"";
                return false;
            }
        } else if (w == "--size") {
            recordOption = true;
            if (!value(&v)) return false;
            if (!localSize(v, &out->recordWidth, &out->recordHeight)) {
                *error = "--size needs WIDTHxHEIGHT with sides from 16 to 8192, not \"" + v + "\"";
                return false;
            }
        } else if (w == "--desktop") {
            recordOption = true;
            if (!value(&out->desktopFile)) return false;
            if (out->desktopFile.empty()) {
                *error = "--desktop needs a picture file";
                return false;
            }
        } else {
            if (!letters.empty()) letters += ' ';
            letters += w;
        }
    }
    if (recordOption && out->mode != kModeRecord) {
        *error = "--seconds, --fps, --size and --desktop go with --record";
        return false;
    }
    if (out->mode == kModeRoot && xscreensaverWindow && *xscreensaverWindow) {
        // A launcher that hands over its own window: draw there. A value that is no window id
        // leaves the full-screen window of our own (the caller warns).
        unsigned long id = 0;
        if (qmParseWindowId(xscreensaverWindow, &id)) out->windowId = id;
    }
    out->letters = letters;
    return true;
}

const char* qmUsageText() {
    return "Usage: qmsave [MODE] [-fps]\n"
           "An animated 3D screen saver: your desktop, photographed, becomes the skin of moving models.\n"
           "\n"
           "Modes:\n"
           "  -root                 full screen (into $XSCREENSAVER_WINDOW when a launcher sets it)\n"
           "  -window               in a normal window of 1280 x 720, to try the saver\n"
           "  -window-id ID         into the window ID (hex 0x... or decimal) of another program\n"
           "  -s                    full screen; any key ends it, the mouse after 4 seconds\n"
           "  -p ID                 preview: one still picture in the window ID (decimal)\n"
           "  -c                    show where the configuration lives and what it holds\n"
           "  register_scrsaver     add the saver to the XScreenSaver list in ~/.xscreensaver\n"
           "  --record DIR [--seconds S] [--fps F] [--size WxH] [--desktop FILE]\n"
           "                        draw S seconds (30) of the scene on an exact clock into numbered\n"
           "                        PNG frames at F frames per second (25) of W x H pixels (1280x1024)\n"
           "                        and a contact sheet DIR/sheet.png; FILE replaces the photograph\n"
           "  --help, --version\n"
           "\n"
           "Options:\n"
           "  -fps                  show the measured frames per second at the bottom left\n"
           "\n"
           "The content comes from qmsave.dat in the data folder: $QMSAVE_PATH, else the line\n"
           "path=FOLDER in $XDG_CONFIG_HOME/qmsave/qmsave.conf, else the installed data folder.\n"
           "SIGTERM and SIGINT end every mode cleanly.\n";
}

#ifndef QM_VERSION
#define QM_VERSION "unknown"
#endif

const char* qmVersionText() { return "qmsave " QM_VERSION; }
