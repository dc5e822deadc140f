// The built program as launchers and people start it, on the test display: how each run ends
// (keys, signals, a window destroyed under it), the switches that end at once, registration.
#include "saver_screen/saver_fixture.h"  // Google Test before Xlib: Xlib's None is a macro
#include "saver_screen/saver_process.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <vector>

#include "image/canvas.h"
#include "support/png_write_gl.h"
#include "image/devil.h"
#include "support/immutable_posix.h"
#include "support/scene_package.h"
#include "support/test_support.h"

namespace {

class ProcessTest : public ::testing::Test {
protected:
    Display* dpy = nullptr;
    std::string home, data, state;
    std::vector<std::string> env;

    void SetUp() override {
        QM_REQUIRE_DISPLAY();
        dpy = XOpenDisplay(nullptr);
        ASSERT_NE(dpy, nullptr);
        home = qmFreshDir("home");
        data = qmFreshDir("data");
        state = qmFreshDir("state");
        env = {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config", "XDG_STATE_HOME=" + state,
               "QMSAVE_PATH=" + data};
        // Content with a long opening, so the photograph stays in view for seconds.
        QmScenePackage content;
        content.openingMs = 5000;
        ASSERT_TRUE(fxLoadDevil());
        std::string why;
        EXPECT_TRUE(qmWriteScenePackage(data + "/qmsave.dat", content, &why)) << why;
        fxUnloadDevil();
    }

    int ScreenPixel(int x, int y) { return qmWindowPixel(dpy, 0, x, y); }
    void TearDown() override {
        if (dpy) XCloseDisplay(dpy);
    }
};

}  // namespace

TEST_F(ProcessTest, FullScreenShowsThePhotographAndEndsOnAKey) {
    // A known desktop: red on the left half of the screen, blue on the right.
    QmHalvesDesktop desktop(dpy);
    Window root = DefaultRootWindow(dpy);
    int sw = DisplayWidth(dpy, DefaultScreen(dpy)), sh = DisplayHeight(dpy, DefaultScreen(dpy));

    QmRun r = qmStartSaver({"-s"}, env, "photograph");
    ASSERT_GT(r.pid, 0);
    ASSERT_TRUE(qmWaitFor([&] { return qmSaverWindow(dpy) != 0; })) << qmReadText(r.err);
    // Shown mirrored by the test content: blue on the left, red on the right, and in the small
    // bottom-left quad the right way round (red).
    int x0 = sw / 4, x1 = sw * 3 / 4, y = sh / 4;
    bool mirrored = qmWaitFor([&] {
        return ScreenPixel(x0, y) == 0x0000FF && ScreenPixel(x1, y) == 0xFF0000 && ScreenPixel(20, sh - 20) == 0xFF0000;
    });
    qmSaveWindowPng(dpy, root, sw, sh, qmTestPath("screen.png"));
    EXPECT_TRUE(mirrored) << "left " << std::hex << ScreenPixel(x0, y) << " right " << ScreenPixel(x1, y);
    XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, XK_space), True, CurrentTime);
    XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, XK_space), False, CurrentTime);
    XSync(dpy, False);
    EXPECT_EQ(qmWaitExit(r), 0) << qmReadText(r.err);
    EXPECT_EQ(qmSaverWindow(dpy), 0u);
    std::string log = qmReadText(data + "/qmsave.log");
    EXPECT_NE(log.find("OpenGL info"), std::string::npos) << "the log is in the data folder";
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
}

TEST_F(ProcessTest, SignalsDuringStartUpAndWhileRunningEndWithStatusZero) {
    struct Case {
        int signal;
        bool waitForWindow;
    } cases[] = {{SIGTERM, false}, {SIGTERM, true}, {SIGINT, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.waitForWindow ? " while running" : " during start-up"));
        QmRun r = qmStartSaver({"-root"}, env, "signal");
        ASSERT_GT(r.pid, 0);
        ASSERT_TRUE(qmWaitFor([&] { return qmCatchesTerm(r.pid); }));
        if (c.waitForWindow) {
            ASSERT_TRUE(qmWaitFor([&] { return qmSaverWindow(dpy) != 0; }));
        }
        kill(r.pid, c.signal);
        EXPECT_EQ(qmWaitExit(r), 0) << qmReadText(r.err);
        EXPECT_EQ(qmSaverWindow(dpy), 0u);
    }
}

