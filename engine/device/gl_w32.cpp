// The OpenGL binding on Windows with WGL: a rendering context on the saver window's device
// context, buffer swaps, and the detach to full-screen size. The window is looked up before the
// context is made current and before each swap: a window destroyed by its owner (a preview pane
// closing) is not drawn into again.
#include <windows.h>

#include "base/trace.h"
#include "device/gl.h"
#include "device/gl_api.h"
#include "device/gl_context.h"

namespace {

void localClientSize(HWND w, int* width, int* height) {
    RECT r;
    if (GetClientRect(w, &r)) {
        *width = r.right;
        *height = r.bottom;
    }
}

class FXWGLContext : public FXGLContext {
public:
    ~FXWGLContext() override { Destroy(); }

    bool Create(const FXNativeWindow& target, FXGLGeometry* g) override {
        window_ = target.hwnd;
        if (!window_) return false;
        g->screenWidth = GetSystemMetrics(SM_CXSCREEN);
        g->screenHeight = GetSystemMetrics(SM_CYSCREEN);
        localClientSize(window_, &g->width, &g->height);
        dc_ = GetDC(window_);
        if (!dc_) return false;

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
        int format = ChoosePixelFormat(dc_, &pfd);
        if (format == 0 || !SetPixelFormat(dc_, format, &pfd)) return false;
        ctx_ = wglCreateContext(dc_);
        return ctx_ != nullptr;
    }

    void Destroy() override {
        if (ctx_) {
            wglMakeCurrent(nullptr, nullptr);
            wglDeleteContext(ctx_);
        }
        if (dc_ && window_) ReleaseDC(window_, dc_);
        ctx_ = nullptr;
        dc_ = nullptr;
        window_ = nullptr;
        enlarged_ = false;
    }

    bool Usable() const override { return dc_ && ctx_; }

    bool WindowAlive() override {
        if (IsWindow(window_)) return true;
        trc("FXGL -> the window %p is gone; nothing more is drawn into it\n", static_cast<void*>(window_));
        return false;
    }

    void MakeCurrent() override { wglMakeCurrent(dc_, ctx_); }
    void Release() override { wglMakeCurrent(nullptr, nullptr); }
    bool IsCurrent() const override { return ctx_ && wglGetCurrentContext() == ctx_; }
    void Swap() override { SwapBuffers(dc_); }
    void* ProcAddress(const char* name) override { return fxGLGetProcAddress(name); }

    bool Enlarge(bool on, int screenWidth, int screenHeight, int* width, int* height) override {
        HWND w = window_;
        if (!w) return false;
        if (on) {
            if (!enlarged_) {
                RECT r;
                GetWindowRect(w, &r);
                HWND parent = SetParent(w, nullptr);
                RECT pr = {0, 0, 0, 0};
                if (parent) GetWindowRect(parent, &pr);
                old_.left = r.left - pr.left;
                old_.top = r.top - pr.top;
                old_.right = r.right - pr.left;
                old_.bottom = r.bottom - pr.top;
                oldParent_ = parent;
            }
            SetWindowPos(w, nullptr, 0, 0, screenWidth, screenHeight, 0);
            enlarged_ = true;
        } else {
            if (!enlarged_) return false;
            SetParent(w, oldParent_);
            oldParent_ = nullptr;
            SetWindowPos(w, nullptr, old_.left, old_.top, old_.right - old_.left, old_.bottom - old_.top, 0);
            enlarged_ = false;
        }
        localClientSize(w, width, height);
        return true;
    }

    FXNativeWindow Drawn() const override { return FXNativeWindow::Win32(window_); }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
    HGLRC ctx_ = nullptr;
    bool enlarged_ = false;
    HWND oldParent_ = nullptr;  // the parent left by Enlarge(true)
    RECT old_ = {0, 0, 0, 0};   // the rectangle there, relative to that parent
};

}  // namespace

void* fxGLGetProcAddress(const char* name) { return reinterpret_cast<void*>(wglGetProcAddress(name)); }

std::unique_ptr<FXGLContext> fxGLMakeContext(FXNativeWindow::System system) {
    if (system == FXNativeWindow::System::kWin32) return std::unique_ptr<FXGLContext>(new FXWGLContext);
    return nullptr;
}

bool FXGL::CreateChild(void* handle) { return CreateOn(FXNativeWindow::Win32(static_cast<HWND>(handle))); }
