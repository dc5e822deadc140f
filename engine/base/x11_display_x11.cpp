// The process's X display connection, its error handling and the windows the OpenGL device draws
// into. Xlib's default error handler ends the process; here an X error is traced (or recorded
// while a trap is set), because a window can vanish under us at any time (a preview pane closing,
// a launcher tearing down its window).
#include <GL/glx.h>

#include <atomic>
#include <mutex>

#include "base/gl_keep.h"
#include "base/trace.h"
#include "base/x11_display.h"

namespace {

std::once_flag localThreadsOnce;
std::mutex localDisplayMutex;
Display* localDisplay = nullptr;
XVisualInfo* localVisual = nullptr;
Display* localVisualDisplay = nullptr;  // the connection localVisual was chosen on

// Windows whose "no such window" errors are the end, not a fault: a small ring, newest last.
const int kExpectGone = 16;
std::atomic<unsigned long> localGoneWindows[kExpectGone];
std::atomic<unsigned> localGoneNext{0};

bool localExpectedGone(const XErrorEvent* e) {
    if (e->error_code != BadWindow && e->error_code != BadDrawable) return false;
    for (const auto& w : localGoneWindows)
        if (w.load() != 0 && w.load() == e->resourceid) return true;
    return false;
}

std::atomic<bool> localLostFlag{false};
std::atomic<void (*)()> localLostHandler{nullptr};

// A thread's error trap. While it is set the thread holds the display's lock (XLockDisplay), so
// the requests numbered from `first` on are all this thread's: another thread's Xlib call waits for
// the trap to end. Errors are read, and the handler called, only by a thread holding that lock, so
// an error of this display with a serial from `first` on, met while the trap is set, is this
// thread's own; an error of an earlier request (another thread's, still on its way) is traced.
struct localTrap {
    Display* dpy = nullptr;
    bool on = false;
    unsigned long first = 0;
    int code = 0;  // the first error trapped, 0 for none
};
thread_local localTrap localThreadTrap;

int localErrorHandler(Display* dpy, XErrorEvent* e) {
    localTrap& trap = localThreadTrap;
    if (trap.on && dpy == trap.dpy && e->serial >= trap.first) {
        if (trap.code == 0) trap.code = int(e->error_code);
        return 0;
    }
    if (localExpectedGone(e)) {
        trc("the window 0x%lx is gone (X error %d, request %d.%d)\n", static_cast<unsigned long>(e->resourceid),
            int(e->error_code), int(e->request_code), int(e->minor_code));
        return 0;
    }
    err("X error %d (request %d.%d, resource 0x%lx)\n", int(e->error_code), int(e->request_code),
        int(e->minor_code), static_cast<unsigned long>(e->resourceid));
    return 0;
}

// A broken connection is marked lost (Xlib calls then return at once) and handed to the
// program's handler, if any.
void localLost(Display*) {
    if (localLostFlag.exchange(true)) return;
    err("the connection to the X server was lost\n");
    if (void (*handler)() = localLostHandler.load()) handler();
}

// Xlib's default handler for a broken connection calls exit(), whose static destructors would
// wait for a render thread that may be blocked inside Xlib for good.
int localIOError(Display* dpy) {
    localLost(dpy);
    return 0;
}

void localIOErrorExit(Display* dpy, void*) { localLost(dpy); }

XVisualInfo* localChoose(Display* dpy, int stencil) {
    int attribs[] = {GLX_RGBA,         GLX_DOUBLEBUFFER, GLX_RED_SIZE,     8, GLX_GREEN_SIZE, 8,
                     GLX_BLUE_SIZE,    8,                GLX_DEPTH_SIZE,   16, GLX_STENCIL_SIZE,
                     stencil,          None};
    XVisualInfo* vi = glXChooseVisual(dpy, DefaultScreen(dpy), attribs);
    // The first GLX call on a display loads the driver: kept from here on, also when the program
    // ends before it makes a context (closed or interrupted during start-up).
    fxKeepGLDriverLoaded();
    return vi;
}

}  // namespace

void fxX11InitThreads() {
    std::call_once(localThreadsOnce, [] {
        if (!XInitThreads()) err("XInitThreads failed\n");
    });
}

Display* fxX11OpenDisplay() {
    fxX11InitThreads();
    std::lock_guard<std::mutex> guard(localDisplayMutex);
    if (localDisplay) return localDisplay;
    localDisplay = XOpenDisplay(nullptr);
    if (!localDisplay) {
        err("XOpenDisplay failed (DISPLAY is %s)\n", getenv("DISPLAY") ? getenv("DISPLAY") : "unset");
        return nullptr;
    }
    XSetErrorHandler(localErrorHandler);
    XSetIOErrorHandler(localIOError);
    XSetIOErrorExitHandler(localDisplay, localIOErrorExit, nullptr);
    return localDisplay;
}