TEST_F(ProcessTest, LauncherWindowDestroyedWhileDrawingEndsCleanly) {
    // -window-id in hex and in decimal, and -root with the window in XSCREENSAVER_WINDOW.
    for (int round = 0; round < 3; round++) {
        SCOPED_TRACE(round);
        Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 20, 20, 400, 300, 0, 0, 0);
        XMapWindow(dpy, w);
        XSync(dpy, False);
        char id[32];
        snprintf(id, sizeof id, round == 0 ? "0x%lx" : "%lu", w);
        std::vector<std::string> e = env;
        if (round == 2) e.push_back(std::string("XSCREENSAVER_WINDOW=") + id);
        QmRun r = round == 2 ? qmStartSaver({"-root"}, e, "root") : qmStartSaver({"-window-id", id}, e, "window-id");
        ASSERT_GT(r.pid, 0);
        ASSERT_TRUE(qmWaitFor([&] { return qmHasMappedChild(dpy, w); })) << qmReadText(r.err);
        qmPause(200 + round * 150);  // frames are being drawn into it
        XDestroyWindow(dpy, w);
        XSync(dpy, False);
        EXPECT_EQ(qmWaitExit(r), 0) << qmReadText(r.err);
    }
}

TEST_F(ProcessTest, SwitchesThatEndAtOnce) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;  // in standard output
    } cases[] = {
        {{"/c"}, 0, "Configuration file:"},
        {{}, 0, "qmsave --help"},
        {{"-p"}, 0, ""},
        {{"/p", "0"}, 0, ""},
        {{"/p", "abc"}, 0, ""},
        {{"/p", "4194303"}, 0, ""},  // no such window
        {{"-a"}, 0, ""},
        {{"--help"}, 0, "Usage: qmsave"},
        {{"-window-id", "zz"}, 2, ""},
        {{"--version"}, 0, "qmsave "},
        {{"--bogus"}, 2, ""},  // never to the letter scan, whose "s" would start the saver
        {{"--root", "--fps=7"}, 2, ""},  // a rate is for recordings
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += a + " ";
        SCOPED_TRACE("qmsave " + line);
        QmRun r = qmStartSaver(c.args, env, "switch");
        ASSERT_GT(r.pid, 0);
        EXPECT_EQ(qmWaitExit(r), c.status) << qmReadText(r.err);
        EXPECT_NE(qmReadText(r.out).find(c.says), std::string::npos) << qmReadText(r.out);
        if (c.status == 2) {
            EXPECT_NE(qmReadText(r.err).find(c.args.back().substr(0, c.args.back().find('='))), std::string::npos)
                << "the word is named: " << qmReadText(r.err);
            EXPECT_NE(qmReadText(r.err).find("--help"), std::string::npos) << qmReadText(r.err);
        }
    }
}

TEST_F(ProcessTest, RegisterEditsTheSettingsFileWithoutADisplay) {
    // Over ssh or in a text console: no display, and the form the launcher itself runs.
    const std::string old = "mode: random\nprograms: \\\n  maze -root \\n\n";
    qmWriteText(home + "/.xscreensaver", old);
    std::vector<std::string> noDisplay = env;
    noDisplay.push_back("DISPLAY=");
    QmRun r = qmStartSaver({"register_scrsaver"}, noDisplay, "register");
    ASSERT_GT(r.pid, 0);
    EXPECT_EQ(qmWaitExit(r), 0) << qmReadText(r.err);
    EXPECT_NE(qmReadText(r.out).find("added"), std::string::npos) << qmReadText(r.out);
    EXPECT_EQ(qmReadText(home + "/.xscreensaver.bak"), old);
    EXPECT_NE(qmReadText(home + "/.xscreensaver").find("qmsave --root"), std::string::npos);
    EXPECT_EQ(access((data + "/qmsave.log").c_str(), F_OK), -1) << "no scene was built";
    // Together with a mode it is a usage error, not a silent choice.
    r = qmStartSaver({"-root", "register_scrsaver"}, noDisplay, "register-twice");
    EXPECT_EQ(qmWaitExit(r), 2) << qmReadText(r.err);
}

