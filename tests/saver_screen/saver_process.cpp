// Starting the built saver and watching its windows from the tests (saver_process.h).
#include "saver_screen/saver_process.h"

#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "support/png_write_gl.h"
#include "support/test_support.h"

extern char** environ;

std::string qmSaverProgram() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "qmsave";
    buf[n] = 0;
    std::string exe = buf;
    return exe.substr(0, exe.rfind('/')) + "/../saver/qmsave";
}

void qmPause(int ms) {
    timespec ts = {ms / 1000, long(ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

QmRun qmStartProgram(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& tag) {
    QmRun r;
    r.out = qmTestPath(tag + ".out");
    r.err = qmTestPath(tag + ".err");
    std::vector<char*> argv;
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
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, r.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, r.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawnp(&r.pid, argv[0], &fa, nullptr, argv.data(), envp.data()) != 0) r.pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return r;
}

QmRun qmStartSaver(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& tag) {
    std::vector<std::string> argv{qmSaverProgram()};
    argv.insert(argv.end(), args.begin(), args.end());
    return qmStartProgram(argv, env, tag);
}

int qmWaitExit(QmRun& r, int limitMs) {
    int status = 0;
    for (int waited = 0; waited <= limitMs; waited += 10) {
        pid_t p = waitpid(r.pid, &status, WNOHANG);
        if (p == r.pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        qmPause(10);
    }
    kill(r.pid, SIGKILL);
    waitpid(r.pid, &status, 0);
    return -1;
}

bool qmCatchesTerm(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(f, line)) {
        if (line.compare(0, 7, "SigCgt:") != 0) continue;
        unsigned long long mask = strtoull(line.c_str() + 7, nullptr, 16);
        return (mask >> (SIGTERM - 1)) & 1;
    }
    return false;
}

Window qmSaverWindow(Display* dpy) {
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

bool qmHasMappedChild(Display* dpy, Window w) {
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

int qmWindowPixel(Display* dpy, Window w, int x, int y) {
    XImage* img = XGetImage(dpy, w ? w : DefaultRootWindow(dpy), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return -1;
    unsigned long p = XGetPixel(img, 0, 0);
    XDestroyImage(img);
    return int(p & 0xFFFFFF);
}

void qmSaveWindowPng(Display* dpy, Window w, int width, int height, const std::string& path) {
    XImage* shot = XGetImage(dpy, w ? w : DefaultRootWindow(dpy), 0, 0, unsigned(width), unsigned(height), AllPlanes,
                             ZPixmap);
    if (!shot) return;
    std::vector<unsigned char> rgba(size_t(width) * height * 4);
    for (int j = 0; j < height; j++)
        for (int i = 0; i < width; i++) {
            unsigned long p = XGetPixel(shot, i, j);
            unsigned char* o = &rgba[(size_t(j) * width + i) * 4];
            o[0] = (p >> 16) & 255, o[1] = (p >> 8) & 255, o[2] = p & 255, o[3] = 255;
        }
    qmWritePngRGBA(path, width, height, rgba.data(), width * 4, false);
    XDestroyImage(shot);
}

Pixmap qmHalvesPixmap(Display* dpy, int width, int height) {
    Window root = DefaultRootWindow(dpy);
    Pixmap p = XCreatePixmap(dpy, root, unsigned(width), unsigned(height), unsigned(DefaultDepth(dpy, DefaultScreen(dpy))));
    GC gc = XCreateGC(dpy, p, 0, nullptr);
    XSetForeground(dpy, gc, 0xFF0000);
    XFillRectangle(dpy, p, gc, 0, 0, unsigned(width / 2), unsigned(height));
    XSetForeground(dpy, gc, 0x0000FF);
    XFillRectangle(dpy, p, gc, width / 2, 0, unsigned(width - width / 2), unsigned(height));
    XFreeGC(dpy, gc);
    return p;
}

QmHalvesDesktop::QmHalvesDesktop(Display* dpy) : dpy_(dpy) {
    int s = DefaultScreen(dpy);
    pixmap_ = qmHalvesPixmap(dpy, DisplayWidth(dpy, s), DisplayHeight(dpy, s));
    XSetWindowBackgroundPixmap(dpy, DefaultRootWindow(dpy), pixmap_);
    XClearWindow(dpy, DefaultRootWindow(dpy));
    XSync(dpy, False);
}

QmHalvesDesktop::~QmHalvesDesktop() {
    XSetWindowBackground(dpy_, DefaultRootWindow(dpy_), BlackPixel(dpy_, DefaultScreen(dpy_)));
    XClearWindow(dpy_, DefaultRootWindow(dpy_));
    XFreePixmap(dpy_, pixmap_);
    XSync(dpy_, False);
}
