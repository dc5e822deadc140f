// The OpenGL device on Windows with WGL: a rendering context on the saver window's device context,
// made current on whichever thread holds the environment lock, buffer swaps, and the detach to
// full-screen size. Before the context is made current and before each swap the window is looked
// up: a window destroyed by its owner (a preview pane closing) is not drawn into again.
#include <windows.h>

#include "base/thread.h"
#include "base/trace.h"
#include "device/gl.h"
#include "device/gl_api.h"

namespace {

HWND localWindow(void* handle) { return static_cast<HWND>(handle); }

bool localWindowAlive(FXGL* gl) {
    if (gl->windowLost.load()) return false;
    if (IsWindow(localWindow(gl->childWindow))) return true;
    gl->windowLost = true;
    trc("FXGL -> the window %p is gone; nothing more is drawn into it\n", gl->childWindow);
    return false;
}

void localClientSize(HWND w, int* width, int* height) {
    RECT r;
    if (GetClientRect(w, &r)) {
        *width = r.right;
        *height = r.bottom;
    }
}

}  // namespace

void* fxGLGetProcAddress(const char* name) { return reinterpret_cast<void*>(wglGetProcAddress(name)); }

bool FXGL::CreateChild(void* handle) {
    Destroy();
    lock = fxCreateMutex();
    childWindow = handle;
    window = handle;
    if (!handle) return false;
    HWND w = localWindow(handle);
    screenWidth = GetSystemMetrics(SM_CXSCREEN);
    screenHeight = GetSystemMetrics(SM_CYSCREEN);
    localClientSize(w, &width, &height);
    HDC dc = GetDC(w);
    if (!dc) return false;
    hdc = dc;

    // Asked for as a request: the driver grants what it has (often depth 24, stencil 8).
    PIXELFORMATDESCRIPTOR pfd;
    ZeroMemory(&pfd, sizeof(pfd));
    pfd.nSize = sizeof(pfd);
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 24;
    pfd.cDepthBits = 16;
    pfd.cStencilBits = 16;
    pfd.iLayerType = PFD_MAIN_PLANE;
    int format = ChoosePixelFormat(dc, &pfd);
    if (format == 0 || !SetPixelFormat(dc, format, &pfd)) return false;
    HGLRC ctx = wglCreateContext(dc);
    if (!ctx) return false;
    hglrc = ctx;
    wglMakeCurrent(dc, ctx);
    bool r = InitExtensions();
    ClrParams();
    wglMakeCurrent(nullptr, nullptr);
    return r;
}

void FXGL::Destroy() {
    PEnv::Destroy();
    if (hglrc) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(static_cast<HGLRC>(hglrc));
    }
    if (hdc && childWindow) ReleaseDC(localWindow(childWindow), static_cast<HDC>(hdc));
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
    if (!hdc || !hglrc) return;
    if (!on)
        wglMakeCurrent(nullptr, nullptr);
    else if (localWindowAlive(this))
        wglMakeCurrent(static_cast<HDC>(hdc), static_cast<HGLRC>(hglrc));
}

bool FXGL::CanIssueCalls() const {
    return windowLost.load() || (hglrc && wglGetCurrentContext() == static_cast<HGLRC>(hglrc));
}

bool FXGL::RenderStart() { return !windowLost.load(); }

void FXGL::RenderEnd() {
    if (hdc && hglrc && localWindowAlive(this)) SwapBuffers(static_cast<HDC>(hdc));
}

void FXGL::Enlarge(bool on) {
    FXGRAutoAct act(this);
    HWND w = localWindow(childWindow);
    if (!w) return;
    if (on) {
        if (!enlarged) {
            RECT r;
            GetWindowRect(w, &r);
            HWND parent = SetParent(w, nullptr);
            RECT pr = {0, 0, 0, 0};
            if (parent) GetWindowRect(parent, &pr);
            oldRect.left = r.left - pr.left;
            oldRect.top = r.top - pr.top;
            oldRect.right = r.right - pr.left;
            oldRect.bottom = r.bottom - pr.top;
            oldParent = parent;
        }
        SetWindowPos(w, nullptr, 0, 0, screenWidth, screenHeight, 0);
        localClientSize(w, &width, &height);
        glViewport(0, 0, width, height);
        enlarged = true;
    } else if (enlarged) {
        SetParent(w, localWindow(oldParent));
        oldParent = nullptr;
        SetWindowPos(w, nullptr, oldRect.left, oldRect.top, oldRect.right - oldRect.left,
                     oldRect.bottom - oldRect.top, 0);
        localClientSize(w, &width, &height);
        glViewport(0, 0, width, height);
        enlarged = false;
    }
}