TEST_F(ProcessTest, PreviewFormDrawsIntoAnotherProgramsWindowWithItsRate) {
    // The settings dialog's preview: qmsave --window-id 0xHEX --fps into a pane of another
    // program, here red on its left half and blue on its right. The saver photographs the pane
    // and shows the picture mirrored (the test content), with the rate at the bottom left.
    Pixmap face = qmHalvesPixmap(dpy, 320, 240);
    Window pane = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 100, 100, 320, 240, 0, 0, 0);
    XSetWindowBackgroundPixmap(dpy, pane, face);
    XMapWindow(dpy, pane);
    XSync(dpy, False);
    qmPause(100);
    char id[32];
    snprintf(id, sizeof id, "0x%lx", pane);
    QmRun r = qmStartSaver({"--window-id", id, "--fps"}, env, "preview-form");
    ASSERT_GT(r.pid, 0);
    ASSERT_TRUE(qmWaitFor([&] { return qmHasMappedChild(dpy, pane); })) << qmReadText(r.err);
    bool mirrored = qmWaitFor(
        [&] { return qmWindowPixel(dpy, pane, 80, 60) == 0x0000FF && qmWindowPixel(dpy, pane, 240, 60) == 0xFF0000; },
        15000);
    auto rateInk = [&] {
        int bright = 0;
        for (int y = 240 - 24; y < 240; y += 2)
            for (int x = 0; x < 80; x += 2) bright += (qmWindowPixel(dpy, pane, x, y) & 0xF0F0F0) == 0xF0F0F0;
        return bright > 5;
    };
    bool rate = qmWaitFor(rateInk, 15000);
    qmSaveWindowPng(dpy, pane, 320, 240, qmTestPath("preview-form.png"));
    EXPECT_TRUE(mirrored) << std::hex << qmWindowPixel(dpy, pane, 80, 60) << " " << qmWindowPixel(dpy, pane, 240, 60);
    EXPECT_TRUE(rate);
    kill(r.pid, SIGTERM);
    EXPECT_EQ(qmWaitExit(r), 0) << qmReadText(r.err);
    EXPECT_FALSE(qmHasMappedChild(dpy, pane));
    XDestroyWindow(dpy, pane);
    XFreePixmap(dpy, face);
    XSync(dpy, False);
}

TEST_F(ProcessTest, AWindowThatCannotBeMadeEndsWithStatusOne) {
    // An input-only window holds no picture: no window of ours can be made inside it.
    XSetWindowAttributes a = {};
    Window inputOnly = XCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, 200, 100, 0, 0, InputOnly,
                                     CopyFromParent, 0, &a);
    XMapWindow(dpy, inputOnly);
    XSync(dpy, False);
    char id[32];
    snprintf(id, sizeof id, "%lu", inputOnly);
    QmRun r = qmStartSaver({"-window-id", id}, env, "no-window");
    EXPECT_EQ(qmWaitExit(r), 1);
    EXPECT_NE(qmReadText(r.err).find("cannot create the saver window"), std::string::npos) << qmReadText(r.err);
    // And a window id that names nothing.
    XDestroyWindow(dpy, inputOnly);
    XSync(dpy, False);
    r = qmStartSaver({"--window-id", id}, env, "gone-window");
    EXPECT_EQ(qmWaitExit(r), 1);
    EXPECT_NE(qmReadText(r.err).find("no window"), std::string::npos) << qmReadText(r.err);
}

