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
const double kMaxIdleMinutes = 1440.0;

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
        *error = "choose one of -root, -window, -window-id, --record, --idle and register_scrsaver (" + word +
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
    kWordMonitors,
    kWordIdle,
    kWordX11,
    kWordWayland,
};

struct localWord {
    const char* name;
    localWordKind kind;
};

const localWord kWords[] = {
    {"root", kWordRoot},       {"window", kWordWindow},   {"window-id", kWordWindowId},
    {"fps", kWordFps},         {"help", kWordHelp},       {"version", kWordVersion},
    {"record", kWordRecord},   {"seconds", kWordSeconds}, {"size", kWordSize},
    {"desktop", kWordDesktop}, {"monitors", kWordMonitors}, {"idle", kWordIdle},
    {"x11", kWordX11},         {"wayland", kWordWayland},
};

const char kRegisterWord[] = "register_scrsaver";
const size_t kMaxMonitors = 16;
const int kMaxMonitorOffset = 16384;

// One monitor of a layout, "WIDTHxHEIGHT+X+Y".
bool localMonitor(const std::string& text, QmRect* r) {
    size_t plus = text.find('+');
    if (plus == std::string::npos || !localSize(text.substr(0, plus), &r->width, &r->height)) return false;
    const char* s = text.c_str() + plus + 1;
    char* end = nullptr;
    long x = strtol(s, &end, 10);
    if (end == s || *end != '+' || !isdigit(static_cast<unsigned char>(*s))) return false;
    const char* t = end + 1;
    long y = strtol(t, &end, 10);
    if (end == t || *end || !isdigit(static_cast<unsigned char>(*t))) return false;
    if (x > kMaxMonitorOffset || y > kMaxMonitorOffset) return false;
    r->x = int(x), r->y = int(y);
    return true;
}

// A monitor layout: monitors separated by commas.
bool localMonitors(const std::string& text, std::vector<QmRect>* out) {
    out->clear();
    size_t from = 0;
    for (;;) {
        size_t comma = text.find(',', from);
        QmRect r;
        if (!localMonitor(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from), &r))
            return false;
        out->push_back(r);
        if (out->size() > kMaxMonitors) return false;
        if (comma == std::string::npos) return true;
        from = comma + 1;
    }
}

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

// Reads the words one by one into a launch: the launcher words with their values, the rest kept
// for the letter scan.
class localWordReader {
public:
    localWordReader(const std::vector<std::string>& words, QmLaunch* out, std::string* error)
        : words_(words), out_(out), error_(error) {}

    bool ReadAll();
    bool recordOption = false;  // an option that only a recording takes was given
    std::string letters;        // the words for the letter scan, joined by single spaces

private:
    const std::vector<std::string>& words_;
    QmLaunch* out_;
    std::string* error_;
    size_t i_ = 0;
    std::string name_;  // the word being read, without its "=value"
    std::string inline_;
    bool hasInline_ = false;

    bool Fail(const std::string& why) {
        *error_ = why;
        return false;
    }
    // The option's value: after "=", else the next word.
    bool Value(std::string* v);
    bool NoValue() { return hasInline_ ? Fail(name_ + " takes no value") : true; }
    bool ModeWord(localWordKind kind);
    bool RecordWord(localWordKind kind);
};

bool localWordReader::Value(std::string* v) {
    if (hasInline_) {
        *v = inline_;
        return true;
    }
    if (i_ + 1 >= words_.size()) return Fail(name_ + " needs a value");
    *v = words_[++i_];
    return true;
}

// The words that choose what the program does.
bool localWordReader::ModeWord(localWordKind kind) {
    std::string v;
    switch (kind) {
        case kWordRoot:
            return NoValue() && localSetMode(out_, kModeRoot, name_, error_);
        case kWordWindow:
            return NoValue() && localSetMode(out_, kModeWindow, name_, error_);
        case kWordWindowId:
            if (!localSetMode(out_, kModeWindowId, name_, error_) || !Value(&v)) return false;
            if (!qmParseWindowId(v.c_str(), &out_->windowId))
                return Fail(name_ + " needs a window id in hex (0x...) or decimal, not \"" + v + "\"");
            return true;
        case kWordRecord:
            if (!localSetMode(out_, kModeRecord, name_, error_) || !Value(&out_->recordDir)) return false;
            return out_->recordDir.empty() ? Fail(name_ + " needs a folder") : true;
        case kWordIdle:
            if (!localSetMode(out_, kModeIdle, name_, error_) || !Value(&v)) return false;
            if (!localNumber(v, &out_->idleMinutes) || out_->idleMinutes <= 0 || out_->idleMinutes > kMaxIdleMinutes)
                return Fail(name_ + " needs a number of minutes above 0 and up to 1440 (0.5 is half a minute), not \"" +
                            v + "\"");
            return true;
        case kWordX11:
        case kWordWayland: {
            QmWindowSystem want = kind == kWordX11 ? kSystemX11 : kSystemWayland;
            if (!NoValue()) return false;
            if (out_->windowSystem != kSystemAuto && out_->windowSystem != want)
                return Fail("choose one of --x11 and --wayland");
            out_->windowSystem = want;
            return true;
        }
        default:
            out_->mode = kind == kWordHelp ? kModeHelp : kModeVersion;
            return true;
    }
}

