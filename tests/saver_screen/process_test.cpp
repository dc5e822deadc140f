// The built program as launchers and people start it, on the test display: how each run ends
// (keys, signals, a window destroyed under it), the switches that end at once, registration.
#include "saver_screen/saver_fixture.h"  // Google Test before Xlib: Xlib's None is a macro

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "image/canvas.h"
#include "support/png_write_gl.h"
#include "image/devil.h"
#include "support/scene_package.h"
#include "support/test_support.h"

extern char** environ;

namespace {

// The program beside this test's folder: build/saver/qmsave.
std::string localProgram() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "qmsave";
    buf[n] = 0;
    std::string exe = buf;
    return exe.substr(0, exe.rfind('/')) + "/../saver/qmsave";
}

void localPause(int ms) {
    timespec ts = {ms / 1000, long(ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

struct QmRun {
    pid_t pid = -1;
    std::string out, err;  // files
};

// Starts qmsave with args; the environment gets the given NAME=value overrides.
QmRun localStart(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& tag) {
    QmRun r;
    r.out = qmTestPath(tag + ".out");
    r.err = qmTestPath(tag + ".err");
    std::string prog = localProgram();
    std::vector<char*> argv{const_cast<char*>(prog.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envs;
    for (char** e = environ; *e; e++) {
        std::string kv = *e;
        bool replaced = false;
        for (const std::string& o : env)
            if (kv.compare(0, o.find('=') + 1, o, 0, o.find('=') + 1) == 0) replaced = true;
        if (!replaced) envs.push_back(kv);
    }
    for (const std::string& o : env) envs.push_back(o);
    std::vector<char*> envp;
    for (std::string& e : envs) envp.push_back(&e[0]);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, r.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, r.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&r.pid, prog.c_str(), &fa, nullptr, argv.data(), envp.data()) != 0) r.pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return r;
}

// The exit status, or -1 when the program ran past the limit (it is then killed) or died of a
// signal (-2).
int localWait(QmRun& r, int limitMs = 30000) {
    int status = 0;
    for (int waited = 0; waited <= limitMs; waited += 10) {
        pid_t p = waitpid(r.pid, &status, WNOHANG);
        if (p == r.pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        localPause(10);
    }
    kill(r.pid, SIGKILL);
    waitpid(r.pid, &status, 0);
    return -1;
}

// True once the program's handler for SIGTERM is in place.
bool localCatchesTerm(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(f, line)) {
        if (line.compare(0, 7, "SigCgt:") != 0) continue;
        unsigned long long mask = strtoull(line.c_str() + 7, nullptr, 16);
        return (mask >> (SIGTERM - 1)) & 1;
    }
    return false;
}

// A viewable window named QuietMeadows (the full-screen saver) among the root's children.
Window localSaverWindow(Display* dpy) {
    Window root = 0, parent = 0, *children = nullptr, found = 0;
    unsigned n = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n)) return 0;
    for (unsigned i = 0; i < n && !found; i++) {
        char* name = nullptr;
        XWindowAttributes a;
        if (XFetchName(dpy, children[i], &name) && name) {
            if (strcmp(name, "QuietMeadows") == 0 && XGetWindowAttributes(dpy, children[i], &a) &&
                a.map_state == IsViewable)
                found = children[i];
            XFree(name);
        }
    }
    if (children) XFree(children);
    return found;
}

// A mapped child of w (the saver drawing into someone else's window).
bool localHasMappedChild(Display* dpy, Window w) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    bool mapped = false;
    if (!XQueryTree(dpy, w, &root, &parent, &children, &n)) return false;
    for (unsigned i = 0; i < n; i++) {
        XWindowAttributes a;
        if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state != IsUnmapped) mapped = true;
    }
    if (children) XFree(children);
    return mapped;
}

template <typename Fn>
bool localWaitFor(Fn ready, int limitMs = 30000) {
    for (int waited = 0; waited <= limitMs; waited += 10) {
        if (ready()) return true;
        localPause(10);
    }
    return false;
}

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

    // A picture of w x h pixels of the screen at (x, y), as r << 16 | g << 8 | b per pixel.
    int ScreenPixel(int x, int y) {
        XImage* img = XGetImage(dpy, DefaultRootWindow(dpy), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!img) return -1;
        unsigned long p = XGetPixel(img, 0, 0);
        XDestroyImage(img);
        return int(p & 0xFFFFFF);
    }
    void TearDown() override {
        if (dpy) XCloseDisplay(dpy);
    }
};

}  // namespace

