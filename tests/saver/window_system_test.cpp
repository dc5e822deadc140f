// The window system a run uses: the words that ask for one (--x11, --wayland), the idle start's
// word (--idle MINUTES), and the rule that picks Wayland only for the full-screen style when a
// compositor answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "saver/host.h"
#include "saver/launch.h"

namespace {

QmLaunch localParse(const std::vector<std::string>& words, bool* ok, std::string* error) {
    QmLaunch l;
    *ok = qmParseLaunchWords(words, nullptr, &l, error);
    return l;
}

}  // namespace

TEST(WindowSystemWords, EachWordInBothFormsAsksForItsSystem) {
    struct Case {
        std::vector<std::string> words;
        QmWindowSystem system;
        const char* letters;
    } cases[] = {
        {{"-s"}, kSystemAuto, "-s"},
        {{"--wayland", "-s"}, kSystemWayland, "-s"},
        {{"-wayland", "-root"}, kSystemWayland, ""},
        {{"-s", "--x11"}, kSystemX11, "-s"},
        {{"-x11", "-x11", "-window"}, kSystemX11, ""},  // said twice is still one choice
    };
    for (const Case& c : cases) {
        bool ok = false;
        std::string error;
        QmLaunch l = localParse(c.words, &ok, &error);
        EXPECT_TRUE(ok) << c.words[0] << ": " << error;
        EXPECT_EQ(l.windowSystem, c.system) << c.words[0];
        EXPECT_EQ(l.letters, c.letters) << c.words[0];
    }
}

TEST(WindowSystemWords, IdleTakesMinutesAboveZeroUpToADay) {
    struct Case {
        std::vector<std::string> words;
        bool ok;
        double minutes;
        const char* errorHas;
    } cases[] = {
        {{"--idle", "10"}, true, 10.0, ""},
        {{"-idle=0.5", "--fps"}, true, 0.5, ""},
        {{"--idle", "1440", "--wayland"}, true, 1440.0, ""},
        {{"--idle"}, false, 0, "needs a value"},
        {{"--idle", "0"}, false, 0, "above 0 and up to 1440"},
        {{"--idle", "-3"}, false, 0, "above 0"},
        {{"--idle", "1441"}, false, 0, "up to 1440"},
        {{"--idle", "ten"}, false, 0, "\"ten\""},
        {{"--idle", "nan"}, false, 0, "\"nan\""},
        {{"--idle", "5", "-s"}, false, 0, "cannot go with it"},  // it runs the full-screen saver itself
        {{"--idle", "5", "--root"}, false, 0, "choose one of"},
        {{"--record", "out", "--idle", "5"}, false, 0, "choose one of"},
        {{"--x11", "--wayland", "-s"}, false, 0, "choose one of --x11 and --wayland"},
        {{"--wayland=yes", "-s"}, false, 0, "takes no value"},
        {{"--record", "out", "--wayland"}, false, 0, "X11 window"},
    };
    for (const Case& c : cases) {
        bool ok = false;
        std::string error;
        std::string said;
        for (const std::string& w : c.words) said += w + " ";
        QmLaunch l = localParse(c.words, &ok, &error);
        EXPECT_EQ(ok, c.ok) << said << error;
        if (c.ok) {
            EXPECT_EQ(l.mode, kModeIdle) << said;
            EXPECT_DOUBLE_EQ(l.idleMinutes, c.minutes) << said;
        } else {
            EXPECT_NE(error.find(c.errorHas), std::string::npos) << said << "-> " << error;
        }
    }
}

TEST(WindowSystemWords, TheUsageNamesTheNewWords) {
    std::string usage = qmUsageText();
    for (const char* word : {"--idle MINUTES", "--x11", "--wayland"})
        EXPECT_NE(usage.find(word), std::string::npos) << word;
}

TEST(WindowSystemChoice, WaylandOnlyForFullScreenWithACompositorUnlessAsked) {
    // Nothing asked: full screen follows the compositor; every other style is an X11 window.
    EXPECT_EQ(qmChooseWindowSystem(kSystemAuto, kStyleFullScreen, true), kSystemWayland);
    EXPECT_EQ(qmChooseWindowSystem(kSystemAuto, kStyleFullScreen, false), kSystemX11);
    for (QmStyle s : {kStylePreview, kStyleLauncher, kStyleDesktop, kStyleRecord})
        EXPECT_EQ(qmChooseWindowSystem(kSystemAuto, s, true), kSystemX11) << int(s);
    // Asked for, whatever the environment says.
    EXPECT_EQ(qmChooseWindowSystem(kSystemX11, kStyleFullScreen, true), kSystemX11);
    EXPECT_EQ(qmChooseWindowSystem(kSystemWayland, kStyleFullScreen, false), kSystemWayland);
    EXPECT_EQ(qmChooseWindowSystem(kSystemWayland, kStyleDesktop, false), kSystemWayland);
}
