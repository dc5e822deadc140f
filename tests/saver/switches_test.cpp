// Command lines: the switch letters of the system and the launcher words taken out before them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "saver/launch.h"
#include "saver/scrnsave.h"

namespace {

struct LetterCase {
    const char* line;
    QmSwitch which;
    bool letter;
    bool hasNumber;
    unsigned long number;
};

const LetterCase kLetterCases[] = {
    {"/s", kSwitchScreenSaver, true, false, 0},
    {"-S", kSwitchScreenSaver, true, false, 0},
    {"s", kSwitchScreenSaver, true, false, 0},
    {"  xyz /S", kSwitchScreenSaver, true, false, 0},  // characters that are no switch letters
    {"register_scrsaver", kSwitchScreenSaver, true, false, 0},  // its "s" comes before "c"
    {"/p 1234", kSwitchPreview, true, true, 1234},
    {"-P\t 77 s", kSwitchPreview, true, true, 77},
    {"/p", kSwitchPreview, true, false, 0},
    {"/p 0", kSwitchPreview, true, true, 0},
    {"/p abc", kSwitchPreview, true, false, 0},
    {"/p 99999999999999", kSwitchPreview, true, true, 0},  // too large for a handle
    {"/a 12", kSwitchPassword, true, true, 12},
    {"-A", kSwitchPassword, true, false, 0},
    {"/c", kSwitchConfigure, true, false, 0},
    {"C:1234", kSwitchConfigure, true, false, 0},
    {"", kSwitchConfigure, false, false, 0},
    {"-root -window 123", kSwitchConfigure, false, false, 0},  // no letter of the scan at all
};

struct WordCase {
    std::vector<std::string> words;
    const char* launcherWindow;
    bool ok;
    QmMode mode;
    unsigned long windowId;
    bool showFps;
    const char* letters;
};

const WordCase kWordCases[] = {
    {{"-root"}, nullptr, true, kModeRoot, 0, false, ""},
    {{"-root", "-fps"}, nullptr, true, kModeRoot, 0, true, ""},
    {{"-root"}, "0x2a00007", true, kModeRoot, 0x2a00007, false, ""},
    {{"-root"}, "44040199", true, kModeRoot, 44040199, false, ""},
    {{"-root"}, "nonsense", true, kModeRoot, 0, false, ""},
    {{"-window"}, "0x2a00007", true, kModeWindow, 0, false, ""},  // only -root follows the variable
    {{"-window-id", "0x400001"}, nullptr, true, kModeWindowId, 0x400001, false, ""},
    {{"-window-id", "1234"}, nullptr, true, kModeWindowId, 1234, false, ""},
    {{"-window-id"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"-window-id", "0x"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"-window-id", "12ab"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"-window-id", "0"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"-root", "-window"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"-fps", "/s"}, nullptr, true, kModeLetters, 0, true, "/s"},  // -fps never reaches the scan
    {{"--help", "/s"}, nullptr, true, kModeHelp, 0, false, ""},
    {{"--version"}, nullptr, true, kModeVersion, 0, false, ""},
    {{"/p", "123", "x"}, nullptr, true, kModeLetters, 0, false, "/p 123 x"},
    {{"--record", "out dir"}, nullptr, true, kModeRecord, 0, false, ""},
    {{"--record"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"--seconds", "2"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"--record", "d", "--fps", "0"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"--record", "d", "--seconds", "-1"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"--record", "d", "--size", "640x"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"--record", "d", "--size", "8x8"}, nullptr, false, kModeLetters, 0, false, ""},
    // A monitor layout: sizes and places, at most sixteen, and never with --size.
    {{"--record", "d", "--monitors", "800x600+0+0,640x480+800+0"}, nullptr, true, kModeRecord, 0, false, ""},
    {{"--record", "d", "--monitors", "800x600+0+0,"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"--record", "d", "--monitors", "800x600"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"--record", "d", "--monitors", "800x600+-5+0"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"--record", "d", "--monitors", "8x8+0+0"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"--record", "d", "--monitors", "800x600+0+0", "--size", "800x600"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"--monitors", "800x600+0+0"}, nullptr, false, kModeLetters, 0, false, ""},
    // Every word in the double-dash form the launcher's settings rewrite them into.
    {{"--root"}, "0x2a00007", true, kModeRoot, 0x2a00007, false, ""},
    {{"--root", "--fps"}, nullptr, true, kModeRoot, 0, true, ""},
    {{"--window"}, nullptr, true, kModeWindow, 0, false, ""},
    {{"--window-id", "0x400001", "--fps"}, nullptr, true, kModeWindowId, 0x400001, true, ""},
    {{"--window-id=77"}, nullptr, true, kModeWindowId, 77, false, ""},
    {{"--root=1"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"-help"}, nullptr, true, kModeHelp, 0, false, ""},  // its "p" never reaches the scan
    {{"-record", "d", "-seconds", "2"}, nullptr, true, kModeRecord, 0, false, ""},
    // An unknown double-dash word is refused; an unknown single-dash one is for the scan.
    {{"--bogus"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"--"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"--root", "--settings"}, nullptr, false, kModeLetters, 0, false, ""},
    {{"-bogus"}, nullptr, true, kModeLetters, 0, false, "-bogus"},
    // -fps followed by a number is the recording's rate, else the readout.
    {{"--record", "d", "--fps", "10", "-fps"}, nullptr, true, kModeRecord, 0, true, ""},
    {{"-fps", "12"}, nullptr, false, kModeLetters, 0, false, ""},
    // register_scrsaver needs no window and goes with no mode.
    {{"register_scrsaver"}, nullptr, true, kModeRegister, 0, false, "register_scrsaver"},
    {{"/s", "register_scrsaver"}, nullptr, true, kModeRegister, 0, false, "/s register_scrsaver"},
    {{"--root", "register_scrsaver"}, nullptr, false, kModeLetters, 0, false, ""},
};

}  // namespace