namespace {

// Frame i of a recording, or an empty canvas.
bool localReadFrame(const std::string& dir, int i, FXCanvas* c) {
    char name[32];
    snprintf(name, sizeof name, "/frame-%05d.png", i);
    c->autoDetectTrans = false;
    return c->CreateFromPict((dir + name).c_str());
}

// A desktop picture, 64 x 32 pixels unless told, red on its left half and blue on its right.
bool localWriteDeskPicture(const std::string& path, int w = 64, int h = 32) {
    FXCanvas desk;
    desk.pixmap.Realloc(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned char* p = desk.pixmap.PixelBytes(x, y);
            p[0] = x < w / 2 ? 255 : 0, p[1] = 0, p[2] = x < w / 2 ? 0 : 255, p[3] = 255;
        }
    return desk.SaveToPict(path.c_str());
}

int localRgb(FXCanvas& c, int x, int y) {
    const unsigned char* p = c.pixmap.PixelBytes(x, y);
    return p[0] << 16 | p[1] << 8 | p[2];
}

// Each channel of an r << 16 | g << 8 | b pixel within tol of the wanted one.
bool localNear(int rgb, int want, int tol = 24) {
    for (int shift = 0; shift <= 16; shift += 8)
        if (abs(((rgb >> shift) & 255) - ((want >> shift) & 255)) > tol) return false;
    return true;
}

}  // namespace

TEST_F(ProcessTest, RecordShowsThePictureGivenAsDesktopWithTheRateOverEverything) {
    std::string out = qmFreshDir("record");
    ASSERT_TRUE(fxLoadDevil());
    ASSERT_TRUE(localWriteDeskPicture(data + "/desk.png"));
    QmRun r = qmStartSaver({"--record", out, "--seconds", "1.5", "--fps", "4", "--size", "160x120", "-fps", "--desktop",
                          data + "/desk.png"},
                         env, "record");
    ASSERT_GT(r.pid, 0);
    ASSERT_EQ(qmWaitExit(r), 0) << qmReadText(r.err);
    EXPECT_NE(qmReadText(r.out).find("6 of 6 frames"), std::string::npos) << qmReadText(r.out);
    // The rate appears once a second has been measured, at the bottom left, over the scene.
    auto inkAtBottomLeft = [&](FXCanvas& c) {
        int bright = 0;
        for (int y = 120 - 30; y < 120; y++)
            for (int x = 0; x < 80; x++) {
                const unsigned char* p = c.pixmap.PixelBytes(x, y);
                bright += p[0] > 200 && p[1] > 200 && p[2] > 200;
            }
        return bright;
    };
    for (int i = 0; i < 6; i++) {
        SCOPED_TRACE(i);
        FXCanvas c;
        ASSERT_TRUE(localReadFrame(out, i, &c));
        ASSERT_EQ(c.GetWidth() * 1000 + c.GetHeight(), 160120);
        // The picture, mirrored by the test content (the lights dim a little as the opening goes on).
        EXPECT_TRUE(localNear(localRgb(c, 20, 30), 0x0000FF)) << std::hex << localRgb(c, 20, 30);
        EXPECT_TRUE(localNear(localRgb(c, 140, 30), 0xFF0000)) << std::hex << localRgb(c, 140, 30);
        // The first second is measured by the frame after t = 1 s (frames follow 1/60 s apart).
        if (i < 4) {
            EXPECT_EQ(inkAtBottomLeft(c), 0);
        } else if (i > 4) {
            EXPECT_GT(inkAtBottomLeft(c), 20);
        }
    }
    EXPECT_EQ(access((out + "/frame-00006.png").c_str(), F_OK), -1);
    FXCanvas sheet;
    EXPECT_TRUE(sheet.CreateFromPict((out + "/sheet.png").c_str()));
    fxUnloadDevil();
}

