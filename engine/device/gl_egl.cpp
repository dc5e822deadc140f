// The OpenGL binding on Wayland with EGL: a wl_egl_window on the saver's surface, desktop OpenGL
// (eglBindAPI(EGL_OPENGL_API)) with a legacy context, so the device keeps its OpenGL 1.x fixed
// function and GLU, made current on whichever thread holds the environment lock; buffer swaps
// that never wait for the compositor's frame callback (the scene paces itself, and a surface the
// compositor stops showing must not block the render thread holding the lock).
//
// The surface's size is the program's to set (from the compositor's configure): Resize follows
// it. There is no window to lose but the connection: once the compositor is gone, nothing more is
// drawn or swapped. Several devices (one per output) share one EGL display; it is terminated when
// the last of them goes.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <mutex>

#include "base/trace.h"
#include "device/gl.h"
#include "device/gl_context.h"
#include "base/gl_keep.h"

namespace {

// Devices using each EGL display, so the last one out terminates it.
struct localDisplayUse {
    std::mutex mutex;
    EGLDisplay display = EGL_NO_DISPLAY;
    int users = 0;
};
localDisplayUse& localUse() {
    static localDisplayUse use;
    return use;
}

// An opaque colour buffer: an alpha channel would let the compositor blend the desktop through
// wherever the scene clears to transparent black. A 16-bit stencil is asked first, as on GLX.
EGLConfig localChooseConfig(EGLDisplay dpy) {
    for (int stencil : {16, 8, 0}) {
        const EGLint attribs[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                  EGL_RED_SIZE,     8,              EGL_GREEN_SIZE,      8,
                                  EGL_BLUE_SIZE,    8,              EGL_DEPTH_SIZE,      16,
                                  EGL_STENCIL_SIZE, stencil,        EGL_NONE};
        EGLConfig configs[64];
        EGLint n = 0;
        if (!eglChooseConfig(dpy, attribs, configs, 64, &n)) continue;
        for (EGLint i = 0; i < n; i++) {
            EGLint alpha = 0;
            eglGetConfigAttrib(dpy, configs[i], EGL_ALPHA_SIZE, &alpha);
            if (alpha == 0) return configs[i];
        }
    }
    return nullptr;
}

class FXEGLContext : public FXGLContext {
public:
    ~FXEGLContext() override { Destroy(); }

    bool Create(const FXNativeWindow& target, FXGLGeometry* g) override {
        target_ = target;
        if (!target.wlDisplay || !target.wlSurface || target.width <= 0 || target.height <= 0) return false;
        g->width = g->screenWidth = target.width;
        g->height = g->screenHeight = target.height;
        if (!Join(target.wlDisplay)) return false;
        if (!eglBindAPI(EGL_OPENGL_API)) {
            err("EGL: no desktop OpenGL (eglBindAPI 0x%x)\n", unsigned(eglGetError()));
            return false;
        }
        EGLConfig config = localChooseConfig(dpy_);
        if (!config) {
            err("EGL: no opaque RGB configuration with a depth buffer for OpenGL\n");
            return false;
        }
        // No attributes: a legacy context, which is the compatibility profile of the newest
        // version the driver has (fixed function and all).
        ctx_ = eglCreateContext(dpy_, config, EGL_NO_CONTEXT, nullptr);
        if (ctx_ == EGL_NO_CONTEXT) {
            err("EGL: eglCreateContext failed (0x%x)\n", unsigned(eglGetError()));
            return false;
        }
        window_ = wl_egl_window_create(target.wlSurface, target.width, target.height);
        if (!window_) {
            err("EGL: wl_egl_window_create failed\n");
            return false;
        }
        surface_ = eglCreateWindowSurface(dpy_, config, reinterpret_cast<EGLNativeWindowType>(window_), nullptr);
        if (surface_ == EGL_NO_SURFACE) {
            err("EGL: eglCreateWindowSurface failed (0x%x)\n", unsigned(eglGetError()));
            return false;
        }
        return true;
    }

