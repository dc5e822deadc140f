// The OpenGL device on X11 with GLX: a legacy rendering context on the saver window (or on a
// child window of ours when the given window has another visual), made current on whichever
// thread holds the environment lock, buffer swaps, and the detach to full-screen size. No GLX
// call is made without a context or once the display connection is gone.
//
// Before the context is made current and before each swap the window is looked up on the server:
// a window destroyed by another client (a preview pane closing, a launcher tearing down its
// window) must not be drawn into again, or the software renderer crashes in its worker threads.
#include <GL/glx.h>

#include "base/thread.h"
#include "base/trace.h"
#include "device/gl.h"
#include "device/gl_api.h"
#include "base/gl_keep.h"
#include "base/x11_display.h"

namespace {

// The connection the device was created on, while it is still open.
Display* localLiveDisplay(void* hdc) {
    Display* dpy = static_cast<Display*>(hdc);
    return (dpy && dpy == fxX11GetDisplay() && !fxX11DisplayLost()) ? dpy : nullptr;
}

// True while the window drawn into exists; its loss is recorded once and for good. A round trip:
// only the server knows whether another client destroyed the window a moment ago.
bool localWindowAlive(FXGL* gl, Display* dpy) {
    if (gl->windowLost.load()) return false;
    Window w = fxX11Window(gl->childWindow);
    if (fxX11IsWindow(dpy, w)) return true;
    gl->windowLost = true;
    // Not a fault: launchers and preview panes end a saver by taking its window away.
    trc("FXGL -> the window 0x%lx is gone; nothing more is drawn into it\n", static_cast<unsigned long>(w));
    return false;
}

void localClientSize(Display* dpy, Window w, int* width, int* height) {
    XWindowAttributes a;
    fxX11TrapErrors(dpy);
    Status ok = XGetWindowAttributes(dpy, w, &a);
    if (fxX11UntrapErrors(dpy) == 0 && ok) {
        *width = a.width;
        *height = a.height;
    }
}

}  // namespace

void* fxGLGetProcAddress(const char* name) {
    return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

bool FXGL::CreateChild(void* handle) {
    Destroy();
    lock = fxCreateMutex();
    childWindow = handle;
    window = handle;
    if (!handle) return false;

    Display* dpy = fxX11OpenDisplay();
    if (!dpy) return false;
    Window w = fxX11Window(handle);
    XWindowAttributes attr;
    fxX11TrapErrors(dpy);
    Status ok = XGetWindowAttributes(dpy, w, &attr);
    if (fxX11UntrapErrors(dpy) != 0 || !ok) return false;
    screenWidth = WidthOfScreen(attr.screen);
    screenHeight = HeightOfScreen(attr.screen);
    width = attr.width;
    height = attr.height;
    hdc = dpy;

    XVisualInfo* vi = fxGLChooseVisual(dpy);
    if (!vi) return false;
    if (attr.visual->visualid != vi->visualid) {
        // A window made by someone else (a launcher's, a preview pane's): draw into a child of
        // our visual that covers it.
        Window child = fxGLCreateWindow(dpy, w, 0, 0, width, height, 0);
        if (!child) return false;
        XMapWindow(dpy, child);
        XSync(dpy, False);
        ownWindow = fxX11Handle(child);
        childWindow = ownWindow;
        window = ownWindow;
    }

    GLXContext ctx = glXCreateContext(dpy, vi, nullptr, True);
    if (!ctx) return false;
    hglrc = ctx;
    glXMakeCurrent(dpy, fxX11Window(childWindow), ctx);
    fxKeepGLDriverLoaded();
    bool r = InitExtensions();
    ClrParams();
    glXMakeCurrent(dpy, None, nullptr);
    return r;
}

void FXGL::Destroy() {
    PEnv::Destroy();
    if (Display* dpy = localLiveDisplay(hdc)) {
        if (hglrc) {
            glXMakeCurrent(dpy, None, nullptr);
            glXDestroyContext(dpy, static_cast<GLXContext>(hglrc));
        }
        if (ownWindow) fxGLDestroyWindow(dpy, fxX11Window(ownWindow));
        XFlush(dpy);
    }
    hglrc = nullptr;
    hdc = nullptr;
    windowLost = false;
    ownWindow = nullptr;
    childWindow = nullptr;
    oldParent = nullptr;
    window = nullptr;
    enlarged = false;
}

void FXGL::SetAct(bool on) {
    Display* dpy = localLiveDisplay(hdc);
    if (!dpy || !hglrc) return;  // no context: a make-current would be a protocol error
    if (!on)
        glXMakeCurrent(dpy, None, nullptr);
    else if (localWindowAlive(this, dpy))
        glXMakeCurrent(dpy, fxX11Window(childWindow), static_cast<GLXContext>(hglrc));
}

bool FXGL::CanIssueCalls() const {
    return windowLost.load() || (hglrc && glXGetCurrentContext() == static_cast<GLXContext>(hglrc));
}

bool FXGL::RenderStart() { return !windowLost.load(); }

void FXGL::RenderEnd() {
    Display* dpy = localLiveDisplay(hdc);
    if (dpy && hglrc && localWindowAlive(this, dpy)) glXSwapBuffers(dpy, fxX11Window(childWindow));
}

void FXGL::Enlarge(bool on) {
    FXGRAutoAct act(this);
    Display* dpy = localLiveDisplay(hdc);
    Window w = fxX11Window(childWindow);
    if (!dpy || !w) return;
    if (on) {
        if (!enlarged) {
            Window root = 0, parent = 0, *children = nullptr;
            unsigned n = 0;
            XWindowAttributes a;
            fxX11TrapErrors(dpy);
            Status okTree = XQueryTree(dpy, w, &root, &parent, &children, &n);
            Status okAttr = XGetWindowAttributes(dpy, w, &a);
            if (children) XFree(children);
            if (fxX11UntrapErrors(dpy) != 0 || !okTree || !okAttr) return;
            // Position within the parent, as the window is put back there later.
            oldRect.left = a.x;
            oldRect.top = a.y;
            oldRect.right = a.x + a.width;
            oldRect.bottom = a.y + a.height;
            oldParent = fxX11Handle(parent);
            XReparentWindow(dpy, w, root, 0, 0);
        }
        XMoveResizeWindow(dpy, w, 0, 0, unsigned(screenWidth), unsigned(screenHeight));
        XRaiseWindow(dpy, w);
        XSync(dpy, False);
        localClientSize(dpy, w, &width, &height);
        glViewport(0, 0, width, height);
        enlarged = true;
    } else if (enlarged) {
        XReparentWindow(dpy, w, fxX11Window(oldParent), oldRect.left, oldRect.top);
        oldParent = nullptr;
        XMoveResizeWindow(dpy, w, oldRect.left, oldRect.top,
                          unsigned(oldRect.right - oldRect.left),
                          unsigned(oldRect.bottom - oldRect.top));
        XSync(dpy, False);
        localClientSize(dpy, w, &width, &height);
        glViewport(0, 0, width, height);
        enlarged = false;
    }
}