TEST_F(ProcessTest, FullScreenShowsThePhotographAndEndsOnAKey) {
    // A known desktop: red on the left half of the screen, blue on the right.
    Window root = DefaultRootWindow(dpy);
    int sw = DisplayWidth(dpy, DefaultScreen(dpy)), sh = DisplayHeight(dpy, DefaultScreen(dpy));
    Pixmap desk = XCreatePixmap(dpy, root, unsigned(sw), unsigned(sh), unsigned(DefaultDepth(dpy, DefaultScreen(dpy))));
    GC gc = XCreateGC(dpy, desk, 0, nullptr);
    XSetForeground(dpy, gc, 0xFF0000);
    XFillRectangle(dpy, desk, gc, 0, 0, unsigned(sw / 2), unsigned(sh));
    XSetForeground(dpy, gc, 0x0000FF);
    XFillRectangle(dpy, desk, gc, sw / 2, 0, unsigned(sw - sw / 2), unsigned(sh));
    XFreeGC(dpy, gc);
    XSetWindowBackgroundPixmap(dpy, root, desk);
    XClearWindow(dpy, root);
    XSync(dpy, False);
    struct Restore {
        Display* d;
        Pixmap p;
        ~Restore() {
            XSetWindowBackground(d, DefaultRootWindow(d), BlackPixel(d, DefaultScreen(d)));
            XClearWindow(d, DefaultRootWindow(d));
            XFreePixmap(d, p);
            XSync(d, False);
        }
    } restore{dpy, desk};

    QmRun r = localStart({"-s"}, env, "photograph");
    ASSERT_GT(r.pid, 0);
    ASSERT_TRUE(localWaitFor([&] { return localSaverWindow(dpy) != 0; })) << qmReadText(r.err);
    // Shown mirrored by the test content: blue on the left, red on the right, and in the small
    // bottom-left quad the right way round (red).
    int x0 = sw / 4, x1 = sw * 3 / 4, y = sh / 4;
    bool mirrored = localWaitFor([&] {
        return ScreenPixel(x0, y) == 0x0000FF && ScreenPixel(x1, y) == 0xFF0000 && ScreenPixel(20, sh - 20) == 0xFF0000;
    });
    XImage* shot = XGetImage(dpy, root, 0, 0, unsigned(sw), unsigned(sh), AllPlanes, ZPixmap);
    if (shot) {
        std::vector<unsigned char> rgba(size_t(sw) * sh * 4);
        for (int j = 0; j < sh; j++)
            for (int i = 0; i < sw; i++) {
                unsigned long p = XGetPixel(shot, i, j);
                unsigned char* o = &rgba[(size_t(j) * sw + i) * 4];
                o[0] = (p >> 16) & 255, o[1] = (p >> 8) & 255, o[2] = p & 255, o[3] = 255;
            }
        qmWritePngRGBA(qmTestPath("screen.png"), sw, sh, rgba.data(), sw * 4, false);
        XDestroyImage(shot);
    }
    EXPECT_TRUE(mirrored) << "left " << std::hex << ScreenPixel(x0, y) << " right " << ScreenPixel(x1, y);
    XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, XK_space), True, CurrentTime);
    XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, XK_space), False, CurrentTime);
    XSync(dpy, False);
    EXPECT_EQ(localWait(r), 0) << qmReadText(r.err);
    EXPECT_EQ(localSaverWindow(dpy), 0u);
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
        QmRun r = localStart({"-root"}, env, "signal");
        ASSERT_GT(r.pid, 0);
        ASSERT_TRUE(localWaitFor([&] { return localCatchesTerm(r.pid); }));
        if (c.waitForWindow) {
            ASSERT_TRUE(localWaitFor([&] { return localSaverWindow(dpy) != 0; }));
        }
        kill(r.pid, c.signal);
        EXPECT_EQ(localWait(r), 0) << qmReadText(r.err);
        EXPECT_EQ(localSaverWindow(dpy), 0u);
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
        QmRun r = round == 2 ? localStart({"-root"}, e, "root") : localStart({"-window-id", id}, e, "window-id");
        ASSERT_GT(r.pid, 0);
        ASSERT_TRUE(localWaitFor([&] { return localHasMappedChild(dpy, w); })) << qmReadText(r.err);
        localPause(200 + round * 150);  // frames are being drawn into it
        XDestroyWindow(dpy, w);
        XSync(dpy, False);
        EXPECT_EQ(localWait(r), 0) << qmReadText(r.err);
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
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += a + " ";
        SCOPED_TRACE("qmsave " + line);
        QmRun r = localStart(c.args, env, "switch");
        ASSERT_GT(r.pid, 0);
        EXPECT_EQ(localWait(r), c.status) << qmReadText(r.err);
        EXPECT_NE(qmReadText(r.out).find(c.says), std::string::npos) << qmReadText(r.out);
    }
}

TEST_F(ProcessTest, RegisterEditsTheSettingsFileAndShowsNoWindow) {
    const std::string old = "mode: random\nprograms: \\\n  maze -root \\n\n";
    qmWriteText(home + "/.xscreensaver", old);
    QmRun r = localStart({"register_scrsaver"}, env, "register");
    ASSERT_GT(r.pid, 0);
    EXPECT_EQ(localWait(r), 0) << qmReadText(r.err);
    EXPECT_NE(qmReadText(r.out).find("added"), std::string::npos) << qmReadText(r.out);
    EXPECT_EQ(qmReadText(home + "/.xscreensaver.bak"), old);
    EXPECT_NE(qmReadText(home + "/.xscreensaver").find("qmsave -root"), std::string::npos);
    EXPECT_EQ(access((data + "/qmsave.log").c_str(), F_OK), -1) << "no scene was built";
}

namespace {

// Frame i of a recording, or an empty canvas.
bool localReadFrame(const std::string& dir, int i, FXCanvas* c) {
    char name[32];
    snprintf(name, sizeof name, "/frame-%05d.png", i);
    c->autoDetectTrans = false;
    return c->CreateFromPict((dir + name).c_str());
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
    FXCanvas desk;
    desk.pixmap.Realloc(64, 32);
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 64; x++) {
            unsigned char* p = desk.pixmap.PixelBytes(x, y);
            p[0] = x < 32 ? 255 : 0, p[1] = 0, p[2] = x < 32 ? 0 : 255, p[3] = 255;
        }
    ASSERT_TRUE(desk.SaveToPict((data + "/desk.png").c_str()));
    QmRun r = localStart({"--record", out, "--seconds", "1.5", "--fps", "4", "--size", "160x120", "-fps", "--desktop",
                          data + "/desk.png"},
                         env, "record");
    ASSERT_GT(r.pid, 0);
    ASSERT_EQ(localWait(r), 0) << qmReadText(r.err);
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
            localStart({"--record", out, "--seconds", "0.6", "--fps", "10", "--size", "160x120"}, k.env, "notice");
        ASSERT_GT(r.pid, 0);
        ASSERT_EQ(localWait(r), 0) << qmReadText(r.err);
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
