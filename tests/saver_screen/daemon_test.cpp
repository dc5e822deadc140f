// The saver under the real XScreenSaver daemon, as a user sets it up: register_scrsaver, the
// daemon started, the screen saver activated and deactivated. The daemon refuses to start hacks
// as root, so a test run as root runs the daemon and its commands as the unprivileged "nobody".
#include <gtest/gtest.h>  // before Xlib: Xlib's None is a macro

#include <X11/Xlib.h>
#include <dirent.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "image/devil.h"
#include "saver_screen/saver_process.h"
#include "support/monitor_server_x11.h"
#include "support/scene_package.h"
#include "support/test_support.h"
#include "support/x11_test.h"

namespace {

// Processes whose program is the file at path (resolved), with their first argument.
std::vector<pid_t> localProcessesOf(const std::string& path) {
    char want[PATH_MAX];
    std::vector<pid_t> found;
    if (!realpath(path.c_str(), want)) return found;
    DIR* proc = opendir("/proc");
    if (!proc) return found;
    while (dirent* e = readdir(proc)) {
        char* end = nullptr;
        long pid = strtol(e->d_name, &end, 10);
        if (*end || pid <= 0) continue;
        char exe[PATH_MAX];
        ssize_t n = readlink(("/proc/" + std::string(e->d_name) + "/exe").c_str(), exe, sizeof exe - 1);
        if (n <= 0) continue;
        exe[n] = 0;
        if (std::string(exe) == want) found.push_back(pid_t(pid));
    }
    closedir(proc);
    return found;
}

// Each channel of an r << 16 | g << 8 | b pixel within 60 of the wanted one (the scene's lights
// dim the photograph a little as the opening goes on).
bool localNear(int p, int want) {
    for (int shift = 0; shift <= 16; shift += 8)
        if (abs(((p >> shift) & 255) - ((want >> shift) & 255)) > 60) return false;
    return p >= 0;
}
bool localOrange(int p) { return ((p >> 16) & 255) > 180 && ((p >> 8) & 255) > 100 && (p & 255) < 100; }

class DaemonTest : public ::testing::Test {
protected:
    Display* dpy = nullptr;
    std::vector<std::string> prefix;  // runs a command as the daemon's user
    std::vector<std::string> env;
    std::string home, data;
    QmRun daemon;
    std::unique_ptr<QmHalvesDesktop> desktop;
    std::unique_ptr<QmMonitorServer> server;  // a server of the test's own, when it needs monitors

