// The saver over several monitors, on an X server of the test's own whose one screen holds two
// monitors of different sizes (xrandr --setmonitor): each monitor shows its own part of the
// desktop and then a whole scene of its own size, the area no monitor shows is left alone, a key
// ends every one, a monitor taken away ends the run cleanly, and the layouts the window system may
// report (a gap, an overlap, a copy inside another) each get the windows they need.
#include <gtest/gtest.h>  // before Xlib: Xlib's None is a macro

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <signal.h>

#include <algorithm>

#include <memory>
#include <string>
#include <vector>

#include "image/devil.h"
#include "saver_screen/saver_process.h"
#include "support/monitor_server_x11.h"
#include "support/scene_package.h"
#include "support/test_support.h"

namespace {

const unsigned long kRed = 0xFF0000, kYellow = 0xFFFF00, kBlue = 0x0000FF, kMagenta = 0xFF00FF, kGreen = 0x00FF00;

// Each channel within 60 of the wanted colour (the scene's lights dim the photograph a little).
bool localNear(int p, unsigned long want) {
    for (int shift = 0; shift <= 16; shift += 8)
        if (abs(((p >> shift) & 255) - int((want >> shift) & 255)) > 60) return false;
    return p >= 0;
}
// The test content's second picture, mirrored onto the left half of each scene.
bool localOrange(int p) { return ((p >> 16) & 255) > 180 && ((p >> 8) & 255) > 100 && (p & 255) < 100; }
// The test content's logo: a dark square.
bool localDark(int p) { return p >= 0 && ((p >> 16) & 255) < 60 && ((p >> 8) & 255) < 60 && (p & 255) < 60; }

struct localWindowArea {
    int x, y, width, height;
    bool operator==(const localWindowArea& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};

// The saver's full-screen windows on dpy, mapped, in the order the server stacks them.
std::vector<localWindowArea> localSaverWindows(Display* dpy) {
    std::vector<localWindowArea> found;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n)) return found;
    for (unsigned i = 0; i < n; i++) {
        char* name = nullptr;
        XWindowAttributes a;
        if (XFetchName(dpy, children[i], &name) && name && std::string(name) == "QuietMeadows" &&
            XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable)
            found.push_back({a.x, a.y, a.width, a.height});
        if (name) XFree(name);
    }
    if (children) XFree(children);
    return found;
}

class MonitorsTest : public ::testing::Test {
protected:
    QmMonitorServer server;
    std::string data, home;
    std::vector<std::string> env;

    void SetUp() override {
        data = qmFreshDir("monitors-data");
        home = qmFreshDir("monitors-home");
        std::string why;
        ASSERT_TRUE(qmWriteSceneContent(data, 4000, &why)) << why;
    }

    // The server with monitors; the saver's environment names it.
    void StartServer(int w, int h, const std::vector<QmTestMonitor>& monitors) {
        std::string why;
        ASSERT_TRUE(server.Start(w, h, monitors, kGreen, &why)) << why;
        env = {"DISPLAY=" + server.Name(), "HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config",
               "XDG_STATE_HOME=" + home + "/state", "QMSAVE_PATH=" + data};
    }

    // The two monitors of different sizes side by side, on a screen that neither fills below.
    void StartTwoMonitors() {
        StartServer(1440, 600, {{0, 0, 800, 600, kRed, kYellow}, {800, 0, 640, 480, kBlue, kMagenta}});
    }

    void Key() {
        Display* d = server.Connection();
        KeyCode k = XKeysymToKeycode(d, XStringToKeysym("a"));
        XTestFakeKeyEvent(d, k, True, CurrentTime);
        XTestFakeKeyEvent(d, k, False, CurrentTime);
        XSync(d, False);
    }

    // Runs the saver in mode over the two monitors: each shows its own photograph (mirrored by the
    // test content), then its own scene, the uncovered area stays as it was; a key ends both.
    void EveryMonitorItsOwnScene(const char* mode) {
        ASSERT_NO_FATAL_FAILURE(StartTwoMonitors());
        QmRun r = qmStartSaver({mode}, env, std::string("monitors") + mode);
        ASSERT_GT(r.pid, 0);
        ASSERT_TRUE(qmWaitFor([&] { return localSaverWindows(server.Connection()).size() == 2; }, 20000))
            << qmReadText(r.err);
        std::vector<localWindowArea> windows = localSaverWindows(server.Connection());
        EXPECT_EQ(windows[0], (localWindowArea{0, 0, 800, 600}));
        EXPECT_EQ(windows[1], (localWindowArea{800, 0, 640, 480}));
        // Mirrored: the right half's colour shows on the left of each monitor.
        bool photographs = qmWaitFor(
            [&] { return localNear(server.Pixel(200, 150), kYellow) && localNear(server.Pixel(960, 120), kMagenta); },
            15000);
        server.Save(qmTestPath(std::string("monitors-photographs") + mode + ".png"));
        EXPECT_TRUE(photographs) << std::hex << server.Pixel(200, 150) << " " << server.Pixel(960, 120);
        // Each scene has its own size: the second picture covers the left half of each monitor.
        bool scenes = qmWaitFor(
            [&] { return localOrange(server.Pixel(200, 150)) && localOrange(server.Pixel(960, 120)); }, 25000);
        server.Save(qmTestPath(std::string("monitors-scenes") + mode + ".png"));
        EXPECT_TRUE(scenes) << std::hex << server.Pixel(200, 150) << " " << server.Pixel(960, 120);
        // Each monitor's medallion in its own bottom-right corner (it spins: wait for it to face us).
        bool medallions =
            qmWaitFor([&] { return localDark(server.Pixel(706, 501)) && localDark(server.Pixel(1365, 401)); }, 10000);
        EXPECT_TRUE(medallions) << std::hex << server.Pixel(706, 501) << " " << server.Pixel(1365, 401);
        EXPECT_FALSE(localOrange(server.Pixel(600, 150))) << "the left monitor's right half is not the meadow";
        EXPECT_FALSE(localOrange(server.Pixel(1300, 120))) << "the right monitor's right half is not the meadow";
        EXPECT_EQ(server.Pixel(1000, 550), int(kGreen)) << "the area no monitor shows is left alone";
        EXPECT_EQ(server.Pixel(1439, 599), int(kGreen));
        Key();
        EXPECT_EQ(qmWaitExit(r, 10000), 0) << qmReadText(r.err);
        EXPECT_TRUE(localSaverWindows(server.Connection()).empty());
    }
};

}  // namespace

