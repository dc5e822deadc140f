// The built saver on a Wayland desktop, inside the headless sway rig (two outputs of different
// sizes), photographed with grim: each output shows its own photograph first, then a scene of its
// own size; a key ends both; SIGTERM ends with 0; nothing is left on screen; the full-screen
// toplevels draw where layer-shell is switched off; swayidle and --idle start it after two idle
// seconds; a killed compositor ends it with status 1. (Headless sway 1.7 cannot take an output
// away: "output NAME disable" leaves it active, so one output's end is tested with the generic
// host alone, tests/saver/one_window_end_test.cpp.)
//
// The desktop is made to tell the photograph from itself: each output's background is a picture
// of two colours side by side, and the test content shows the photograph mirrored, so the right
// half's colour appears on the left while the saver shows it.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "image/devil.h"
#include "saver_screen/saver_process.h"
#include "support/png_write_gl.h"
#include "support/scene_package.h"
#include "support/test_support.h"
#include "wayland/sway_rig_wayland.h"

namespace {

// The right half's colour of each output's desktop (the left half is the rig's own colour).
const uint32_t kRightHalf[2] = {0xffff00, 0xff00ff};

// Each channel within 60 of the wanted colour (the scene's lights dim the photograph a little).
bool localNear(uint32_t p, uint32_t want) { return qmNearRGB(p, want, 60); }
// The test content's second picture, mirrored onto the left half of each scene.
bool localOrange(uint32_t p) { return ((p >> 16) & 255) > 180 && ((p >> 8) & 255) > 100 && (p & 255) < 100; }
// The test content's medallion: a dark square.
bool localDark(uint32_t p) { return ((p >> 16) & 255) < 60 && ((p >> 8) & 255) < 60 && (p & 255) < 60; }

class WaylandSaverTest : public ::testing::Test {
protected:
    std::vector<QmSwayOutput> outputs;
    std::string data, home;
    std::vector<std::string> env;

    void SetUp() override {
        outputs = qmSwayOutputs();
        if (outputs.empty()) GTEST_SKIP() << "not inside the headless sway rig (scripts/with-sway runs these tests)";
        ASSERT_EQ(outputs.size(), 2u);
        data = qmFreshDir("wayland-saver-data");
        home = qmFreshDir("wayland-saver-home");
        std::string why;
        ASSERT_TRUE(qmWriteSceneContent(data, 4000, &why)) << why;
        env = {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config", "XDG_STATE_HOME=" + home + "/state",
               "QMSAVE_PATH=" + data};
        ASSERT_NO_FATAL_FAILURE(SetHalvesDesktop());
    }

    // Each output's background: its own colour on the left, kRightHalf on the right.
    void SetHalvesDesktop() {
        const char* runtime = getenv("XDG_RUNTIME_DIR");
        ASSERT_NE(runtime, nullptr);
        for (size_t i = 0; i < outputs.size(); i++) {
            const QmSwayOutput& o = outputs[i];
            std::vector<unsigned char> rgba(size_t(o.width) * size_t(o.height) * 4);
            for (int y = 0; y < o.height; y++)
                for (int x = 0; x < o.width; x++) {
                    uint32_t c = x < o.width / 2 ? o.rgb : kRightHalf[i];
                    unsigned char* p = &rgba[(size_t(y) * size_t(o.width) + size_t(x)) * 4];
                    p[0] = (c >> 16) & 255, p[1] = (c >> 8) & 255, p[2] = c & 255, p[3] = 255;
                }
            // In the rig's runtime folder, which the compositor's user may read.
            std::string png = std::string(runtime) + "/desktop-" + o.name + ".png";
            ASSERT_TRUE(qmWritePngRGBA(png, o.width, o.height, rgba.data(), o.width * 4, false));
            ASSERT_EQ(qmShell("chmod 644 '" + png + "' && swaymsg output " + o.name + " bg '" + png +
                              "' stretch >/dev/null"),
                      0);
        }
        ASSERT_TRUE(WaitAll("desktop", [&](size_t i, const QmGrimShot& s) { return ShowsDesktop(i, s); }, 20000));
    }

