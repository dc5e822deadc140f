// The test's own X server with several monitors, on a display number that no other server holds
// (its lock file must name our server); -noreset keeps the monitors once xrandr has gone (a
// server that resets when its last client leaves forgets them).
#include "support/monitor_server_x11.h"

#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "support/png_write_gl.h"

namespace {

// Runs argv with DISPLAY set to display and waits for it; its exit status (-1 when it could not run).
int localRun(const std::vector<std::string>& argv, const std::string& display) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, 1);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The process id in an X server's lock file, 0 when there is none.
pid_t localLockHolder(const std::string& lock) {
    int fd = open(lock.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    char text[32] = {};
    ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    return n > 0 ? pid_t(atol(text)) : 0;
}

std::string localGeometry(const QmTestMonitor& m) {
    // Physical sizes at about 96 dots per inch; xrandr needs them.
    return std::to_string(m.width) + "/" + std::to_string(m.width * 254 / 960) + "x" + std::to_string(m.height) +
           "/" + std::to_string(m.height * 254 / 960) + "+" + std::to_string(m.x) + "+" + std::to_string(m.y);
}

}  // namespace

bool QmMonitorServer::Start(int width, int height, const std::vector<QmTestMonitor>& monitors,
                            unsigned long uncovered, std::string* why) {
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    // A display number nobody holds: no socket and no lock file. The server is ours once its lock
    // file names it (another run may have taken the number meanwhile: then the next one).
    for (int n = 40; n < 140 && !dpy_; n++) {
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(n), lock = "/tmp/.X" + std::to_string(n) + "-lock";
        if (access(socket.c_str(), F_OK) == 0 || access(lock.c_str(), F_OK) == 0) continue;
        name_ = ":" + std::to_string(n);
        pid_ = fork();
        if (pid_ == 0) {
            int null = open("/dev/null", O_WRONLY);
            if (null >= 0) dup2(null, 1), dup2(null, 2);
            execlp("Xvfb", "Xvfb", name_.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-noreset",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 2000 && pid_ > 0 && !dpy_; i++) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;  // it could not take the number
                break;
            }
            if (localLockHolder(lock) == pid_) dpy_ = XOpenDisplay(name_.c_str());
            if (!dpy_) usleep(10000);
        }
        if (!dpy_) Stop();
    }
    if (!dpy_) return *why = "Xvfb did not start", false;
    for (size_t i = 0; i < monitors.size(); i++) {
        std::string label = i == 0 ? "LEFT" : i == 1 ? "RIGHT" : "M" + std::to_string(i);
        if (Xrandr({"--setmonitor", label, localGeometry(monitors[i]), i == 0 ? "screen" : "none"}) != 0)
            return *why = "xrandr --setmonitor failed (is x11-xserver-utils installed?)", Stop(), false;
    }
    width_ = width, height_ = height;
    Window root = DefaultRootWindow(dpy_);
    desktop_ = XCreatePixmap(dpy_, root, unsigned(width), unsigned(height), unsigned(DefaultDepth(dpy_, 0)));
    GC gc = XCreateGC(dpy_, desktop_, 0, nullptr);
    XSetForeground(dpy_, gc, uncovered);
    XFillRectangle(dpy_, desktop_, gc, 0, 0, unsigned(width), unsigned(height));
    for (const QmTestMonitor& m : monitors) {
        XSetForeground(dpy_, gc, m.left);
        XFillRectangle(dpy_, desktop_, gc, m.x, m.y, unsigned(m.width / 2), unsigned(m.height));
        XSetForeground(dpy_, gc, m.right);
        XFillRectangle(dpy_, desktop_, gc, m.x + m.width / 2, m.y, unsigned(m.width - m.width / 2), unsigned(m.height));
    }
    XFreeGC(dpy_, gc);
    XSetWindowBackgroundPixmap(dpy_, root, desktop_);
    XClearWindow(dpy_, root);
    XSync(dpy_, False);
    return true;
}

void QmMonitorServer::Stop() {
    if (dpy_) {
        if (desktop_) XFreePixmap(dpy_, desktop_);
        XCloseDisplay(dpy_);
    }
    dpy_ = nullptr;
    desktop_ = 0;
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
}

int QmMonitorServer::Xrandr(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"xrandr"};
    argv.insert(argv.end(), args.begin(), args.end());
    return localRun(argv, name_);
}

int QmMonitorServer::Pixel(int x, int y) {
    if (!dpy_) return -1;
    XImage* im = XGetImage(dpy_, DefaultRootWindow(dpy_), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!im) return -1;
    unsigned long p = XGetPixel(im, 0, 0);
    XDestroyImage(im);
    return int(p & 0xFFFFFF);
}

void QmMonitorServer::Save(const std::string& path) {
    if (!dpy_) return;
    XImage* im = XGetImage(dpy_, DefaultRootWindow(dpy_), 0, 0, unsigned(width_), unsigned(height_), AllPlanes, ZPixmap);
    if (!im) return;
    std::vector<unsigned char> rgba(size_t(width_) * size_t(height_) * 4);
    for (int y = 0; y < height_; y++)
        for (int x = 0; x < width_; x++) {
            unsigned long p = XGetPixel(im, x, y);
            unsigned char* d = &rgba[(size_t(y) * size_t(width_) + size_t(x)) * 4];
            d[0] = (p >> 16) & 255, d[1] = (p >> 8) & 255, d[2] = p & 255, d[3] = 255;
        }
    XDestroyImage(im);
    qmWritePngRGBA(path, width_, height_, rgba.data(), width_ * 4, false);
}
