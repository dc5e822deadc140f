// What an OpenGL binding (GLX, EGL, WGL) provides to the device: a rendering context on one
// window, made current on and released from whichever thread holds the environment lock, buffer
// swaps, the check that the window still exists, and the entry points of extensions. The device
// (gl_context.cpp) picks the binding from the window's system when it is created; the bindings
// live in the platform files gl_x11.cpp (GLX), gl_egl.cpp (EGL on Wayland) and gl_w32.cpp (WGL).
#pragma once

#include <memory>

#include "device/native_window.h"

// The sizes a binding reads when it is created.
struct FXGLGeometry {
    int width = 0, height = 0;              // the window's client area
    int screenWidth = 0, screenHeight = 0;  // the screen (or output) it is on
};

class FXGLContext {
public:
    virtual ~FXGLContext() = default;

    // Makes a rendering context for window (not current afterwards) and reads the sizes. False
    // when it cannot; Destroy then releases whatever was made on the way.
    virtual bool Create(const FXNativeWindow& window, FXGLGeometry* geometry) = 0;
    // Releases the context and everything the binding made. Harmless when repeated, and makes no
    // call on a connection that is gone.
    virtual void Destroy() = 0;
    // A context exists and its connection is alive: calls on it are safe.
    virtual bool Usable() const = 0;
    // Whether the window drawn into still exists. Found gone, it says so once in the trace log.
    virtual bool WindowAlive() = 0;
    virtual void MakeCurrent() = 0;
    virtual void Release() = 0;
    virtual bool IsCurrent() const = 0;
    // Shows the back buffer. Context current.
    virtual void Swap() = 0;
    // Whether PresentPart works: it shows a rectangle of the back buffer, keeps the rest of the
    // window, and leaves the back buffer as it is. Bindings without it keep full swaps.
    virtual bool PresentsPart() const { return false; }
    // Shows the rectangle x, y (from the bottom-left), w x h of the back buffer. Context current.
    virtual void PresentPart(int, int, int, int) { Swap(); }
    // An extension's entry point by name (null when unknown to the binding).
    virtual void* ProcAddress(const char* name) = 0;
    // Moves the window to the root of its screen, full size (on), or back where it was (off), and
    // reads the client size then. False when the window cannot be moved (the sizes stay).
    virtual bool Enlarge(bool on, int screenWidth, int screenHeight, int* width, int* height) = 0;
    // Sets the size of a window whose size the program chooses (a Wayland surface after a new
    // configure); other bindings follow the window system and do nothing.
    virtual void Resize(int, int) {}
    // The window actually drawn into: the given one, or one the binding made inside it.
    virtual FXNativeWindow Drawn() const = 0;
};

// A binding for windows of system, or null when this build has none for it.
std::unique_ptr<FXGLContext> fxGLMakeContext(FXNativeWindow::System system);