    // Points at a quarter and three quarters of the width, a quarter of the height down.
    static uint32_t Left(const QmGrimShot& s) { return s.At(s.width / 4, s.height / 4); }
    static uint32_t Right(const QmGrimShot& s) { return s.At(s.width * 3 / 4, s.height / 4); }
    // Where the medallion sits on each output (its bottom-right corner, in proportion).
    static uint32_t Corner(const QmGrimShot& s) { return s.At(s.width * 883 / 1000, s.height * 835 / 1000); }

    bool ShowsDesktop(size_t i, const QmGrimShot& s) const {
        return qmNearRGB(Left(s), outputs[i].rgb, 12) && qmNearRGB(Right(s), kRightHalf[i], 12);
    }
    bool ShowsPhotograph(size_t i, const QmGrimShot& s) const {
        return localNear(Left(s), kRightHalf[i]) && localNear(Right(s), outputs[i].rgb);
    }
    static bool ShowsScene(const QmGrimShot& s) { return localOrange(Left(s)) && !localOrange(Right(s)); }

    // Photographs every output with grim until ready holds for all of them (or limitMs passed);
    // the last pictures are kept as wayland-<tag>-<output>.png.
    template <typename Fn>
    bool WaitAll(const std::string& tag, Fn ready, int limitMs) {
        for (int waited = 0;; waited += 150) {
            bool all = true;
            for (size_t i = 0; i < outputs.size(); i++) {
                QmGrimShot s;
                if (!qmGrim(outputs[i].name, qmTestPath("wayland-" + tag + "-" + outputs[i].name + ".png"), &s) ||
                    !ready(i, s))
                    all = false;
            }
            if (all) return true;
            if (waited >= limitMs) return false;
            qmPause(150);
        }
    }

    bool Photographs(const std::string& tag, int limitMs = 15000) {
        return WaitAll(tag, [&](size_t i, const QmGrimShot& s) { return ShowsPhotograph(i, s); }, limitMs);
    }
    bool Scenes(const std::string& tag, int limitMs = 25000) {
        return WaitAll(tag, [&](size_t, const QmGrimShot& s) { return ShowsScene(s); }, limitMs);
    }
    bool Desktops(const std::string& tag, int limitMs = 10000) {
        return WaitAll(tag, [&](size_t i, const QmGrimShot& s) { return ShowsDesktop(i, s); }, limitMs);
    }

    // A key typed once wtype's virtual keyboard is there (it waits a second after making it,
    // while the saver takes the new keyboard).
    static void Key() { ASSERT_EQ(qmShell("wtype -s 1000 q >/dev/null 2>&1"), 0) << "wtype (scripts/setup test)"; }

    std::string Log() const {
        std::string log = qmReadText(data + "/qmsave.log");
        return log.empty() ? qmReadText(home + "/state/qmsave/qmsave.log") : log;
    }
};

}  // namespace

TEST_F(WaylandSaverTest, EachOutputShowsItsPhotographThenItsOwnSceneAndAKeyEndsBoth) {
    QmRun r = qmStartSaver({"-s"}, env, "wayland-saver-s");
    ASSERT_GT(r.pid, 0);
    EXPECT_TRUE(Photographs("photograph")) << qmReadText(r.err);
    EXPECT_TRUE(Scenes("scene")) << qmReadText(r.err);
    // Each output's medallion in its own corner (it spins: wait for it to face us).
    EXPECT_TRUE(WaitAll("medallion", [](size_t, const QmGrimShot& s) { return localDark(Corner(s)); }, 10000));
    Key();
    EXPECT_EQ(qmWaitExit(r, 15000), 0) << qmReadText(r.err);
    EXPECT_TRUE(Desktops("after-key")) << "a surface is left on screen";
    std::string log = Log();
    for (const QmSwayOutput& o : outputs)  // a scene of its own size on each output
        EXPECT_NE(log.find("a scene on " + o.name + ", " + std::to_string(o.width) + " x " + std::to_string(o.height) +
                           ", layer-shell"),
                  std::string::npos)
            << log;
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
}

