// An X server of the test's own with several monitors on one screen: Xvfb on a free display
// number (it picks one itself), the monitors set with `xrandr --setmonitor` (the first replaces
// the screen's own monitor, the others have no output), and a desktop painted in two colours per
// monitor (left and right half: a photograph shown mirrored is told apart from the desktop itself),
// with the area no monitor shows in a colour of its own.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include <X11/Xlib.h>

struct QmTestMonitor {
    int x, y, width, height;
    unsigned long left, right;  // 0xRRGGBB of the desktop under its left and right halves
};

class QmMonitorServer {
public:
    QmMonitorServer() = default;
    ~QmMonitorServer() { Stop(); }
    QmMonitorServer(const QmMonitorServer&) = delete;
    QmMonitorServer& operator=(const QmMonitorServer&) = delete;

    // Starts a screen of width x height with the monitors; false, with *why, when it cannot.
    bool Start(int width, int height, const std::vector<QmTestMonitor>& monitors, unsigned long uncovered,
               std::string* why);
    void Stop();
    // Runs xrandr against the server (e.g. {"--delmonitor", "RIGHT"}); its exit status.
    int Xrandr(const std::vector<std::string>& args);

    const std::string& Name() const { return name_; }  // ":N", for DISPLAY
    Display* Connection() const { return dpy_; }       // the test's own connection
    // The screen's pixel as r << 16 | g << 8 | b; -1 when it cannot be read.
    int Pixel(int x, int y);
    // The whole screen as a PNG under the test output folder.
    void Save(const std::string& path);

private:
    pid_t pid_ = -1;
    std::string name_;
    Display* dpy_ = nullptr;
    Pixmap desktop_ = 0;
    int width_ = 0, height_ = 0;
};