Display* fxX11GetDisplay() {
    std::lock_guard<std::mutex> guard(localDisplayMutex);
    return localDisplay;
}

void fxX11CloseDisplay() {
    std::lock_guard<std::mutex> guard(localDisplayMutex);
    if (localVisual) XFree(localVisual);
    localVisual = nullptr;
    localVisualDisplay = nullptr;
    if (localDisplay) XCloseDisplay(localDisplay);
    localDisplay = nullptr;
}

bool fxX11DisplayLost() { return localLostFlag.load(); }

void fxX11SetLostHandler(void (*handler)()) { localLostHandler = handler; }

void fxX11TrapErrors(Display* dpy) {
    localTrap& trap = localThreadTrap;
    if (dpy) {
        XLockDisplay(dpy);
        XSync(dpy, False);  // errors of earlier requests are not ours: they are traced
        trap.first = NextRequest(dpy);
    }
    trap.dpy = dpy;
    trap.code = 0;
    trap.on = true;
}

int fxX11UntrapErrors(Display* dpy) {
    localTrap& trap = localThreadTrap;
    if (dpy) XSync(dpy, False);
    int code = trap.code;
    Display* held = trap.dpy;
    trap = localTrap();
    if (held) XUnlockDisplay(held);
    return code;
}

void fxX11ExpectGone(Window window) {
    if (!window) return;
    for (const auto& w : localGoneWindows)
        if (w.load() == window) return;
    localGoneWindows[localGoneNext.fetch_add(1) % kExpectGone] = window;
}

bool fxX11IsWindow(Display* dpy, Window window) {
    if (!dpy || !window) return false;
    XWindowAttributes attr;
    fxX11TrapErrors(dpy);
    Status ok = XGetWindowAttributes(dpy, window, &attr);
    int code = fxX11UntrapErrors(dpy);
    return ok && code == 0;
}

XVisualInfo* fxGLChooseVisual(Display* dpy) {
    if (!dpy) return nullptr;
    std::lock_guard<std::mutex> guard(localDisplayMutex);
    if (localVisual && dpy == localVisualDisplay) return localVisual;
    // A 16-bit stencil is asked first; many drivers offer only 8, and a driver without any
    // stencil still draws everything this engine needs.
    XVisualInfo* vi = localChoose(dpy, 16);
    if (!vi) vi = localChoose(dpy, 8);
    if (!vi) vi = localChoose(dpy, 0);
    if (!vi) {
        err("glXChooseVisual: no RGBA double-buffered visual with a depth buffer\n");
        return nullptr;
    }
    if (localVisual) XFree(localVisual);
    localVisual = vi;
    localVisualDisplay = dpy;
    return vi;
}

Window fxGLCreateWindow(Display* dpy, Window parent, int x, int y, int w, int h, long eventMask) {
    XVisualInfo* vi = fxGLChooseVisual(dpy);
    if (!vi || !parent || w <= 0 || h <= 0) return 0;
    XSetWindowAttributes a = {};
    // The GL visual is usually not the screen's default one: the window needs a colormap of its
    // own and an explicit border pixel, or the server answers BadMatch. No background is set, so
    // whatever lies below stays visible until the first frame is shown.
    a.colormap = XCreateColormap(dpy, RootWindow(dpy, vi->screen), vi->visual, AllocNone);
    a.border_pixel = 0;
    a.event_mask = eventMask;
    fxX11TrapErrors(dpy);
    Window win = XCreateWindow(dpy, parent, x, y, unsigned(w), unsigned(h), 0, vi->depth,
                               InputOutput, vi->visual, CWColormap | CWBorderPixel | CWEventMask, &a);
    int code = fxX11UntrapErrors(dpy);
    if (code || !win) {
        err("XCreateWindow failed (X error %d)\n", code);
        XFreeColormap(dpy, a.colormap);
        return 0;
    }
    return win;
}

void fxGLDestroyWindow(Display* dpy, Window window) {
    if (!dpy || !window) return;
    XWindowAttributes attr;
    fxX11TrapErrors(dpy);
    Status ok = XGetWindowAttributes(dpy, window, &attr);
    XDestroyWindow(dpy, window);
    if (ok && attr.colormap != None && attr.colormap != DefaultColormapOfScreen(attr.screen))
        XFreeColormap(dpy, attr.colormap);
    fxX11UntrapErrors(dpy);
}