    void SetUp() override {
        QM_REQUIRE_DISPLAY();
        ASSERT_EQ(system("command -v xscreensaver >/dev/null && command -v xscreensaver-command >/dev/null"), 0)
            << "XScreenSaver is not installed (scripts/setup test installs it)";
        home = qmFreshDir("daemon-home");
        data = qmFreshDir("daemon-data");
        if (geteuid() == 0) {
            passwd* nobody = getpwnam("nobody");
            if (!nobody || system("command -v setpriv >/dev/null") != 0)
                GTEST_SKIP() << "run as root without a user \"nobody\" or setpriv: the daemon refuses to start hacks as root";
            prefix = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
            ASSERT_EQ(chown(home.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
            // Every folder above the scratch folders must let that user through.
            for (std::string d = home; d.size() > 1; d = d.substr(0, d.rfind('/'))) {
                struct stat st;
                if (stat(d.c_str(), &st) == 0 && !(st.st_mode & S_IXOTH))
                    GTEST_SKIP() << d << " cannot be entered by the user \"nobody\"";
            }
        }
        env = {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config", "XDG_STATE_HOME=" + home + "/state",
               "QMSAVE_PATH=" + data};
        std::string why;
        ASSERT_TRUE(qmWriteSceneContent(data, 8000, &why)) << why;
        dpy = XOpenDisplay(nullptr);
        ASSERT_NE(dpy, nullptr);
        desktop.reset(new QmHalvesDesktop(dpy));  // red on the left half, blue on the right
    }

    void TearDown() override {
        if (daemon.pid > 0) {
            kill(daemon.pid, SIGTERM);
            qmWaitExit(daemon, 5000);
        }
        for (pid_t p : localProcessesOf(qmSaverProgram())) kill(p, SIGKILL);
        desktop.reset();
        if (dpy) XCloseDisplay(dpy);
        dpy = nullptr;
        server.reset();
    }

    // Runs a command as the daemon's user and returns its exit status.
    int Run(std::vector<std::string> argv, const std::string& tag, QmRun* run = nullptr) {
        argv.insert(argv.begin(), prefix.begin(), prefix.end());
        QmRun r = qmStartProgram(argv, env, tag);
        if (r.pid <= 0) return -1;
        int status = qmWaitExit(r, 20000);
        if (run) *run = r;
        return status;
    }

    int Pixel(int x, int y) { return qmWindowPixel(dpy, 0, x, y); }

    // The test's own X server with two monitors (red and yellow under the left one, blue and
    // magenta under the right one) instead of the test display.
    void UseTwoMonitors() {
        desktop.reset();
        XCloseDisplay(dpy);
        dpy = nullptr;
        server.reset(new QmMonitorServer);
        std::string why;
        ASSERT_TRUE(server->Start(1440, 600, {{0, 0, 800, 600, 0xFF0000, 0xFFFF00}, {800, 0, 640, 480, 0x0000FF, 0xFF00FF}},
                                  0x00FF00, &why))
            << why;
        dpy = XOpenDisplay(server->Name().c_str());
        ASSERT_NE(dpy, nullptr);
        env.push_back("DISPLAY=" + server->Name());
    }

    // The saver registered as the user would, chosen alone, the daemon started and activated.
    void StartAndActivate() {
        QmRun r;
        ASSERT_EQ(Run({qmSaverProgram(), "register_scrsaver"}, "daemon-register", &r), 0) << qmReadText(r.err);
        std::string settings = qmReadText(home + "/.xscreensaver");
        ASSERT_NE(settings.find("--root"), std::string::npos) << settings;
        // The user's choices: this saver alone, at once, without fades or locking.
        qmWriteText(home + "/.xscreensaver",
                    settings + "mode:\t\tone\nselected:\t0\nlock:\t\tFalse\nfade:\t\tFalse\nunfade:\t\tFalse\n"
                               "splash:\t\tFalse\ndpmsEnabled:\tFalse\n");
        if (!prefix.empty()) {
            passwd* nobody = getpwnam("nobody");
            ASSERT_EQ(chown((home + "/.xscreensaver").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        }
        std::vector<std::string> argv = prefix;
        argv.insert(argv.end(), {"xscreensaver", "--no-splash"});
        daemon = qmStartProgram(argv, env, "daemon");
        ASSERT_GT(daemon.pid, 0);
        bool activated =
            qmWaitFor([&] { return Run({"xscreensaver-command", "-activate"}, "daemon-activate") == 0; }, 20000);
        ASSERT_TRUE(activated) << qmReadText(daemon.err);
    }

    // Deactivation ends every saver; each left a log closed by an orderly end, without an error,
    // then the daemon exits. savers: how many ran (each writes a log of its own).
    void DeactivateAndExit(int savers) {
        ASSERT_EQ(Run({"xscreensaver-command", "-deactivate"}, "daemon-deactivate"), 0);
        // A saver given SIGTERM ends within a second, or within six when its loop has begun an
        // orderly end (several scenes on a busy machine take a while to let go of their devices).
        EXPECT_TRUE(qmWaitFor([&] { return localProcessesOf(qmSaverProgram()).empty(); }, 8000))
            << "the saver did not end on deactivation";
        // In the data folder when the daemon's user may write there, else in its state folder.
        std::string folder = access((data + "/qmsave.log").c_str(), F_OK) == 0 ? data : home + "/state/qmsave";
        for (int n = 1; n <= savers; n++) {
            std::string name = n == 1 ? "/qmsave.log" : "/qmsave-" + std::to_string(n) + ".log";
            std::string log = qmReadText(folder + name);
            SCOPED_TRACE(name);
            // The daemon ends a saver with a signal, or takes its window away first: either is a
            // normal end, and a drawing that meets a window already gone is no fault.
            EXPECT_NE(log.find("host: the run ends: "), std::string::npos) << log;
            EXPECT_NE(log.find("end of traces"), std::string::npos) << log;
            EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
        }
        EXPECT_EQ(Run({"xscreensaver-command", "-exit"}, "daemon-exit"), 0);
        EXPECT_EQ(qmWaitExit(daemon, 10000), 0) << qmReadText(daemon.err);
        daemon.pid = -1;
    }
};

}  // namespace

TEST_F(DaemonTest, ActivatedByTheDaemonShowsThePhotographThenTheSceneAndEndsOnDeactivation) {
    ASSERT_NO_FATAL_FAILURE(StartAndActivate());
    ASSERT_TRUE(qmWaitFor([&] { return !localProcessesOf(qmSaverProgram()).empty(); }, 10000))
        << "the daemon did not start the saver\n" << qmReadText(daemon.err);
    int sw = DisplayWidth(dpy, DefaultScreen(dpy)), sh = DisplayHeight(dpy, DefaultScreen(dpy));
    // The photograph, mirrored by the test content: blue on the left, red on the right.
    bool photograph = qmWaitFor(
        [&] { return localNear(Pixel(sw / 4, sh / 4), 0x0000FF) && localNear(Pixel(sw * 3 / 4, sh / 4), 0xFF0000); }, 10000);
    qmSaveWindowPng(dpy, 0, sw, sh, qmTestPath("daemon-photograph.png"));
    EXPECT_TRUE(photograph) << std::hex << Pixel(sw / 4, sh / 4) << " " << Pixel(sw * 3 / 4, sh / 4);
    // Then the scene goes on: the second picture covers the left half in orange.
    bool scene = qmWaitFor([&] { return localOrange(Pixel(sw / 4, sh / 4)); }, 25000);
    qmSaveWindowPng(dpy, 0, sw, sh, qmTestPath("daemon-scene.png"));
    EXPECT_TRUE(scene) << std::hex << Pixel(sw / 4, sh / 4);
    DeactivateAndExit(1);
}

// Two monitors side by side, of different sizes (the test's own X server): the daemon starts a
// saver per monitor and hands each a photograph of its own monitor only.
TEST_F(DaemonTest, OnTwoMonitorsEachSaverShowsItsOwnMonitor) {
    ASSERT_NO_FATAL_FAILURE(UseTwoMonitors());
    ASSERT_NO_FATAL_FAILURE(StartAndActivate());
    ASSERT_TRUE(qmWaitFor([&] { return localProcessesOf(qmSaverProgram()).size() == 2; }, 15000))
        << "the daemon did not start a saver per monitor\n" << qmReadText(daemon.err);
    // Mirrored by the test content: each monitor's right half shows on its left. The daemon starts
    // the two savers one after the other, so each monitor's photograph is looked for on its own.
    bool left = false, right = false;
    qmWaitFor([&] {
        if (!left && localNear(Pixel(200, 150), 0xFFFF00)) left = true, server->Save(qmTestPath("daemon-left-photograph.png"));
        if (!right && localNear(Pixel(960, 120), 0xFF00FF)) right = true, server->Save(qmTestPath("daemon-right-photograph.png"));
        return left && right;
    }, 15000);
    EXPECT_TRUE(left) << std::hex << Pixel(200, 150);
    EXPECT_TRUE(right) << std::hex << Pixel(960, 120);
    bool scenes = qmWaitFor([&] { return localOrange(Pixel(200, 150)) && localOrange(Pixel(960, 120)); }, 25000);
    server->Save(qmTestPath("daemon-monitors-scenes.png"));
    EXPECT_TRUE(scenes) << std::hex << Pixel(200, 150) << " " << Pixel(960, 120);
    DeactivateAndExit(2);
}