TEST(SwitchScan, TheFirstSwitchLetterDecides) {
    for (const LetterCase& c : kLetterCases) {
        SCOPED_TRACE(std::string("command line \"") + c.line + "\"");
        QmSwitchScan s = qmScanSwitches(c.line);
        EXPECT_EQ(s.which, c.which);
        EXPECT_EQ(s.letter, c.letter);
        EXPECT_EQ(s.hasNumber, c.hasNumber);
        EXPECT_EQ(s.number, c.number);
    }
}

TEST(LaunchWords, WholeWordsAreTakenOutBeforeTheScan) {
    for (const WordCase& c : kWordCases) {
        std::string joined;
        for (const std::string& w : c.words) joined += "[" + w + "]";
        SCOPED_TRACE(joined + (c.launcherWindow ? std::string(" XSCREENSAVER_WINDOW=") + c.launcherWindow : ""));
        QmLaunch l;
        std::string error;
        ASSERT_EQ(qmParseLaunchWords(c.words, c.launcherWindow, &l, &error), c.ok) << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
            if (c.words.back().compare(0, 2, "--") == 0 && error.find("unknown") != std::string::npos) {
                EXPECT_NE(error.find(c.words.back()), std::string::npos) << "the word is named: " << error;
            }
            continue;
        }
        EXPECT_EQ(l.mode, c.mode);
        EXPECT_EQ(l.windowId, c.windowId);
        EXPECT_EQ(l.showFps, c.showFps);
        EXPECT_EQ(l.letters, c.letters);
    }
}

TEST(LaunchWords, RecordOptionsAndDefaults) {
    QmLaunch l;
    std::string error;
    ASSERT_TRUE(qmParseLaunchWords({"--record", "/tmp/out"}, nullptr, &l, &error)) << error;
    EXPECT_EQ(l.recordDir, "/tmp/out");
    EXPECT_EQ(l.recordSeconds, 30.0);
    EXPECT_EQ(l.recordFps, 25.0);
    EXPECT_EQ(l.recordWidth * 10000 + l.recordHeight, 1280 * 10000 + 1024);
    EXPECT_TRUE(l.desktopFile.empty());
    ASSERT_TRUE(qmParseLaunchWords({"--size", "320x200", "--record", "r", "--seconds", "2.5", "--fps", "10",
                                    "--desktop", "my desk.png"},
                                   nullptr, &l, &error))
        << error;
    EXPECT_EQ(l.recordSeconds, 2.5);
    EXPECT_EQ(l.recordFps, 10.0);
    EXPECT_EQ(l.recordWidth * 10000 + l.recordHeight, 320 * 10000 + 200);
    EXPECT_EQ(l.desktopFile, "my desk.png");
    ASSERT_TRUE(qmParseLaunchWords({"--record=r", "--fps=12.5", "--size=64x48"}, nullptr, &l, &error)) << error;
    EXPECT_EQ(l.recordDir, "r");
    EXPECT_EQ(l.recordFps, 12.5);
    EXPECT_FALSE(l.showFps);
    EXPECT_EQ(l.recordWidth * 10000 + l.recordHeight, 64 * 10000 + 48);
}

TEST(LaunchWords, AMonitorLayoutKeepsItsOrder) {
    QmLaunch l;
    std::string error;
    ASSERT_TRUE(qmParseLaunchWords({"--record", "d", "--monitors=640x480+800+20,800x600+0+0"}, nullptr, &l, &error))
        << error;
    ASSERT_EQ(l.recordMonitors.size(), 2u);
    EXPECT_EQ(l.recordMonitors[0], (QmRect{800, 20, 640, 480}));
    EXPECT_EQ(l.recordMonitors[1], (QmRect{0, 0, 800, 600}));
    std::string seventeen = "16x16+0+0";
    for (int i = 0; i < 16; i++) seventeen += ",16x16+0+0";
    EXPECT_FALSE(qmParseLaunchWords({"--record", "d", "--monitors", seventeen}, nullptr, &l, &error));
}
