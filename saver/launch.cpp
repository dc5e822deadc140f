// Launcher words: whole words only, each option's value in the next word, so paths with blanks
// survive (the letter scan sees the rest joined by single spaces).
#include "saver/launch.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

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
        *error = "choose one of -root, -window, -window-id, --record and register_scrsaver (" + word +
                 " came second)";
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

namespace {

// What a launcher word does; every word is known with one dash and with two.
enum localWordKind {
    kWordRoot,
    kWordWindow,
    kWordWindowId,
    kWordFps,  // the frame-rate readout, or with a number after it the recording's rate
    kWordHelp,
    kWordVersion,
    kWordRecord,
    kWordSeconds,
    kWordSize,
    kWordDesktop,
};

struct localWord {
    const char* name;
    localWordKind kind;
};

const localWord kWords[] = {
    {"root", kWordRoot},       {"window", kWordWindow},   {"window-id", kWordWindowId},
    {"fps", kWordFps},         {"help", kWordHelp},       {"version", kWordVersion},
    {"record", kWordRecord},   {"seconds", kWordSeconds}, {"size", kWordSize},
    {"desktop", kWordDesktop},
};

const char kRegisterWord[] = "register_scrsaver";

// The word's kind when it is a launcher word ("-root", "--root", "--window-id=0x2a"), with the
// value written after "=" in *inlineValue. *doubleDash says whether it began with "--".
bool localFindWord(const std::string& w, localWordKind* kind, std::string* inlineValue, bool* hasInline,
                   bool* doubleDash) {
    *doubleDash = w.compare(0, 2, "--") == 0;
    if (w.size() < 2 || w[0] != '-') return false;
    std::string name = w.substr(*doubleDash ? 2 : 1);
    size_t eq = name.find('=');
    *hasInline = eq != std::string::npos;
    if (*hasInline) {
        *inlineValue = name.substr(eq + 1);
        name.resize(eq);
    }
    for (const localWord& k : kWords) {
        if (name == k.name) {
            *kind = k.kind;
            return true;
        }
    }
    return false;
}

}  // namespace

bool qmParseLaunchWords(const std::vector<std::string>& words, const char* xscreensaverWindow,
                        QmLaunch* out, std::string* error) {
    *out = QmLaunch();
    bool recordOption = false;
    std::string letters;
    for (size_t i = 0; i < words.size(); i++) {
        const std::string& w = words[i];
        localWordKind kind;
        std::string inlineValue;
        bool hasInline = false, doubleDash = false;
        if (!localFindWord(w, &kind, &inlineValue, &hasInline, &doubleDash)) {
            if (doubleDash) {
                *error = "unknown option " + w;
                return false;
            }
            // Everything else is for the letter scan of the system's switches.
            if (!letters.empty()) letters += ' ';
            letters += w;
            continue;
        }
        const std::string name = w.substr(0, w.find('='));
        // An option's value: after "=", else the next word.
        auto value = [&](std::string* v) {
            if (hasInline) {
                *v = inlineValue;
                return true;
            }
            if (i + 1 >= words.size()) {
                *error = name + " needs a value";
                return false;
            }
            *v = words[++i];
            return true;
        };
        auto noValue = [&]() {
            if (hasInline) *error = name + " takes no value";
            return !hasInline;
        };
        std::string v;
        double number = 0.0;
        switch (kind) {
            case kWordRoot:
                if (!noValue() || !localSetMode(out, kModeRoot, name, error)) return false;
                break;
            case kWordWindow:
                if (!noValue() || !localSetMode(out, kModeWindow, name, error)) return false;
                break;
            case kWordWindowId:
                if (!localSetMode(out, kModeWindowId, name, error) || !value(&v)) return false;
                if (!qmParseWindowId(v.c_str(), &out->windowId)) {
                    *error = name + " needs a window id in hex (0x...) or decimal, not \"" + v + "\"";
                    return false;
                }
                break;
            case kWordFps:
                // "-fps" alone shows the rate; followed by a number it is the recording's rate.
                if (!hasInline && !(i + 1 < words.size() && localNumber(words[i + 1], &number))) {
                    out->showFps = true;
                    break;
                }
                recordOption = true;
                if (!value(&v)) return false;
                if (!localNumber(v, &out->recordFps) || out->recordFps <= 0 || out->recordFps > kMaxRecordFps) {
                    *error = name + " needs a frame rate above 0 and up to 240, not \"" + v + "\"";
                    return false;
                }
                break;
            case kWordHelp:
                out->mode = kModeHelp;
                return true;
            case kWordVersion:
                out->mode = kModeVersion;
                return true;
            case kWordRecord:
                if (!localSetMode(out, kModeRecord, name, error) || !value(&out->recordDir)) return false;
                if (out->recordDir.empty()) {
                    *error = name + " needs a folder";
                    return false;
                }
                break;
            case kWordSeconds:
                recordOption = true;
                if (!value(&v)) return false;
                if (!localNumber(v, &out->recordSeconds) || out->recordSeconds <= 0 ||
                    out->recordSeconds > kMaxRecordSeconds) {
                    *error = name + " needs a number of seconds above 0 and up to 3600, not \"" + v + "\"";
                    return false;
                }
                break;
            case kWordSize:
                recordOption = true;
                if (!value(&v)) return false;
                if (!localSize(v, &out->recordWidth, &out->recordHeight)) {
                    *error = name + " needs WIDTHxHEIGHT with sides from 16 to 8192, not \"" + v + "\"";
                    return false;
                }
                break;
            case kWordDesktop:
                recordOption = true;
                if (!value(&out->desktopFile)) return false;
                if (out->desktopFile.empty()) {
                    *error = name + " needs a picture file";
                    return false;
                }
                break;
        }
    }
    if (recordOption && out->mode != kModeRecord) {
        *error = "--seconds, --fps RATE, --size and --desktop go with --record";
        return false;
    }
    // Registration edits a settings file and needs no window: decided here, before the scan
    // (whose "s" would otherwise start the saver).
    if (letters.find(kRegisterWord) != std::string::npos &&
        !localSetMode(out, kModeRegister, kRegisterWord, error))
        return false;
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
           "-root, -window, -window-id, -fps and the record options work with one dash or two, as\n"
           "XScreenSaver passes them (--root, --window-id ID, --fps); a value may also follow an \"=\"\n"
           "(--window-id=0x2a00007). Other words with two dashes are refused.\n"
           "\n"
           "The content comes from qmsave.dat in the data folder: $QMSAVE_PATH, else the line\n"
           "path=FOLDER in $XDG_CONFIG_HOME/qmsave/qmsave.conf, else the installed data folder.\n"
           "SIGTERM and SIGINT end every mode cleanly.\n";
}

#ifndef QM_VERSION
#define QM_VERSION "unknown"
#endif

const char* qmVersionText() { return "qmsave " QM_VERSION; }