TEST_F(ProcessTest, WithoutMultitexturingTheErrorNoticeIsInEveryFrame) {
    std::string out = qmFreshDir("record");
    std::vector<std::string> hidden = env;
    hidden.push_back("MESA_EXTENSION_OVERRIDE=-GL_ARB_multitexture");
    struct Case {
        std::vector<std::string> env;
        bool notice;
    } cases[] = {{env, false}, {hidden, true}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.notice ? "multitexturing hidden" : "multitexturing offered");
        QmRun r =
            qmStartSaver({"--record", out, "--seconds", "0.6", "--fps", "10", "--size", "160x120"}, k.env, "notice");
        ASSERT_GT(r.pid, 0);
        ASSERT_EQ(qmWaitExit(r), 0) << qmReadText(r.err);
        ASSERT_TRUE(fxLoadDevil());
        for (int i = 0; i < 6; i++) {
            FXCanvas c;
            ASSERT_TRUE(localReadFrame(out, i, &c)) << i;
            // The notice (40 x 12, red) 10 pixels from the top-left corner.
            bool red = localRgb(c, 12, 12) == 0xFF0000 && localRgb(c, 48, 20) == 0xFF0000;
            EXPECT_EQ(red, k.notice) << "frame " << i << " " << std::hex << localRgb(c, 12, 12);
        }
        fxUnloadDevil();
    }
}

TEST_F(ProcessTest, AnUnusableDataFolderNeverMeansThePackageOfTheCurrentFolder) {
    // The saver is started in a folder that holds a package (the test content), with a data
    // folder that is missing or too long for the engine's paths: it must show no content.
    ASSERT_TRUE(fxLoadDevil());
    ASSERT_TRUE(localWriteDeskPicture(data + "/desk.png"));
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    for (const std::string& folder : {data + "/missing", "/" + std::string(300, 'a')}) {
        SCOPED_TRACE(folder.substr(0, 40));
        std::string out = qmFreshDir("record");
        std::vector<std::string> e = env;
        e.back() = "QMSAVE_PATH=" + folder;
        ASSERT_EQ(chdir(data.c_str()), 0);
        QmRun r = qmStartSaver({"--record", out, "--seconds", "0.3", "--fps", "10", "--size", "160x120", "--desktop",
                                data + "/desk.png"},
                               e, "no-folder");
        ASSERT_EQ(chdir(cwd), 0);
        ASSERT_EQ(qmWaitExit(r), 0) << qmReadText(r.err);
        EXPECT_NE(qmReadText(r.err).find("no content: the data folder"), std::string::npos) << qmReadText(r.err);
        FXCanvas c;
        ASSERT_TRUE(localReadFrame(out, 2, &c));
        EXPECT_FALSE(localNear(localRgb(c, 20, 30), 0x0000FF)) << "the package of the current folder was shown";
    }
    fxUnloadDevil();
}

