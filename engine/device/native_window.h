// The window a device draws into, as a typed value: which window system it belongs to and that
// system's handles. The device picks its OpenGL binding from it at run time (GLX for X11, EGL for
// Wayland, WGL for Windows), so one Linux program can draw on either window system. Only the
// handle types are named here; nothing of a window system's headers is needed to pass one on.
#pragma once

#include <cstdint>

struct _XDisplay;  // Xlib's Display
struct wl_display;
struct wl_surface;
struct HWND__;  // a Windows HWND

struct FXNativeWindow {
    enum class System { kNone, kX11, kWayland, kWin32 };

    System system = System::kNone;
    _XDisplay* xDisplay = nullptr;  // X11: the connection
    unsigned long xWindow = 0;      // X11: the window id
    wl_display* wlDisplay = nullptr;  // Wayland: the connection
    wl_surface* wlSurface = nullptr;  // Wayland: the surface (its role already given and configured)
    HWND__* hwnd = nullptr;           // Windows
    // Wayland: the surface's size in pixels, which only the program knows (the compositor's
    // configure times the buffer scale). Elsewhere the device asks the window system.
    int width = 0, height = 0;

    static FXNativeWindow X11(_XDisplay* dpy, unsigned long window) {
        FXNativeWindow w;
        w.system = System::kX11;
        w.xDisplay = dpy;
        w.xWindow = window;
        return w;
    }
    static FXNativeWindow Wayland(wl_display* dpy, wl_surface* surface, int width, int height) {
        FXNativeWindow w;
        w.system = System::kWayland;
        w.wlDisplay = dpy;
        w.wlSurface = surface;
        w.width = width;
        w.height = height;
        return w;
    }
    static FXNativeWindow Win32(HWND__* window) {
        FXNativeWindow w;
        w.system = System::kWin32;
        w.hwnd = window;
        return w;
    }

    // Whether a window is named at all.
    bool IsSet() const { return xWindow || wlSurface || hwnd; }
    // The window as the render environment's untyped handle (PEnv::window).
    void* Handle() const {
        if (system == System::kX11) return reinterpret_cast<void*>(static_cast<uintptr_t>(xWindow));
        if (system == System::kWayland) return wlSurface;
        return hwnd;
    }
};