    void Destroy() override {
        if (dpy_ != EGL_NO_DISPLAY) {
            if (IsCurrent()) eglMakeCurrent(dpy_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            if (surface_ != EGL_NO_SURFACE) eglDestroySurface(dpy_, surface_);
            if (ctx_ != EGL_NO_CONTEXT) eglDestroyContext(dpy_, ctx_);
        }
        if (window_) wl_egl_window_destroy(window_);
        surface_ = EGL_NO_SURFACE;
        ctx_ = EGL_NO_CONTEXT;
        window_ = nullptr;
        Leave();
        target_ = FXNativeWindow();
    }

    bool Usable() const override { return ctx_ != EGL_NO_CONTEXT && surface_ != EGL_NO_SURFACE && ConnectionAlive(); }

    bool WindowAlive() override {
        if (ConnectionAlive()) return true;
        trc("FXGL -> the compositor connection is gone; nothing more is drawn\n");
        return false;
    }

    void MakeCurrent() override {
        if (!eglMakeCurrent(dpy_, surface_, surface_, ctx_)) return;
        if (!configured_) {
            // Swaps hand the buffer over and return: the compositor's frame callbacks are not
            // waited for.
            eglSwapInterval(dpy_, 0);
            fxKeepGLDriverLoaded();
            configured_ = true;
        }
    }
    void Release() override { eglMakeCurrent(dpy_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT); }
    bool IsCurrent() const override { return ctx_ != EGL_NO_CONTEXT && eglGetCurrentContext() == ctx_; }
    void Swap() override {
        if (!eglSwapBuffers(dpy_, surface_)) trc("EGL: eglSwapBuffers failed (0x%x)\n", unsigned(eglGetError()));
    }
    void* ProcAddress(const char* name) override { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

    // A surface already covers its output; there is nothing to move.
    bool Enlarge(bool, int, int, int*, int*) override { return false; }

    void Resize(int width, int height) override {
        if (window_ && width > 0 && height > 0) wl_egl_window_resize(window_, width, height, 0, 0);
        target_.width = width;
        target_.height = height;
    }

    FXNativeWindow Drawn() const override { return target_; }

private:
    FXNativeWindow target_;
    EGLDisplay dpy_ = EGL_NO_DISPLAY;
    EGLContext ctx_ = EGL_NO_CONTEXT;
    EGLSurface surface_ = EGL_NO_SURFACE;
    wl_egl_window* window_ = nullptr;
    bool configured_ = false;  // swap interval set (and the driver kept) on the first make-current

    bool ConnectionAlive() const { return target_.wlDisplay && wl_display_get_error(target_.wlDisplay) == 0; }

    // Initialises the EGL display of the connection (shared with other devices on it).
    bool Join(wl_display* wl) {
        localDisplayUse& use = localUse();
        std::lock_guard<std::mutex> guard(use.mutex);
        EGLDisplay dpy = eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, wl, nullptr);
        if (dpy == EGL_NO_DISPLAY) {
            err("EGL: no display for the Wayland connection (0x%x)\n", unsigned(eglGetError()));
            return false;
        }
        if (use.users == 0 || use.display != dpy) {
            EGLint major = 0, minor = 0;
            if (!eglInitialize(dpy, &major, &minor)) {
                err("EGL: eglInitialize failed (0x%x)\n", unsigned(eglGetError()));
                return false;
            }
            if (use.users == 0) trc("EGL %d.%d on Wayland: %s\n", major, minor, eglQueryString(dpy, EGL_VENDOR));
        }
        if (use.display != dpy) {
            use.display = dpy;
            use.users = 0;
        }
        use.users++;
        dpy_ = dpy;
        return true;
    }

    void Leave() {
        if (dpy_ == EGL_NO_DISPLAY) return;
        localDisplayUse& use = localUse();
        std::lock_guard<std::mutex> guard(use.mutex);
        if (use.display == dpy_ && --use.users == 0) {
            eglTerminate(dpy_);
            use.display = EGL_NO_DISPLAY;
        }
        dpy_ = EGL_NO_DISPLAY;
        configured_ = false;
    }
};

}  // namespace

std::unique_ptr<FXGLContext> fxGLMakeEGLContext() { return std::unique_ptr<FXGLContext>(new FXEGLContext); }