// The options of a recording.
bool localWordReader::RecordWord(localWordKind kind) {
    recordOption = true;
    std::string v;
    if (!Value(&v)) return false;
    switch (kind) {
        case kWordFps:
            if (!localNumber(v, &out_->recordFps) || out_->recordFps <= 0 || out_->recordFps > kMaxRecordFps)
                return Fail(name_ + " needs a frame rate above 0 and up to 240, not \"" + v + "\"");
            return true;
        case kWordSeconds:
            if (!localNumber(v, &out_->recordSeconds) || out_->recordSeconds <= 0 ||
                out_->recordSeconds > kMaxRecordSeconds)
                return Fail(name_ + " needs a number of seconds above 0 and up to 3600, not \"" + v + "\"");
            return true;
        case kWordSize:
            if (!localSize(v, &out_->recordWidth, &out_->recordHeight))
                return Fail(name_ + " needs WIDTHxHEIGHT with sides from 16 to 8192, not \"" + v + "\"");
            out_->recordSizeGiven = true;
            return true;
        case kWordMonitors:
            if (!localMonitors(v, &out_->recordMonitors))
                return Fail(name_ + " needs monitors WIDTHxHEIGHT+X+Y separated by commas (at most 16, sides from "
                                    "16 to 8192), not \"" + v + "\"");
            return true;
        default:  // kWordDesktop
            out_->desktopFile = v;
            return v.empty() ? Fail(name_ + " needs a picture file") : true;
    }
}

bool localWordReader::ReadAll() {
    for (i_ = 0; i_ < words_.size(); i_++) {
        const std::string& w = words_[i_];
        localWordKind kind;
        bool doubleDash = false;
        if (!localFindWord(w, &kind, &inline_, &hasInline_, &doubleDash)) {
            if (doubleDash) return Fail("unknown option " + w);
            // Everything else is for the letter scan of the system's switches.
            if (!letters.empty()) letters += ' ';
            letters += w;
            continue;
        }
        name_ = w.substr(0, w.find('='));
        double number = 0.0;
        // "-fps" alone shows the rate; followed by a number it is the recording's rate.
        bool fpsReadout = kind == kWordFps && !hasInline_ &&
                          !(i_ + 1 < words_.size() && localNumber(words_[i_ + 1], &number));
        bool ok = true;
        if (fpsReadout)
            out_->showFps = true;
        else if (kind == kWordFps || kind == kWordSeconds || kind == kWordSize || kind == kWordDesktop ||
                 kind == kWordMonitors)
            ok = RecordWord(kind);
        else
            ok = ModeWord(kind);
        if (!ok) return false;
        if (out_->mode == kModeHelp || out_->mode == kModeVersion) return true;
    }
    return true;
}

}  // namespace

bool qmParseLaunchWords(const std::vector<std::string>& words, const char* xscreensaverWindow,
                        QmLaunch* out, std::string* error) {
    *out = QmLaunch();
    localWordReader reader(words, out, error);
    if (!reader.ReadAll()) return false;
    if (out->mode == kModeHelp || out->mode == kModeVersion) return true;
    if (out->mode == kModeIdle && !reader.letters.empty()) {
        *error = "--idle starts the full-screen saver itself; \"" + reader.letters + "\" cannot go with it";
        return false;
    }
    if (out->mode == kModeRecord && out->windowSystem == kSystemWayland) {
        *error = "--record draws into an X11 window (a private Xvfb will do); it cannot go with --wayland";
        return false;
    }
    if (reader.recordOption && out->mode != kModeRecord) {
        *error = "--seconds, --fps RATE, --size, --monitors and --desktop go with --record";
        return false;
    }
    if (out->recordSizeGiven && !out->recordMonitors.empty()) {
        *error = "--size and --monitors cannot go together: the monitors give the sizes";
        return false;
    }
    // Registration edits a settings file and needs no window: decided here, before the scan
    // (whose "s" would otherwise start the saver).
    if (reader.letters.find(kRegisterWord) != std::string::npos &&
        !localSetMode(out, kModeRegister, kRegisterWord, error))
        return false;
    if (out->mode == kModeRoot && xscreensaverWindow && *xscreensaverWindow) {
        // A launcher that hands over its own window: draw there. A value that is no window id
        // leaves the full-screen windows of our own (the caller warns).
        unsigned long id = 0;
        if (qmParseWindowId(xscreensaverWindow, &id)) out->windowId = id;
    }
    out->letters = reader.letters;
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
           "  --record DIR --monitors WxH+X+Y,WxH+X+Y,...\n"
           "                        one scene per monitor of that layout, each into DIR/monitor-N/,\n"
           "                        the sheet DIR/sheet.png showing them in their places (FILE is then\n"
           "                        the whole layout's desktop)\n"
           "  --idle MINUTES        on Wayland: wait for MINUTES without input (0.5 is half a minute),\n"
           "                        run the saver full screen, and wait again after it ends\n"
           "  --help, --version\n"
           "\n"
           "Options:\n"
           "  -fps                  show the measured frames per second at the bottom left\n"
           "  --x11, --wayland      the window system to use; without either, full screen (-s, -root\n"
           "                        without a launcher's window) uses Wayland when $WAYLAND_DISPLAY names\n"
           "                        a compositor, everything else X11\n"
           "\n"
           "-root, -window, -window-id, -fps, --idle, --x11, --wayland and the record options work with\n"
           "one dash or two, as XScreenSaver passes them (--root, --window-id ID, --fps); a value may\n"
           "also follow an \"=\" (--window-id=0x2a00007). Other words with two dashes are refused.\n"
           "\n"
           "The content comes from qmsave.dat in the data folder: $QMSAVE_PATH, else the line\n"
           "path=FOLDER in $XDG_CONFIG_HOME/qmsave/qmsave.conf, else the installed data folder.\n"
           "SIGTERM and SIGINT end every mode cleanly.\n";
}

#ifndef QM_VERSION
#define QM_VERSION "unknown"
#endif

const char* qmVersionText() { return "qmsave " QM_VERSION; }
