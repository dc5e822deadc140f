// The OpenGL binding on X11 with GLX: a legacy rendering context on the saver window (or on a
// child window of ours when the given window has another visual), buffer swaps, and the detach
// to full-screen size. No GLX call is made without a context or once the display connection is
// gone. This file also chooses the Linux build's binding for a window's system: GLX for X11, EGL
// for Wayland when the build has it.
//
// Before the context is made current and before each swap the window is looked up on the server:
// a window destroyed by another client (a preview pane closing, a launcher tearing down its
// window) must not be drawn into again, or the software renderer crashes in its worker threads.
#include <GL/glx.h>

#include "base/gl_keep.h"
#include "base/trace.h"
#include "base/x11_display.h"
#include "device/gl.h"
#include "device/gl_api.h"
#include "device/gl_context.h"

namespace {

typedef void (*FXPfnCopySubBuffer)(Display*, GLXDrawable, int, int, int, int);

// glXCopySubBufferMESA where the server's GLX lists GLX_MESA_copy_sub_buffer (Mesa's software
// GLX under Xvfb does), else null. The entry point is looked up only for a listed extension.
FXPfnCopySubBuffer localCopySubBuffer(Display* dpy, int screen) {
    if (!FXGL::TestExtensionString(glXQueryExtensionsString(dpy, screen), "GLX_MESA_copy_sub_buffer")) return nullptr;
    return reinterpret_cast<FXPfnCopySubBuffer>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
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

class FXGLXContext : public FXGLContext {
public:
    ~FXGLXContext() override { Destroy(); }

    bool Create(const FXNativeWindow& target, FXGLGeometry* g) override {
        dpy_ = target.xDisplay;
        window_ = target.xWindow;
        if (!dpy_ || !window_) return false;
        XWindowAttributes attr;
        fxX11TrapErrors(dpy_);
        Status ok = XGetWindowAttributes(dpy_, window_, &attr);
        if (fxX11UntrapErrors(dpy_) != 0 || !ok) return false;
        g->screenWidth = WidthOfScreen(attr.screen);
        g->screenHeight = HeightOfScreen(attr.screen);
        g->width = attr.width;
        g->height = attr.height;

        XVisualInfo* vi = fxGLChooseVisual(dpy_);
        if (!vi) return false;
        if (attr.visual->visualid != vi->visualid) {
            // A window made by someone else (a launcher's, a preview pane's): draw into a child of
            // our visual that covers it.
            Window child = fxGLCreateWindow(dpy_, window_, 0, 0, attr.width, attr.height, 0);
            if (!child) return false;
            XMapWindow(dpy_, child);
            XSync(dpy_, False);
            ownWindow_ = child;
            window_ = child;
        }
        ctx_ = glXCreateContext(dpy_, vi, nullptr, True);
        if (!ctx_) return false;
        // A child of ours is exposed without the saver's window hearing of it, so a part shown
        // there could leave stale pixels: only the window we were given is drawn in parts.
        if (!ownWindow_) copySubBuffer_ = localCopySubBuffer(dpy_, XScreenNumberOfScreen(attr.screen));
        return true;
    }

    void Destroy() override {
        if (Display* dpy = LiveDisplay()) {
            if (ctx_) {
                glXMakeCurrent(dpy, None, nullptr);
                glXDestroyContext(dpy, ctx_);
            }
            if (ownWindow_) fxGLDestroyWindow(dpy, ownWindow_);
            XFlush(dpy);
        }
        ctx_ = nullptr;
        copySubBuffer_ = nullptr;
        dpy_ = nullptr;
        ownWindow_ = 0;
        window_ = 0;
        oldParent_ = 0;
    }

    bool Usable() const override { return LiveDisplay() && ctx_; }

    // A round trip: only the server knows whether another client destroyed the window a moment ago.
    bool WindowAlive() override {
        if (fxX11IsWindow(LiveDisplay(), window_)) return true;
        // Not a fault: launchers and preview panes end a saver by taking its window away.
        trc("FXGL -> the window 0x%lx is gone; nothing more is drawn into it\n", window_);
        return false;
    }

    void MakeCurrent() override {
        glXMakeCurrent(dpy_, window_, ctx_);
        if (!keptDriver_) fxKeepGLDriverLoaded();
        keptDriver_ = true;
    }
    void Release() override { glXMakeCurrent(dpy_, None, nullptr); }
    bool IsCurrent() const override { return ctx_ && glXGetCurrentContext() == ctx_; }
    void Swap() override { glXSwapBuffers(dpy_, window_); }
    bool PresentsPart() const override { return copySubBuffer_ != nullptr; }
    void PresentPart(int x, int y, int w, int h) override {
        if (copySubBuffer_)
            copySubBuffer_(dpy_, window_, x, y, w, h);
        else
            Swap();
    }
    void* ProcAddress(const char* name) override { return fxGLGetProcAddress(name); }

    bool Enlarge(bool on, int screenWidth, int screenHeight, int* width, int* height) override {
        Display* dpy = LiveDisplay();
        Window w = window_;
        if (!dpy || !w) return false;
        if (on) {
            if (!oldParent_) {
                Window root = 0, parent = 0, *children = nullptr;
                unsigned n = 0;
                XWindowAttributes a;
                fxX11TrapErrors(dpy);
                Status okTree = XQueryTree(dpy, w, &root, &parent, &children, &n);
                Status okAttr = XGetWindowAttributes(dpy, w, &a);
                if (children) XFree(children);
                if (fxX11UntrapErrors(dpy) != 0 || !okTree || !okAttr) return false;
                // Position within the parent, as the window is put back there later.
                oldX_ = a.x;
                oldY_ = a.y;
                oldWidth_ = a.width;
                oldHeight_ = a.height;
                oldParent_ = parent;
                XReparentWindow(dpy, w, root, 0, 0);
            }
            XMoveResizeWindow(dpy, w, 0, 0, unsigned(screenWidth), unsigned(screenHeight));
            XRaiseWindow(dpy, w);
        } else {
            if (!oldParent_) return false;
            XReparentWindow(dpy, w, oldParent_, oldX_, oldY_);
            oldParent_ = 0;
            XMoveResizeWindow(dpy, w, oldX_, oldY_, unsigned(oldWidth_), unsigned(oldHeight_));
        }
        XSync(dpy, False);
        localClientSize(dpy, w, width, height);
        return true;
    }

    FXNativeWindow Drawn() const override { return FXNativeWindow::X11(dpy_, window_); }

private:
    Display* dpy_ = nullptr;
    Window window_ = 0;     // the window drawn into
    Window ownWindow_ = 0;  // a window made here (visual mismatch), or 0
    GLXContext ctx_ = nullptr;
    FXPfnCopySubBuffer copySubBuffer_ = nullptr;  // null without GLX_MESA_copy_sub_buffer
    bool keptDriver_ = false;
    Window oldParent_ = 0;  // the parent left by Enlarge(true); 0 when not enlarged
    int oldX_ = 0, oldY_ = 0, oldWidth_ = 0, oldHeight_ = 0;

    // The connection the context was made on, while it is still open.
    Display* LiveDisplay() const {
        return (dpy_ && dpy_ == fxX11GetDisplay() && !fxX11DisplayLost()) ? dpy_ : nullptr;
    }
};

}  // namespace

void* fxGLGetProcAddress(const char* name) {
    return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

#ifdef QM_WAYLAND
std::unique_ptr<FXGLContext> fxGLMakeEGLContext();
#endif

std::unique_ptr<FXGLContext> fxGLMakeContext(FXNativeWindow::System system) {
    if (system == FXNativeWindow::System::kX11) return std::unique_ptr<FXGLContext>(new FXGLXContext);
#ifdef QM_WAYLAND
    if (system == FXNativeWindow::System::kWayland) return fxGLMakeEGLContext();
#endif
    return nullptr;
}

bool FXGL::CreateChild(void* handle) {
    if (!handle) return CreateOn(FXNativeWindow());
    return CreateOn(FXNativeWindow::X11(fxX11OpenDisplay(), fxX11Window(handle)));
}