TEST_F(MonitorsTest, RootWithoutALauncherCoversEveryMonitorWithItsOwnScene) { EveryMonitorItsOwnScene("-root"); }

TEST_F(MonitorsTest, FullScreenSwitchCoversEveryMonitorWithItsOwnScene) { EveryMonitorItsOwnScene("-s"); }

TEST_F(MonitorsTest, AMonitorTakenAwayEndsTheRunCleanly) {
    ASSERT_NO_FATAL_FAILURE(StartTwoMonitors());
    QmRun r = qmStartSaver({"-root"}, env, "monitors-removed");
    ASSERT_GT(r.pid, 0);
    ASSERT_TRUE(qmWaitFor([&] { return localSaverWindows(server.Connection()).size() == 2; }, 20000))
        << qmReadText(r.err);
    ASSERT_EQ(server.Xrandr({"--delmonitor", "RIGHT"}), 0);
    EXPECT_EQ(qmWaitExit(r, 10000), 0) << qmReadText(r.err);
    EXPECT_TRUE(localSaverWindows(server.Connection()).empty()) << "no window is left over a monitor that is gone";
    std::string log = qmReadText(home + "/state/qmsave/qmsave.log");
    if (log.empty()) log = qmReadText(data + "/qmsave.log");
    EXPECT_NE(log.find("the monitors changed"), std::string::npos) << log;
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
}

TEST_F(MonitorsTest, GapsOverlapsAndCopiesGetTheWindowsTheyNeed) {
    struct Layout {
        const char* what;
        int w, h;
        std::vector<QmTestMonitor> monitors;
        std::vector<localWindowArea> windows;
        int untouchedX, untouchedY;  // a pixel no monitor shows (-1: none)
    } layouts[] = {
        {"a gap between two monitors", 900, 400,
         {{0, 0, 400, 300, kRed, kYellow}, {500, 100, 400, 300, kBlue, kMagenta}},
         {{0, 0, 400, 300}, {500, 100, 400, 300}}, 450, 200},
        {"two monitors overlapping", 700, 300,
         {{0, 0, 400, 300, kRed, kYellow}, {300, 0, 400, 300, kBlue, kMagenta}},
         {{0, 0, 400, 300}, {300, 0, 400, 300}}, -1, -1},
        {"a copy inside a larger monitor", 600, 400,
         {{0, 0, 600, 400, kRed, kYellow}, {100, 100, 200, 150, kBlue, kMagenta}},
         {{0, 0, 600, 400}}, -1, -1},
        {"one monitor", 500, 400, {{0, 0, 500, 400, kRed, kYellow}}, {{0, 0, 500, 400}}, -1, -1},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.what);
        ASSERT_NO_FATAL_FAILURE(StartServer(l.w, l.h, l.monitors));
        QmRun r = qmStartSaver({"-root"}, env, "monitors-layout");
        ASSERT_GT(r.pid, 0);
        bool shown = qmWaitFor(
            [&] { return localSaverWindows(server.Connection()).size() == l.windows.size(); }, 20000);
        EXPECT_TRUE(shown) << qmReadText(r.err);
        qmPause(300);  // a window too many would be mapped by now
        std::vector<localWindowArea> windows = localSaverWindows(server.Connection());
        EXPECT_EQ(windows.size(), l.windows.size());
        for (const localWindowArea& want : l.windows)
            EXPECT_NE(std::find(windows.begin(), windows.end(), want), windows.end())
                << want.width << "x" << want.height << "+" << want.x << "+" << want.y;
        if (l.untouchedX >= 0) EXPECT_EQ(server.Pixel(l.untouchedX, l.untouchedY), int(kGreen));
        kill(r.pid, SIGTERM);
        EXPECT_EQ(qmWaitExit(r, 10000), 0) << qmReadText(r.err);
        server.Stop();
    }
}
