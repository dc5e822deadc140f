// Rows of the fault table that concern the saver's display: no X display at all, a foreign window
// id that names no window, and the X server going away while the saver draws. Each runs the
// built program and checks its exit status and what it says; none may hang.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/test_support.h"

extern char** environ;

namespace {

void localSleepMs(int ms) {
    timespec ts = {ms / 1000, long(ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

// A child process: args[0] is the program (searched on PATH); env entries NAME=value are set,
// NAME alone is removed; standard output and error go to errFile.
pid_t localSpawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
                 const std::string& errFile) {
    // Everything is prepared before the fork: the child only opens, duplicates and executes.
    std::vector<std::string> vars;
    for (char** e = environ; *e; e++) {
        std::string kv = *e;
        bool replaced = false;
        for (const std::string& o : env) replaced = replaced || kv.compare(0, kv.find('='), o, 0, o.find('=')) == 0;
        if (!replaced) vars.push_back(kv);
    }
    for (const std::string& o : env)
        if (o.find('=') != std::string::npos) vars.push_back(o);
    std::vector<char*> envp, argv;
    for (std::string& v : vars) envp.push_back(&v[0]);
    envp.push_back(nullptr);
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid != 0) return pid;
    int fd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
    }
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
}

// The exit status; -1 after limitMs (the child is then killed), -2 when a signal ended it.
int localWait(pid_t pid, int limitMs) {
    int status = 0;
    for (int waited = 0; waited <= limitMs; waited += 10) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        localSleepMs(10);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// The saver beside this test's folder: build/saver/qmsave.
std::string localSaver() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "qmsave";
    buf[n] = 0;
    std::string exe = buf;
    return exe.substr(0, exe.rfind('/')) + "/../saver/qmsave";
}

// The saver's environment for a run: an empty data folder and its own state folder.
std::vector<std::string> localSaverEnv(const std::vector<std::string>& more) {
    std::vector<std::string> env = {"QMSAVE_PATH=" + qmFreshDir("data"), "XDG_STATE_HOME=" + qmFreshDir("state"),
                                    "XSCREENSAVER_WINDOW"};
    env.insert(env.end(), more.begin(), more.end());
    return env;
}

// A private X server on a free display number, for a test that takes it away.
struct PrivateServer {
    pid_t pid = -1;
    int number = -1;

    bool Start() {
        for (int n = 231; n < 260; n++) {
            std::string sock = "/tmp/.X11-unix/X" + std::to_string(n), lock = "/tmp/.X" + std::to_string(n) + "-lock";
            struct stat st;
            if (stat(sock.c_str(), &st) == 0 || stat(lock.c_str(), &st) == 0) continue;
            pid = localSpawn({"Xvfb", ":" + std::to_string(n), "-screen", "0", "320x240x24", "-nolisten", "tcp"}, {},
                             qmTestPath("xvfb.log"));
            for (int i = 0; i < 300; i++) {
                int status = 0;
                if (waitpid(pid, &status, WNOHANG) == pid) break;  // lost the race for n
                if (stat(sock.c_str(), &st) == 0 && qmReadText(lock).find(std::to_string(pid)) != std::string::npos) {
                    number = n;
                    return true;
                }
                localSleepMs(20);
            }
            Stop();
        }
        return false;
    }
    void Stop() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            localWait(pid, 10000);
        }
        pid = -1;
    }
    ~PrivateServer() { Stop(); }
};

// True once a viewable window named QuietMeadows is a child of the root of dpy.
bool localSaverShows(Display* dpy) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    bool found = false;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n)) return false;
    for (unsigned i = 0; i < n && !found; i++) {
        char* name = nullptr;
        XWindowAttributes a;
        if (XFetchName(dpy, children[i], &name) && name) {
            found = strcmp(name, "QuietMeadows") == 0 && XGetWindowAttributes(dpy, children[i], &a) &&
                    a.map_state == IsViewable;
            XFree(name);
        }
    }
    if (children) XFree(children);
    return found;
}

}  // namespace

TEST(FaultProcess, WithoutADisplayTheSaverExitsOneSayingWhy) {
    std::string err = qmTestPath("saver.err");
    for (const char* display : {"DISPLAY", "DISPLAY=:4095"}) {
        SCOPED_TRACE(display);
        pid_t pid = localSpawn({localSaver(), "-root"}, localSaverEnv({display}), err);
        EXPECT_EQ(localWait(pid, 30000), 1);
        EXPECT_NE(qmReadText(err).find("cannot open the X display"), std::string::npos) << qmReadText(err);
    }
}

TEST(FaultProcess, AForeignWindowThatDoesNotExistEndsWithStatusOne) {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "no display";
    std::string err = qmTestPath("saver.err");
    // The highest id the server could hand out to a client that never connected.
    pid_t pid = localSpawn({localSaver(), "-window-id", "0x1fffffff"}, localSaverEnv({}), err);
    EXPECT_EQ(localWait(pid, 30000), 1);
    EXPECT_NE(qmReadText(err).find("there is no window 0x1fffffff"), std::string::npos) << qmReadText(err);
}

TEST(FaultProcess, TheServerGoingAwayWhileTheSaverDrawsEndsItWithStatusOne) {
    PrivateServer server;
    if (!server.Start()) GTEST_SKIP() << "no private X server (Xvfb) could be started";
    std::string display = ":" + std::to_string(server.number);
    std::string err = qmTestPath("saver.err");
    pid_t pid = localSpawn({localSaver(), "-root"}, localSaverEnv({"DISPLAY=" + display}), err);
    Display* dpy = XOpenDisplay(display.c_str());
    ASSERT_NE(dpy, nullptr);
    bool shown = false;
    for (int i = 0; i < 3000 && !shown; i++) {
        shown = localSaverShows(dpy);
        if (!shown) localSleepMs(10);
    }
    XCloseDisplay(dpy);
    ASSERT_TRUE(shown) << qmReadText(err);
    server.Stop();
    EXPECT_EQ(localWait(pid, 30000), 1) << "exit 1, no hang";
    EXPECT_NE(qmReadText(err).find("connection to the X display was lost"), std::string::npos) << qmReadText(err);
}