TEST_F(ProcessTest, WithoutContentTheScreenSaysWhyAndWhereTheSaverLooked) {
    // A package that is a named pipe (which must not hang the load), one cut short, and none.
    ASSERT_TRUE(fxLoadDevil());
    ASSERT_TRUE(localWriteDeskPicture(state + "/desk.png"));
    std::string pkg = data + "/qmsave.dat";
    std::string whole = qmReadText(pkg);
    struct Case {
        const char* name;
        std::function<void()> make;
        const char* why;
    } cases[] = {
        {"a named pipe", [&] { unlink(pkg.c_str()), mkfifo(pkg.c_str(), 0644); }, "named pipe"},
        {"cut short", [&] { unlink(pkg.c_str()), qmWriteText(pkg, whole.substr(0, whole.size() / 3)); }, "entries lie outside"},
        {"missing", [&] { unlink(pkg.c_str()); }, "qmsave.dat is missing or damaged"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        k.make();
        std::string out = qmFreshDir(std::string("notice-") + k.name);
        QmRun r = qmStartSaver({"--record", out, "--seconds", "0.3", "--fps", "10", "--size", "640x480", "--desktop",
                                state + "/desk.png"},
                               env, std::string("notice-") + k.name);
        ASSERT_EQ(qmWaitExit(r, 15000), 0) << qmReadText(r.err);
        EXPECT_NE(qmReadText(r.err).find(k.why), std::string::npos) << qmReadText(r.err);
        FXCanvas c;
        ASSERT_TRUE(localReadFrame(out, 2, &c));
        // White text in the middle, on its dark plate (over what is left of the content, if any).
        int white = 0, dark = 0;
        for (int y = 160; y < 320; y++)
            for (int x = 40; x < 600; x++) {
                int rgb = localRgb(c, x, y);
                white += localNear(rgb, 0xFFFFFF, 40);
                dark += std::max({rgb >> 16, (rgb >> 8) & 255, rgb & 255}) < 160 ? 1 : 0;
            }
        EXPECT_GT(white, 400) << "no text in the middle of the window";
        EXPECT_GT(dark, 2000) << "no plate under the text";
    }
    fxUnloadDevil();
}

TEST_F(ProcessTest, AConfigurationFileNamingAMissingFolderIsReportedAndShowsNoContent) {
    std::string conf = home + "/.config/qmsave";
    ASSERT_EQ(system(("mkdir -p '" + conf + "'").c_str()), 0);
    qmWriteText(conf + "/qmsave.conf", "path=" + data + "/gone\n");
    std::vector<std::string> e = env;
    e.back() = "QMSAVE_PATH=";  // unset: the file decides
    QmRun r = qmStartSaver({"-c"}, e, "conf-missing");
    ASSERT_EQ(qmWaitExit(r), 0) << qmReadText(r.err);
    std::string out = qmReadText(r.out);
    EXPECT_NE(out.find(data + "/gone (from the configuration file)"), std::string::npos) << out;
    EXPECT_NE(out.find("cannot be used"), std::string::npos) << out;
    std::string rec = qmFreshDir("record");
    r = qmStartSaver({"--record", rec, "--seconds", "0.2", "--fps", "10", "--size", "160x120"}, e, "conf-missing-run");
    ASSERT_EQ(qmWaitExit(r), 0) << qmReadText(r.err);
    EXPECT_NE(qmReadText(r.err).find("no content: the data folder " + data + "/gone"), std::string::npos)
        << qmReadText(r.err);
}

TEST_F(ProcessTest, AnUnwritableDataFolderIsReadAndTheLogGoesToTheStateFolder) {
    // Immutable: unwritable for root too (an installed, read-only data folder).
    QmImmutable locked(data);
    if (!locked.set) GTEST_SKIP() << "folders cannot be made immutable here";
    ASSERT_TRUE(fxLoadDevil());
    ASSERT_TRUE(localWriteDeskPicture(state + "/desk.png"));
    std::string rec = qmFreshDir("record");
    QmRun r = qmStartSaver({"--record", rec, "--seconds", "0.3", "--fps", "10", "--size", "160x120", "--desktop",
                            state + "/desk.png"},
                           env, "unwritable");
    ASSERT_EQ(qmWaitExit(r), 0) << qmReadText(r.err);
    FXCanvas c;
    ASSERT_TRUE(localReadFrame(rec, 2, &c));
    EXPECT_TRUE(localNear(localRgb(c, 20, 30), 0x0000FF)) << "the package was read: the picture is mirrored";
    EXPECT_NE(access((data + "/qmsave.log").c_str(), F_OK), 0);
    EXPECT_NE(qmReadText(state + "/qmsave/qmsave.log").find("OpenGL info"), std::string::npos);
    fxUnloadDevil();
}

TEST_F(ProcessTest, RecordsAMonitorLayoutEachMonitorWithItsOwnPartOfTheDesktop) {
    std::string out = qmFreshDir("record-layout");
    ASSERT_TRUE(fxLoadDevil());
    // The whole layout's desktop: red on its left half, blue on its right.
    ASSERT_TRUE(localWriteDeskPicture(data + "/layout.png", 480, 240));
    QmRun r = qmStartSaver({"--record", out, "--seconds", "0.6", "--fps", "5", "--monitors",
                            "320x240+0+0,160x120+320+0", "--desktop", data + "/layout.png"},
                           env, "record-layout");
    ASSERT_GT(r.pid, 0);
    ASSERT_EQ(qmWaitExit(r), 0) << qmReadText(r.err);
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        FXCanvas left, right;
        ASSERT_TRUE(localReadFrame(out + "/monitor-1", i, &left));
        ASSERT_TRUE(localReadFrame(out + "/monitor-2", i, &right));
        EXPECT_EQ(left.GetWidth() * 1000 + left.GetHeight(), 320240);
        EXPECT_EQ(right.GetWidth() * 1000 + right.GetHeight(), 160120);
        // Mirrored by the test content: the left monitor's blue strip (x 240 to 319 of the
        // desktop) shows on its left, its red on the right; the right monitor is all blue.
        EXPECT_TRUE(localNear(localRgb(left, 20, 30), 0x0000FF)) << std::hex << localRgb(left, 20, 30);
        EXPECT_TRUE(localNear(localRgb(left, 200, 30), 0xFF0000)) << std::hex << localRgb(left, 200, 30);
        EXPECT_TRUE(localNear(localRgb(right, 20, 30), 0x0000FF)) << std::hex << localRgb(right, 20, 30);
        EXPECT_TRUE(localNear(localRgb(right, 140, 30), 0x0000FF)) << std::hex << localRgb(right, 140, 30);
    }
    EXPECT_EQ(access((out + "/monitor-3").c_str(), F_OK), -1);
    EXPECT_EQ(access((out + "/monitor-1/sheet.png").c_str(), F_OK), 0) << "each monitor's own sheet";
    // The layout's sheet: three moments, each the two monitors in their places (384 pixels across
    // for 480), the area below the right monitor dark.
    FXCanvas sheet;
    sheet.autoDetectTrans = false;
    ASSERT_TRUE(sheet.CreateFromPict((out + "/sheet.png").c_str()));
    EXPECT_EQ(sheet.GetWidth() * 1000 + sheet.GetHeight(), (3 * (384 + 8) + 8) * 1000 + (192 + 16 + 8 + 4 + 8));
    EXPECT_TRUE(localNear(localRgb(sheet, 8 + 300, 8 + 40), 0x0000FF)) << std::hex << localRgb(sheet, 8 + 300, 8 + 40);
    EXPECT_TRUE(localNear(localRgb(sheet, 8 + 300, 8 + 150), 0x1F1F1F)) << std::hex << localRgb(sheet, 8 + 300, 8 + 150);
    fxUnloadDevil();
}

