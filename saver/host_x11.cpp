// The saver's windows on X11: override-redirect windows over each monitor with the keyboard and
// pointer grabbed and an invisible cursor, a child of a preview pane's or a launcher's window, a
// normal desktop window, or the recording window; all made with the device's GLX visual and left
// unmapped until their scenes are built. X events become the host's messages; end requests
// (signals, other threads) wake the loop through their pipe.
//
// Monitors come from RandR 1.5 (which also lists monitors made with `xrandr --setmonitor`), else
// from Xinerama, else the whole screen is one. A monitor that lies wholly inside another (a
// mirrored display) gets no window of its own. When the monitors change while full-screen windows
// cover them, the run ends cleanly: no window is left over a monitor that is gone.
//
// Events may be read into Xlib's queue by the render thread's requests, after which the
// connection's socket stays quiet: the loop therefore looks at the queue at least every 10 ms
// instead of trusting the socket alone.
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/other.h"
#include "base/trace.h"
#include "base/x11_display.h"
#include "image/scrshot.h"
#include "saver/host.h"

namespace {

const int kPollMillis = 10;
const int kGrabAttempts = 100;  // 10 ms apart: another client's grab has a second to go
const char kTitle[] = "QuietMeadows";

void localSleepMillis(int ms) {
    // A real pause: fxSleep would move the controllable clock of a recording instead.
    timespec ts = {0, long(ms) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

// The X server went away. A render thread may be blocked inside Xlib on the dead connection for
// good, so neither it nor the scenes' teardown (which joins it) can be waited for: the process
// ends here, with the trace log closed.
void localDisplayLost() {
    fxCloseTraces();
    static const char kText[] = "qmsave: the connection to the X display was lost\n";
    ssize_t r = write(2, kText, sizeof kText - 1);
    (void)r;
    _exit(1);
}

void localNameWindow(Display* dpy, Window w, const char* title) {
    XStoreName(dpy, w, title);
    Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    Atom netName = XInternAtom(dpy, "_NET_WM_NAME", False);
    XChangeProperty(dpy, w, netName, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), int(strlen(title)));
    XClassHint cls;
    cls.res_name = const_cast<char*>("qmsave");
    cls.res_class = const_cast<char*>("QMSave");
    XSetClassHint(dpy, w, &cls);
}

bool localInside(const QmRect& a, const QmRect& b) {
    return a.x >= b.x && a.y >= b.y && a.x + a.width <= b.x + b.width && a.y + a.height <= b.y + b.height;
}

// The monitors as the window system lists them, left to right, top to bottom; a monitor wholly
// inside another (also an exact copy) is left out.
std::vector<QmRect> localDistinct(std::vector<QmRect> all) {
    std::stable_sort(all.begin(), all.end(), [](const QmRect& a, const QmRect& b) {
        return a.y != b.y ? a.y < b.y : a.x < b.x;
    });
    std::vector<QmRect> kept;
    for (size_t i = 0; i < all.size(); i++) {
        bool enclosed = all[i].width <= 0 || all[i].height <= 0;
        for (size_t j = 0; j < all.size() && !enclosed; j++) {
            if (i == j || !localInside(all[i], all[j])) continue;
            // Of two identical monitors the first stays.
            enclosed = !localInside(all[j], all[i]) || j < i;
        }
        if (!enclosed) kept.push_back(all[i]);
    }
    return kept;
}

class QmHostX11 final : public PHost {
public:
    ~QmHostX11() override { Close(); }

    bool Open() override;
    void Close() override;
    bool DisplayLost() override { return fxX11DisplayLost(); }
    bool IsWindow(void* window) override;
    bool ClientSize(void* window, int* width, int* height) override;
    std::vector<QmRect> Monitors() override;
    void* MakeWindow(QmStyle style, void* parent, const QmRect& area) override;
    void ShowWindow(void* window) override;
    void DestroyWindow(void* window) override;
    void HideCursor(void* window) override;
    bool GetCursorPos(QmPoint* p) override;
    int NextEvent(QmMsg* m, int timeoutMs) override;
    bool TakePhotograph(FXScrShot* shot, void* window) override;

private:
    // One saver window.
    struct Win {
        Window window = 0;
        Window parent = 0;  // someone else's window we draw into (preview pane, launcher), or 0
        QmStyle style = kStyleFullScreen;
        int width = 0, height = 0;
    };

    Display* dpy_ = nullptr;
    std::vector<Win> windows_;
    Cursor invisible_ = 0;
    Atom wmProtocols_ = 0;
    Atom wmDelete_ = 0;
    Window grabWindow_ = 0;  // the window holding the keyboard and pointer grabs, or 0
    bool keyboardGrabbed_ = false;
    bool pointerGrabbed_ = false;
    bool lostReported_ = false;
    int randrEvent_ = -1;           // RandR's first event number, -1 without RandR
    std::vector<QmRect> covered_;   // the monitors the full-screen windows were made for
    unsigned char pressed_[32] = {};  // keys pressed while the input was ours, by keycode

    Win* Find(Window w);
    Win* FindHandle(void* handle) { return Find(fxX11Window(handle)); }
    Cursor InvisibleCursor();
    bool Key(const XKeyEvent& k, bool down);
    bool Translate(XEvent& e, QmMsg* m);
    bool TranslateStructure(XEvent& e, QmMsg* m);
    bool MonitorsChanged(XEvent& e);
    void Grab(Window w);
    void WatchMonitors();
    bool LauncherPhotograph(FXScrShot* shot, const Win& w);
    std::vector<QmRect> ListMonitors();
};

QmHostX11::Win* QmHostX11::Find(Window w) {
    for (Win& x : windows_)
        if (w && x.window == w) return &x;
    return nullptr;
}

Cursor QmHostX11::InvisibleCursor() {
    if (invisible_) return invisible_;
    static char none[1] = {0};
    Pixmap bits = XCreateBitmapFromData(dpy_, DefaultRootWindow(dpy_), none, 1, 1);
    XColor black = {};
    invisible_ = XCreatePixmapCursor(dpy_, bits, bits, &black, &black, 0, 0);
    XFreePixmap(dpy_, bits);
    return invisible_;
}

bool QmHostX11::Open() {
    if (dpy_) return true;
    Display* dpy = fxX11OpenDisplay();
    if (!dpy) {
        const char* d = getenv("DISPLAY");
        fprintf(stderr, "qmsave: cannot open the X display %s\n", d && *d ? d : "(DISPLAY is not set)");
        return false;
    }
    dpy_ = dpy;
    fxX11SetLostHandler(localDisplayLost);
    wmProtocols_ = XInternAtom(dpy, "WM_PROTOCOLS", False);
    wmDelete_ = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    int error = 0;
    if (!XRRQueryExtension(dpy, &randrEvent_, &error)) randrEvent_ = -1;
    return true;
}

// The connection itself is the process's (the program entry closes it last).
void QmHostX11::Close() {
    while (!windows_.empty()) DestroyWindow(fxX11Handle(windows_.back().window));
    if (dpy_ && !fxX11DisplayLost() && invisible_) XFreeCursor(dpy_, invisible_);
    invisible_ = 0;
    dpy_ = nullptr;
}

bool QmHostX11::IsWindow(void* window) { return Open() && fxX11IsWindow(dpy_, fxX11Window(window)); }

bool QmHostX11::ClientSize(void* window, int* width, int* height) {
    if (!Open()) return false;
    XWindowAttributes a;
    fxX11TrapErrors(dpy_);
    Status ok = XGetWindowAttributes(dpy_, fxX11Window(window), &a);
    if (fxX11UntrapErrors(dpy_) != 0 || !ok) return false;
    *width = a.width;
    *height = a.height;
    return true;
}

std::vector<QmRect> QmHostX11::ListMonitors() {
    std::vector<QmRect> all;
    Window root = DefaultRootWindow(dpy_);
    int major = 0, minor = 0;
    if (randrEvent_ >= 0 && XRRQueryVersion(dpy_, &major, &minor) && (major > 1 || (major == 1 && minor >= 5))) {
        int n = 0;
        XRRMonitorInfo* m = XRRGetMonitors(dpy_, root, True, &n);
        for (int i = 0; m && i < n; i++) {
            QmRect r;
            r.x = m[i].x, r.y = m[i].y, r.width = m[i].width, r.height = m[i].height;
            all.push_back(r);
        }
        if (m) XRRFreeMonitors(m);
    }
    if (all.empty() && XineramaIsActive(dpy_)) {
        int n = 0;
        XineramaScreenInfo* s = XineramaQueryScreens(dpy_, &n);
        for (int i = 0; s && i < n; i++) {
            QmRect r;
            r.x = s[i].x_org, r.y = s[i].y_org, r.width = s[i].width, r.height = s[i].height;
            all.push_back(r);
        }
        if (s) XFree(s);
    }
    all = localDistinct(all);
    if (all.empty()) {
        QmRect whole;
        int s = DefaultScreen(dpy_);
        whole.width = DisplayWidth(dpy_, s);
        whole.height = DisplayHeight(dpy_, s);
        all.push_back(whole);
    }
    return all;
}

std::vector<QmRect> QmHostX11::Monitors() {
    if (!Open()) return {};
    return ListMonitors();
}

void* QmHostX11::MakeWindow(QmStyle style, void* parent, const QmRect& area) {
    if (!Open() || area.width <= 0 || area.height <= 0) return nullptr;
    Window root = DefaultRootWindow(dpy_);
    Window p = root;
    int x = 0, y = 0;
    long mask = ExposureMask | StructureNotifyMask;
    switch (style) {
        case kStyleFullScreen:
            mask |= KeyPressMask | KeyReleaseMask | ButtonPressMask | PointerMotionMask | FocusChangeMask;
            x = area.x, y = area.y;
            break;
        case kStylePreview:
            mask |= KeyPressMask | KeyReleaseMask;
            p = fxX11Window(parent);
            break;
        case kStyleLauncher:
            p = fxX11Window(parent);  // the launcher owns the input
            break;
        case kStyleDesktop: {
            mask |= KeyPressMask | KeyReleaseMask;
            int s = DefaultScreen(dpy_);
            int sw = DisplayWidth(dpy_, s), sh = DisplayHeight(dpy_, s);
            x = sw > area.width ? (sw - area.width) / 2 : 0;
            y = sh > area.height ? (sh - area.height) / 2 : 0;
            break;
        }
        case kStyleRecord:
            x = area.x, y = area.y;  // over the monitor it records, so it photographs that monitor
            break;
    }
    Window w = fxGLCreateWindow(dpy_, p, x, y, area.width, area.height, mask);
    if (!w) {
        fprintf(stderr, "qmsave: cannot create the saver window (no OpenGL visual, or the parent is gone)\n");
        return nullptr;
    }
    Win win;
    win.window = w;
    win.parent = p == root ? 0 : p;
    win.style = style;
    win.width = area.width;
    win.height = area.height;
    windows_.push_back(win);
    // Errors about these windows once they are gone mean just that (a launcher may take them
    // away while a frame is being drawn).
    fxX11ExpectGone(w);
    if (win.parent) fxX11ExpectGone(win.parent);
    if (style == kStyleFullScreen || style == kStyleRecord) {
        XSetWindowAttributes a = {};
        a.override_redirect = True;  // no window manager moves, frames or shrinks it
        XChangeWindowAttributes(dpy_, w, CWOverrideRedirect, &a);
    }
    if (win.parent) {
        // Told when the pane or launcher window goes or changes size.
        fxX11TrapErrors(dpy_);
        XSelectInput(dpy_, win.parent, StructureNotifyMask);
        fxX11UntrapErrors(dpy_);
    } else {
        localNameWindow(dpy_, w, style == kStyleRecord ? "QuietMeadows (recording)" : kTitle);
    }
    if (style == kStyleDesktop) {
        XSizeHints hints = {};
        hints.flags = USPosition | USSize;
        hints.x = x, hints.y = y, hints.width = area.width, hints.height = area.height;
        XSetWMNormalHints(dpy_, w, &hints);
        XSetWMProtocols(dpy_, w, &wmDelete_, 1);
    }
    if (style == kStyleFullScreen) {
        covered_.push_back(area);
        WatchMonitors();
    }
    XSync(dpy_, False);
    return fxX11Handle(w);
}

// Full-screen windows cover the monitors as they were: RandR tells when outputs change, and a
// monitor set or removed by hand (`xrandr --setmonitor`, `--delmonitor`) reconfigures the root.
void QmHostX11::WatchMonitors() {
    Window root = DefaultRootWindow(dpy_);
    XSelectInput(dpy_, root, StructureNotifyMask);
    if (randrEvent_ >= 0)
        XRRSelectInput(dpy_, root, RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
}

// Whether the monitors are no longer those the full-screen windows were made for.
bool QmHostX11::MonitorsChanged(XEvent& e) {
    if (covered_.empty()) return false;
    bool rootChanged = e.type == ConfigureNotify && e.xconfigure.window == DefaultRootWindow(dpy_);
    bool randr = randrEvent_ >= 0 && (e.type == randrEvent_ + RRScreenChangeNotify || e.type == randrEvent_ + RRNotify);
    if (!rootChanged && !randr) return false;
    if (randr) XRRUpdateConfiguration(&e);
    return ListMonitors() != covered_;
}

void QmHostX11::Grab(Window w) {
    for (int i = 0; i < kGrabAttempts && !(keyboardGrabbed_ && pointerGrabbed_); i++) {
        if (i > 0) {
            if (qmPendingEnd() != kEndNone) return;
            localSleepMillis(10);
        }
        if (!keyboardGrabbed_)
            keyboardGrabbed_ = XGrabKeyboard(dpy_, w, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
        if (!pointerGrabbed_)
            pointerGrabbed_ = XGrabPointer(dpy_, w, True, ButtonPressMask | PointerMotionMask, GrabModeAsync,
                                           GrabModeAsync, None, InvisibleCursor(), CurrentTime) == GrabSuccess;
    }
    grabWindow_ = w;
    if (!keyboardGrabbed_ || !pointerGrabbed_)
        err("host: another client holds the %s; the saver runs without it\n", !keyboardGrabbed_ ? "keyboard" : "pointer");
}

void QmHostX11::ShowWindow(void* window) {
    Win* w = FindHandle(window);
    if (!w || qmPendingEnd() != kEndNone) return;
    if (w->style == kStyleFullScreen)
        XMapRaised(dpy_, w->window);
    else
        XMapWindow(dpy_, w->window);
    XSync(dpy_, False);
    if (w->style == kStyleFullScreen && !grabWindow_) Grab(w->window);
    XFlush(dpy_);
}

void QmHostX11::DestroyWindow(void* window) {
    Win* w = FindHandle(window);
    if (!w) return;
    if (!fxX11DisplayLost()) {
        if (w->window == grabWindow_) {
            if (keyboardGrabbed_) XUngrabKeyboard(dpy_, CurrentTime);
            if (pointerGrabbed_) XUngrabPointer(dpy_, CurrentTime);
            keyboardGrabbed_ = pointerGrabbed_ = false;
            grabWindow_ = 0;
        }
        if (w->parent) {
            fxX11TrapErrors(dpy_);
            XSelectInput(dpy_, w->parent, NoEventMask);
            fxX11UntrapErrors(dpy_);
        }
        fxGLDestroyWindow(dpy_, w->window);  // also harmless for a window its parent took along
        XSync(dpy_, False);
    }
    if (w->style == kStyleFullScreen && !covered_.empty()) {
        covered_.clear();
        if (!fxX11DisplayLost()) XSelectInput(dpy_, DefaultRootWindow(dpy_), NoEventMask);
    }
    windows_.erase(windows_.begin() + (w - windows_.data()));
    if (windows_.empty()) memset(pressed_, 0, sizeof pressed_);
}

void QmHostX11::HideCursor(void* window) {
    Win* w = FindHandle(window);
    if (!w || w->style != kStyleFullScreen) return;
    XDefineCursor(dpy_, w->window, InvisibleCursor());
    XFlush(dpy_);
}

bool QmHostX11::GetCursorPos(QmPoint* p) {
    if (!Open() || fxX11DisplayLost()) return false;
    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    if (!XQueryPointer(dpy_, DefaultRootWindow(dpy_), &root, &child, &rx, &ry, &wx, &wy, &mask)) return false;
    p->x = rx;
    p->y = ry;
    return true;
}

bool QmHostX11::Key(const XKeyEvent& k, bool down) {
    unsigned code = k.keycode & 0xFF;
    unsigned char bit = static_cast<unsigned char>(1u << (code & 7));
    if (down) {
        pressed_[code >> 3] |= bit;
        return true;
    }
    // A release without a press of ours belongs to the key that started the saver (the Enter of
    // a terminal), still held when the keyboard was grabbed: not the user's answer.
    if (!(pressed_[code >> 3] & bit)) return false;
    pressed_[code >> 3] &= static_cast<unsigned char>(~bit);
    return true;
}

void localSetMessage(QmMsg* m, Window w, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    m->hwnd = fxX11Handle(w);
    m->message = msg;
    m->wParam = wParam;
    m->lParam = lParam;
}

// Destruction, size and monitor changes of the saver's windows and the windows they live in.
bool QmHostX11::TranslateStructure(XEvent& e, QmMsg* m) {
    if (MonitorsChanged(e)) {
        trc("host: the monitors changed\n");
        localSetMessage(m, windows_.front().window, kWmHostEnd, 0, kEndMonitorsChanged);
        return true;
    }
    switch (e.type) {
        case DestroyNotify:
            for (const Win& w : windows_)
                if (e.xdestroywindow.window == w.window || (w.parent && e.xdestroywindow.window == w.parent)) {
                    localSetMessage(m, w.window, kWmHostEnd, 0, kEndWindowGone);
                    return true;
                }
            return false;
        case ConfigureNotify:
            for (Win& w : windows_) {
                if (w.parent && e.xconfigure.window == w.parent) {
                    // The pane or launcher window changed size: ours follows (its own event then
                    // reports the new size).
                    if (e.xconfigure.width > 0 && e.xconfigure.height > 0) {
                        fxX11TrapErrors(dpy_);
                        XResizeWindow(dpy_, w.window, unsigned(e.xconfigure.width), unsigned(e.xconfigure.height));
                        fxX11UntrapErrors(dpy_);
                    }
                    return false;
                }
                if (e.xconfigure.window != w.window) continue;
                if (e.xconfigure.width == w.width && e.xconfigure.height == w.height) return false;
                w.width = e.xconfigure.width;
                w.height = e.xconfigure.height;
                localSetMessage(m, w.window, kWmSize, uintptr_t(w.width), w.height);
                return true;
            }
            return false;
        default:
            return false;
    }
}

// One X event as a message for a saver window; false when it makes none.
bool QmHostX11::Translate(XEvent& e, QmMsg* m) {
    if (windows_.empty()) return false;
    switch (e.type) {
        case KeyPress:
        case KeyRelease: {
            Win* w = Find(e.xkey.window);
            if (!w || !Key(e.xkey, e.type == KeyPress)) return false;
            KeySym sym = XLookupKeysym(&e.xkey, 0);
            localSetMessage(m, w->window, e.type == KeyPress ? kWmKeyDown : kWmKeyUp, uintptr_t(sym), 0);
            return true;
        }
        case ButtonPress: {
            Win* w = Find(e.xbutton.window);
            static const unsigned kButtons[4] = {0, kWmLButtonDown, kWmMButtonDown, kWmRButtonDown};
            if (!w || e.xbutton.button < 1 || e.xbutton.button > 3) return false;  // wheels and extra buttons
            localSetMessage(m, w->window, kButtons[e.xbutton.button], 0,
                            intptr_t((e.xbutton.y << 16) | (e.xbutton.x & 0xFFFF)));
            return true;
        }
        case MotionNotify: {
            Win* w = Find(e.xmotion.window);
            if (!w) return false;
            localSetMessage(m, w->window, kWmMouseMove, 0, 0);
            return true;
        }
        case FocusOut: {
            Win* w = Find(e.xfocus.window);
            if (!w || e.xfocus.mode == NotifyUngrab || e.xfocus.detail == NotifyInferior ||
                e.xfocus.detail == NotifyPointer)
                return false;
            // Focus moving between the saver's own windows is no deactivation.
            Window focus = 0;
            int revert = 0;
            XGetInputFocus(dpy_, &focus, &revert);
            if (Find(focus)) return false;
            localSetMessage(m, w->window, kWmActivateApp, 0, 0);
            return true;
        }
        case Expose: {
            Win* w = Find(e.xexpose.window);
            if (!w || e.xexpose.count != 0) return false;
            localSetMessage(m, w->window, kWmPaint, 0, 0);
            return true;
        }
        case ClientMessage: {
            Win* w = Find(e.xclient.window);
            if (!w || e.xclient.message_type != wmProtocols_ || Atom(e.xclient.data.l[0]) != wmDelete_) return false;
            if (w->style == kStyleDesktop)
                localSetMessage(m, w->window, kWmHostEnd, 0, kEndClosed);  // the close button: at once
            else
                localSetMessage(m, w->window, kWmClose, 0, 0);
            return true;
        }
        default:
            return TranslateStructure(e, m);
    }
}

int QmHostX11::NextEvent(QmMsg* m, int timeoutMs) {
    int64_t deadline = timeoutMs >= 0 ? fxSystemMillis() + timeoutMs : -1;
    Window first = windows_.empty() ? 0 : windows_.front().window;
    for (;;) {
        if (QmEnd why = qmTakeEnd()) {
            localSetMessage(m, first, kWmHostEnd, 0, why);
            return 1;
        }
        if (!dpy_) return -1;
        if (fxX11DisplayLost()) {
            if (lostReported_) return -1;
            lostReported_ = true;
            localSetMessage(m, first, kWmHostEnd, 0, kEndDisplayLost);
            return 1;
        }
        while (XPending(dpy_) > 0) {
            XEvent e;
            XNextEvent(dpy_, &e);
            if (Translate(e, m)) return 1;
        }
        int wait = kPollMillis;
        if (deadline >= 0) {
            int64_t left = deadline - fxSystemMillis();
            if (left <= 0) return 0;
            if (left < wait) wait = int(left);
        }
        pollfd fds[2] = {{ConnectionNumber(dpy_), POLLIN, 0}, {qmEndRequestFd(), POLLIN, 0}};
        poll(fds, fds[1].fd >= 0 ? 2 : 1, wait);
    }
}

// The launcher's own photograph of the desktop: a Pixmap in the property _SCREENSAVER_SCREENSHOT
// of its window. A pixmap of the window's size is that window's picture (a launcher gives each
// monitor's window its own); a larger one is a picture of the whole screen, cut at the window's
// place on it.
bool QmHostX11::LauncherPhotograph(FXScrShot* shot, const Win& w) {
    Atom prop = XInternAtom(dpy_, "_SCREENSAVER_SCREENSHOT", True);
    if (prop == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    fxX11TrapErrors(dpy_);
    int r = XGetWindowProperty(dpy_, w.parent, prop, 0, 1, False, XA_PIXMAP, &type, &format, &n, &after, &data);
    int code = fxX11UntrapErrors(dpy_);
    Pixmap pm = 0;
    if (r == Success && code == 0 && type == XA_PIXMAP && format == 32 && n == 1 && data)
        pm = Pixmap(*reinterpret_cast<unsigned long*>(data));
    if (data) XFree(data);
    if (!pm) return false;
    Window root = 0;
    int px = 0, py = 0;
    unsigned pw = 0, ph = 0, border = 0, depth = 0;
    fxX11TrapErrors(dpy_);
    Status ok = XGetGeometry(dpy_, pm, &root, &px, &py, &pw, &ph, &border, &depth);
    if (fxX11UntrapErrors(dpy_) != 0 || !ok) return false;
    int x = 0, y = 0;
    if (int(pw) != w.width || int(ph) != w.height) {
        Window child = 0;
        fxX11TrapErrors(dpy_);
        XTranslateCoordinates(dpy_, w.parent, DefaultRootWindow(dpy_), 0, 0, &x, &y, &child);
        fxX11UntrapErrors(dpy_);
    }
    return shot->UpdateDrawable(fxX11Handle(pm), x, y, w.width, w.height);
}

bool QmHostX11::TakePhotograph(FXScrShot* shot, void* window) {
    Win* w = FindHandle(window);
    if (!Open() || !w) return false;
    if (w->parent && w->style == kStyleLauncher && LauncherPhotograph(shot, *w)) return true;
    // Exactly the area the window will cover, photographed while it is not shown yet.
    int x = 0, y = 0;
    Window child = 0;
    fxX11TrapErrors(dpy_);
    XTranslateCoordinates(dpy_, w->window, DefaultRootWindow(dpy_), 0, 0, &x, &y, &child);
    fxX11UntrapErrors(dpy_);
    return shot->UpdateArea(x, y, w->width, w->height);
}

}  // namespace

std::unique_ptr<PHost> qmCreateHost() { return std::unique_ptr<PHost>(new QmHostX11); }