TEST_F(WaylandSaverTest, WithoutLayerShellFullScreenToplevelsDrawAndSigtermEndsThemWithZero) {
    env.push_back("QMSAVE_TEST_NO_LAYER_SHELL=1");
    QmRun r = qmStartSaver({"--wayland", "-s"}, env, "wayland-saver-toplevel");
    ASSERT_GT(r.pid, 0);
    EXPECT_TRUE(Scenes("toplevel-scene")) << qmReadText(r.err);
    ASSERT_TRUE(qmWaitFor([&] { return qmCatchesTerm(r.pid); }, 5000));
    kill(r.pid, SIGTERM);
    EXPECT_EQ(qmWaitExit(r, 10000), 0) << qmReadText(r.err);
    EXPECT_TRUE(Desktops("toplevel-after")) << "a surface is left on screen";
    EXPECT_NE(Log().find("full-screen toplevel"), std::string::npos) << Log();
}

TEST_F(WaylandSaverTest, SwayidleStartsItAfterTwoSecondsWithoutInput) {
    ASSERT_EQ(qmShell("command -v swayidle >/dev/null"), 0) << "swayidle is not installed (scripts/setup test)";
    QmRun idle = qmStartProgram({"swayidle", "-w", "timeout", "2", "'" + qmSaverProgram() + "' -s"}, env,
                                "wayland-swayidle");
    ASSERT_GT(idle.pid, 0);
    qmPause(1000);
    EXPECT_TRUE(Desktops("swayidle-early", 0)) << "started before the idle time";
    EXPECT_TRUE(Photographs("swayidle-photograph")) << qmReadText(idle.err);
    EXPECT_TRUE(Scenes("swayidle-scene"));
    Key();
    EXPECT_TRUE(Desktops("swayidle-after", 15000)) << "the key did not end it";
    kill(idle.pid, SIGTERM);
    qmWaitExit(idle, 10000);
}

TEST_F(WaylandSaverTest, IdleWaitsItselfRunsTheSaverAndWaitsAgainUntilSigterm) {
    QmRun r = qmStartSaver({"--idle", "0.0333"}, env, "wayland-saver-idle");  // 2 s
    ASSERT_GT(r.pid, 0);
    qmPause(1000);
    EXPECT_TRUE(Desktops("idle-early", 0)) << "started before the idle time";
    EXPECT_TRUE(Photographs("idle-photograph")) << qmReadText(r.err);
    EXPECT_TRUE(Scenes("idle-scene")) << qmReadText(r.err);
    Key();
    EXPECT_TRUE(Desktops("idle-after-key", 15000)) << "the key did not end it";
    EXPECT_EQ(waitpid(r.pid, nullptr, WNOHANG), 0) << "--idle ended with the saver: " << qmReadText(r.err);
    // Two more seconds without input: the saver again.
    EXPECT_TRUE(Scenes("idle-again")) << qmReadText(r.err);
    kill(r.pid, SIGTERM);
    EXPECT_EQ(qmWaitExit(r, 10000), 0) << qmReadText(r.err);
    EXPECT_TRUE(Desktops("idle-after-term")) << "a surface is left on screen";
}

TEST_F(WaylandSaverTest, KillingTheCompositorEndsItWithStatusOneAndAMessage) {
    const char* sway = getenv("QM_SWAY_PID");
    ASSERT_NE(sway, nullptr);
    QmRun r = qmStartSaver({"-s"}, env, "wayland-saver-killed");
    ASSERT_GT(r.pid, 0);
    ASSERT_TRUE(Scenes("killed-before")) << qmReadText(r.err);
    ASSERT_EQ(kill(pid_t(atoi(sway)), SIGKILL), 0);
    EXPECT_EQ(qmWaitExit(r, 20000), 1) << "no end, or not status 1: " << qmReadText(r.err);
    EXPECT_NE(qmReadText(r.err).find("connection to the Wayland compositor was lost"), std::string::npos)
        << qmReadText(r.err);
}
