// The saver's windows on X11: an override-redirect window over the whole screen with the keyboard
// and pointer grabbed and an invisible cursor, a child of a preview pane's or a launcher's window,
// a normal desktop window, or the recording window; all made with the device's GLX visual and
// left unmapped until the scene is built. X events become the host's messages; SIGTERM and
// SIGINT reach the loop through a pipe (the only safe thing a signal handler can do here).
//
// Events may be read into Xlib's queue by the render thread's requests, after which the
// connection's socket stays quiet: the loop therefore looks at the queue at least every 10 ms
// instead of trusting the socket alone.
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/other.h"
#include "base/trace.h"
#include "image/scrshot.h"
#include "base/x11_display.h"
#include "saver/host.h"

namespace {

const int kPollMillis = 10;
const int kGrabAttempts = 100;  // 10 ms apart: another client's grab has a second to go
const char kTitle[] = "QuietMeadows";

struct FXHostX11 {
    Display* dpy = nullptr;
    Window window = 0;  // the saver window
    Window parent = 0;  // someone else's window we draw into (preview pane, launcher), or 0
    QmStyle style = kStyleFullScreen;
    Cursor invisible = 0;
    Atom wmProtocols = 0;
    Atom wmDelete = 0;
    bool keyboardGrabbed = false;
    bool pointerGrabbed = false;
    bool lostReported = false;
    int width = 0;
    int height = 0;
    unsigned char pressed[32] = {};  // keys pressed while the window was ours, by keycode
};

FXHostX11 localHost;
int localPipe[2] = {-1, -1};
std::atomic<int> localEnd{kEndNone};

void localSleepMillis(int ms) {
    // A real pause: fxSleep would move the controllable clock of a recording instead.
    timespec ts = {0, long(ms) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

void localSignal(int) { hostRequestEnd(kEndSignal); }

// The X server went away. The render thread may be blocked inside Xlib on the dead connection
// for good, so neither it nor the static objects' teardown (which joins it) can be waited for:
// the process ends here, with the trace log closed.
void localDisplayLost() {
    fxCloseTraces();
    static const char kText[] = "qmsave: the connection to the X display was lost\n";
    ssize_t r = write(2, kText, sizeof kText - 1);
    (void)r;
    _exit(1);
}

void* localHandle(Window w) { return fxX11Handle(w); }

bool localOurs(void* handle) { return handle && localHost.window && fxX11Window(handle) == localHost.window; }

Cursor localInvisibleCursor(Display* dpy) {
    if (localHost.invisible) return localHost.invisible;
    static char none[1] = {0};
    Pixmap bits = XCreateBitmapFromData(dpy, DefaultRootWindow(dpy), none, 1, 1);
    XColor black = {};
    localHost.invisible = XCreatePixmapCursor(dpy, bits, bits, &black, &black, 0, 0);
    XFreePixmap(dpy, bits);
    return localHost.invisible;
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

void localSetMessage(QmMsg* m, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    m->hwnd = localHandle(localHost.window);
    m->message = msg;
    m->wParam = wParam;
    m->lParam = lParam;
}

bool localKey(const XKeyEvent& k, bool down) {
    unsigned code = k.keycode & 0xFF;
    unsigned char bit = static_cast<unsigned char>(1u << (code & 7));
    if (down) {
        localHost.pressed[code >> 3] |= bit;
        return true;
    }
    // A release without a press of ours belongs to the key that started the saver (the Enter of
    // a terminal), still held when the keyboard was grabbed: not the user's answer.
    if (!(localHost.pressed[code >> 3] & bit)) return false;
    localHost.pressed[code >> 3] &= static_cast<unsigned char>(~bit);
    return true;
}

// One X event as a message for the saver window; false when it makes none.
bool localTranslate(XEvent& e, QmMsg* m) {
    FXHostX11& h = localHost;
    if (!h.window) return false;
    switch (e.type) {
        case KeyPress:
        case KeyRelease: {
            if (e.xkey.window != h.window || !localKey(e.xkey, e.type == KeyPress)) return false;
            KeySym sym = XLookupKeysym(&e.xkey, 0);
            localSetMessage(m, e.type == KeyPress ? kWmKeyDown : kWmKeyUp, uintptr_t(sym), 0);
            return true;
        }
        case ButtonPress: {
            if (e.xbutton.window != h.window) return false;
            static const unsigned kButtons[4] = {0, kWmLButtonDown, kWmMButtonDown, kWmRButtonDown};
            if (e.xbutton.button < 1 || e.xbutton.button > 3) return false;  // wheels and extra buttons
            localSetMessage(m, kButtons[e.xbutton.button], 0, intptr_t((e.xbutton.y << 16) | (e.xbutton.x & 0xFFFF)));
            return true;
        }
        case MotionNotify:
            if (e.xmotion.window != h.window) return false;
            localSetMessage(m, kWmMouseMove, 0, 0);
            return true;
        case FocusOut:
            if (e.xfocus.window != h.window || e.xfocus.mode == NotifyUngrab || e.xfocus.detail == NotifyInferior ||
                e.xfocus.detail == NotifyPointer)
                return false;
            localSetMessage(m, kWmActivateApp, 0, 0);
            return true;
        case Expose:
            if (e.xexpose.window != h.window || e.xexpose.count != 0) return false;
            localSetMessage(m, kWmPaint, 0, 0);
            return true;
        case ClientMessage:
            if (e.xclient.window != h.window || e.xclient.message_type != h.wmProtocols ||
                Atom(e.xclient.data.l[0]) != h.wmDelete)
                return false;
            if (h.style == kStyleDesktop)
                localSetMessage(m, kWmHostEnd, 0, kEndClosed);  // the close button: at once
            else
                localSetMessage(m, kWmClose, 0, 0);
            return true;
        case DestroyNotify:
            if (e.xdestroywindow.window != h.window && (!h.parent || e.xdestroywindow.window != h.parent))
                return false;
            localSetMessage(m, kWmHostEnd, 0, kEndWindowGone);
            return true;
        case ConfigureNotify:
            if (h.parent && e.xconfigure.window == h.parent) {
                // The pane or launcher window changed size: ours follows (its own event then
                // reports the new size).
                if (e.xconfigure.width > 0 && e.xconfigure.height > 0) {
                    fxX11TrapErrors(h.dpy);
                    XResizeWindow(h.dpy, h.window, unsigned(e.xconfigure.width), unsigned(e.xconfigure.height));
                    fxX11UntrapErrors(h.dpy);
                }
                return false;
            }
            if (e.xconfigure.window != h.window) return false;
            if (e.xconfigure.width == h.width && e.xconfigure.height == h.height) return false;
            h.width = e.xconfigure.width;
            h.height = e.xconfigure.height;
            localSetMessage(m, kWmSize, uintptr_t(h.width), h.height);
            return true;
        default:
            return false;
    }
}

void localGrab(Display* dpy, Window w) {
    FXHostX11& h = localHost;
    for (int i = 0; i < kGrabAttempts && !(h.keyboardGrabbed && h.pointerGrabbed); i++) {
        if (i > 0) {
            if (localEnd.load() != kEndNone) return;
            localSleepMillis(10);
        }
        if (!h.keyboardGrabbed)
            h.keyboardGrabbed = XGrabKeyboard(dpy, w, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
        if (!h.pointerGrabbed)
            h.pointerGrabbed = XGrabPointer(dpy, w, True, ButtonPressMask | PointerMotionMask, GrabModeAsync,
                                            GrabModeAsync, None, localInvisibleCursor(dpy), CurrentTime) == GrabSuccess;
    }
    if (!h.keyboardGrabbed || !h.pointerGrabbed)
        err("host: another client holds the %s; the saver runs without it\n",
            !h.keyboardGrabbed ? "keyboard" : "pointer");
}

// The launcher's own photograph of the desktop: a Pixmap in the property _SCREENSAVER_SCREENSHOT
// of its window, cropped to where that window lies.
bool localLauncherPhotograph(FXScrShot* shot, Display* dpy, Window launcher, int w, int h) {
    Atom prop = XInternAtom(dpy, "_SCREENSAVER_SCREENSHOT", True);
    if (prop == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    fxX11TrapErrors(dpy);
    int r = XGetWindowProperty(dpy, launcher, prop, 0, 1, False, XA_PIXMAP, &type, &format, &n, &after, &data);
    int code = fxX11UntrapErrors(dpy);
    Pixmap pm = 0;
    if (r == Success && code == 0 && type == XA_PIXMAP && format == 32 && n == 1 && data)
        pm = Pixmap(*reinterpret_cast<unsigned long*>(data));
    if (data) XFree(data);
    if (!pm) return false;
    int x = 0, y = 0;
    Window child = 0;
    fxX11TrapErrors(dpy);
    XTranslateCoordinates(dpy, launcher, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    fxX11UntrapErrors(dpy);
    return shot->UpdateDrawable(fxX11Handle(pm), x, y, w, h);
}

}  // namespace

bool hostOpen() {
    if (localHost.dpy) return true;
    Display* dpy = fxX11OpenDisplay();
    if (!dpy) {
        const char* d = getenv("DISPLAY");
        fprintf(stderr, "qmsave: cannot open the X display %s\n", d && *d ? d : "(DISPLAY is not set)");
        return false;
    }
    localHost.dpy = dpy;
    fxX11SetLostHandler(localDisplayLost);
    localHost.wmProtocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
    localHost.wmDelete = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    return true;
}

void hostClose() {
    if (localHost.dpy && !fxX11DisplayLost() && localHost.invisible) XFreeCursor(localHost.dpy, localHost.invisible);
    localHost = FXHostX11();
    fxX11CloseDisplay();
}

bool hostDisplayLost() { return fxX11DisplayLost(); }

void hostInstallSignals() {
    if (localPipe[0] < 0 && pipe2(localPipe, O_NONBLOCK | O_CLOEXEC) != 0) localPipe[0] = localPipe[1] = -1;
    struct sigaction sa = {};
    sa.sa_handler = localSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

void hostRequestEnd(QmEnd why) {
    int none = kEndNone;
    localEnd.compare_exchange_strong(none, int(why));
    if (localPipe[1] >= 0) {
        ssize_t r = write(localPipe[1], "e", 1);
        (void)r;  // a full pipe already wakes the loop
    }
}

QmEnd hostPendingEnd() { return QmEnd(localEnd.load()); }

bool hostIsWindow(void* window) {
    if (!hostOpen()) return false;
    return fxX11IsWindow(localHost.dpy, fxX11Window(window));
}

bool hostClientSize(void* window, int* width, int* height) {
    if (!hostOpen()) return false;
    XWindowAttributes a;
    fxX11TrapErrors(localHost.dpy);
    Status ok = XGetWindowAttributes(localHost.dpy, fxX11Window(window), &a);
    if (fxX11UntrapErrors(localHost.dpy) != 0 || !ok) return false;
    *width = a.width;
    *height = a.height;
    return true;
}

void hostScreenSize(int* width, int* height) {
    if (!hostOpen()) return;
    int s = DefaultScreen(localHost.dpy);
    *width = DisplayWidth(localHost.dpy, s);
    *height = DisplayHeight(localHost.dpy, s);
}

void* hostCreateWindow(QmStyle style, void* parent, int width, int height) {
    if (!hostOpen() || width <= 0 || height <= 0) return nullptr;
    FXHostX11& h = localHost;
    Display* dpy = h.dpy;
    Window root = DefaultRootWindow(dpy);
    Window p = root;
    int x = 0, y = 0;
    long mask = ExposureMask | StructureNotifyMask;
    switch (style) {
        case kStyleFullScreen:
            mask |= KeyPressMask | KeyReleaseMask | ButtonPressMask | PointerMotionMask | FocusChangeMask;
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
            int sw = 0, sh = 0;
            hostScreenSize(&sw, &sh);
            x = sw > width ? (sw - width) / 2 : 0;
            y = sh > height ? (sh - height) / 2 : 0;
            break;
        }
        case kStyleRecord:
            break;
    }
    Window w = fxGLCreateWindow(dpy, p, x, y, width, height, mask);
    if (!w) {
        fprintf(stderr, "qmsave: cannot create the saver window (no OpenGL visual, or the parent is gone)\n");
        return nullptr;
    }
    h.window = w;
    h.parent = p == root ? 0 : p;
    h.style = style;
    h.width = width;
    h.height = height;
    h.keyboardGrabbed = h.pointerGrabbed = false;
    memset(h.pressed, 0, sizeof h.pressed);
    if (style == kStyleFullScreen || style == kStyleRecord) {
        XSetWindowAttributes a = {};
        a.override_redirect = True;  // no window manager moves, frames or shrinks it
        XChangeWindowAttributes(dpy, w, CWOverrideRedirect, &a);
    }
    if (h.parent) {
        // Told when the pane or launcher window goes or changes size.
        fxX11TrapErrors(dpy);
        XSelectInput(dpy, h.parent, StructureNotifyMask);
        fxX11UntrapErrors(dpy);
    } else {
        localNameWindow(dpy, w, style == kStyleRecord ? "QuietMeadows (recording)" : kTitle);
    }
    if (style == kStyleDesktop) {
        XSizeHints hints = {};
        hints.flags = USPosition | USSize;
        hints.x = x, hints.y = y, hints.width = width, hints.height = height;
        XSetWMNormalHints(dpy, w, &hints);
        XSetWMProtocols(dpy, w, &h.wmDelete, 1);
    }
    XSync(dpy, False);
    return localHandle(w);
}

void hostShowWindow(void* window) {
    if (!localOurs(window) || localEnd.load() != kEndNone) return;
    Display* dpy = localHost.dpy;
    Window w = localHost.window;
    if (localHost.style == kStyleFullScreen)
        XMapRaised(dpy, w);
    else
        XMapWindow(dpy, w);
    XSync(dpy, False);
    if (localHost.style == kStyleFullScreen) localGrab(dpy, w);
    XFlush(dpy);
}

void hostDestroyWindow(void* window) {
    if (!localOurs(window)) return;
    FXHostX11& h = localHost;
    Display* dpy = h.dpy;
    if (!fxX11DisplayLost()) {
        if (h.keyboardGrabbed) XUngrabKeyboard(dpy, CurrentTime);
        if (h.pointerGrabbed) XUngrabPointer(dpy, CurrentTime);
        if (h.parent) {
            fxX11TrapErrors(dpy);
            XSelectInput(dpy, h.parent, NoEventMask);
            fxX11UntrapErrors(dpy);
        }
        fxGLDestroyWindow(dpy, h.window);  // also harmless for a window its parent took along
        XSync(dpy, False);
    }
    h.window = 0;
    h.parent = 0;
    h.keyboardGrabbed = h.pointerGrabbed = false;
}

void hostHideCursor(void* window) {
    if (!localOurs(window) || localHost.style != kStyleFullScreen) return;
    XDefineCursor(localHost.dpy, localHost.window, localInvisibleCursor(localHost.dpy));
    XFlush(localHost.dpy);
}

bool hostGetCursorPos(QmPoint* p) {
    if (!hostOpen() || fxX11DisplayLost()) return false;
    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    if (!XQueryPointer(localHost.dpy, DefaultRootWindow(localHost.dpy), &root, &child, &rx, &ry, &wx, &wy, &mask))
        return false;
    p->x = rx;
    p->y = ry;
    return true;
}

int hostNextEvent(QmMsg* m, int timeoutMs) {
    FXHostX11& h = localHost;
    int64_t deadline = timeoutMs >= 0 ? fxSystemMillis() + timeoutMs : -1;
    for (;;) {
        if (int why = localEnd.exchange(kEndNone)) {
            localSetMessage(m, kWmHostEnd, 0, why);
            return 1;
        }
        if (!h.dpy) return -1;
        if (fxX11DisplayLost()) {
            if (h.lostReported) return -1;
            h.lostReported = true;
            localSetMessage(m, kWmHostEnd, 0, kEndDisplayLost);
            return 1;
        }
        while (XPending(h.dpy) > 0) {
            XEvent e;
            XNextEvent(h.dpy, &e);
            if (localTranslate(e, m)) return 1;
        }
        int wait = kPollMillis;
        if (deadline >= 0) {
            int64_t left = deadline - fxSystemMillis();
            if (left <= 0) return 0;
            if (left < wait) wait = int(left);
        }
        pollfd fds[2] = {{ConnectionNumber(h.dpy), POLLIN, 0}, {localPipe[0], POLLIN, 0}};
        poll(fds, localPipe[0] >= 0 ? 2 : 1, wait);
        if (localPipe[0] >= 0 && (fds[1].revents & POLLIN)) {
            char drain[64];
            while (read(localPipe[0], drain, sizeof drain) > 0) {
            }
        }
    }
}

bool hostTakePhotograph(FXScrShot* shot, void* window) {
    if (!hostOpen() || !localOurs(window)) return false;
    Display* dpy = localHost.dpy;
    int w = localHost.width, h = localHost.height;
    if (localHost.parent && localHost.style == kStyleLauncher &&
        localLauncherPhotograph(shot, dpy, localHost.parent, w, h))
        return true;
    // Exactly the area the window will cover, photographed while it is not shown yet.
    int x = 0, y = 0;
    Window child = 0;
    fxX11TrapErrors(dpy);
    XTranslateCoordinates(dpy, localHost.window, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    fxX11UntrapErrors(dpy);
    return shot->UpdateArea(x, y, w, h);
}

bool hostIsWin9x() { return false; }
bool hostScreenSaveUsesPassword() { return false; }
bool hostHasPasswordServices() { return false; }
