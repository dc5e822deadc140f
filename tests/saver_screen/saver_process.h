// The built saver program started as launchers start it, on the test display: spawning it with
// an environment of the test's choosing, waiting for its end, and looking at its windows.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include <X11/Xlib.h>

struct QmRun {
    pid_t pid = -1;
    std::string out, err;  // files holding its standard output and error
};

// The program beside this test's folder: build/saver/qmsave.
std::string qmSaverProgram();
void qmPause(int ms);
// Starts argv[0] (searched on PATH) with the rest as its arguments; the environment gets the
// given NAME=value overrides. Its output goes to files named after tag.
QmRun qmStartProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& tag);
// Starts qmsave with args, as qmStartProgram.
QmRun qmStartSaver(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& tag);
// The exit status, or -1 when the program ran past the limit (it is then killed) or -2 when it
// died of a signal.
int qmWaitExit(QmRun& r, int limitMs = 30000);
// True once the process's handler for SIGTERM is in place.
bool qmCatchesTerm(pid_t pid);
// A viewable window named QuietMeadows (the full-screen saver) among the root's children.
Window qmSaverWindow(Display* dpy);
// A mapped child of w (the saver drawing into someone else's window).
bool qmHasMappedChild(Display* dpy, Window w);
// Pixel (x, y) of window w (the root when 0) as r << 16 | g << 8 | b, -1 when it cannot be read.
int qmWindowPixel(Display* dpy, Window w, int x, int y);
// Saves w x h pixels of window w at (0, 0) as a PNG.
void qmSaveWindowPng(Display* dpy, Window w, int width, int height, const std::string& path);

// A pixmap of w x h pixels, red on its left half and blue on its right.
Pixmap qmHalvesPixmap(Display* dpy, int width, int height);
// A known desktop while it lives: the root window shows the halves, black again afterwards.
class QmHalvesDesktop {
public:
    explicit QmHalvesDesktop(Display* dpy);
    ~QmHalvesDesktop();
    QmHalvesDesktop(const QmHalvesDesktop&) = delete;
    QmHalvesDesktop& operator=(const QmHalvesDesktop&) = delete;

private:
    Display* dpy_;
    Pixmap pixmap_;
};

// Polls ready every 10 ms until it holds or limitMs passed.
template <typename Fn>
bool qmWaitFor(Fn ready, int limitMs = 30000) {
    for (int waited = 0; waited <= limitMs; waited += 10) {
        if (ready()) return true;
        qmPause(10);
    }
    return false;
}