TEST_F(ProcessTest, ALayoutOfOneMonitorRecordsTheSameFramesAsOneWindow) {
    std::string one = qmFreshDir("record-one"), layout = qmFreshDir("record-one-layout");
    ASSERT_TRUE(fxLoadDevil());
    ASSERT_TRUE(localWriteDeskPicture(data + "/desk.png"));
    fxUnloadDevil();
    QmRun a = qmStartSaver({"--record", one, "--seconds", "0.4", "--fps", "10", "--size", "64x32", "--desktop",
                            data + "/desk.png"},
                           env, "record-one");
    ASSERT_EQ(qmWaitExit(a), 0) << qmReadText(a.err);
    QmRun b = qmStartSaver({"--record", layout, "--seconds", "0.4", "--fps", "10", "--monitors", "64x32+0+0",
                            "--desktop", data + "/desk.png"},
                           env, "record-one-layout");
    ASSERT_EQ(qmWaitExit(b), 0) << qmReadText(b.err);
    for (int i = 0; i < 4; i++) {
        char name[32];
        snprintf(name, sizeof name, "/frame-%05d.png", i);
        std::string x = qmReadText(one + name), y = qmReadText(layout + "/monitor-1" + name);
        EXPECT_FALSE(x.empty()) << name;
        EXPECT_TRUE(x == y) << name << " differs";
    }
}
