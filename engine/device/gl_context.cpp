// The device's context handling, the same on every window system: it creates the binding for the
// window's system, makes the context current and releases it for whichever thread holds the
// environment lock, swaps, resizes, and stops drawing for good once the window is gone. What
// differs between GLX, EGL and WGL is behind FXGLContext.
#include "base/thread.h"
#include "base/trace.h"
#include "device/gl.h"
#include "device/gl_api.h"

namespace {

// True while the window drawn into exists; its loss is recorded once and for good.
bool localWindowAlive(FXGL* gl) {
    if (gl->windowLost.load()) return false;
    if (gl->context->WindowAlive()) return true;
    gl->windowLost = true;
    return false;
}

}  // namespace

bool FXGL::CreateOn(const FXNativeWindow& target) {
    Destroy();
    lock = fxCreateMutex();
    window = target.Handle();
    if (!target.IsSet()) return false;
    context = fxGLMakeContext(target.system);
    if (!context) {
        err("FXGL -> this build has no OpenGL binding for the window's system\n");
        return false;
    }
    FXGLGeometry g;
    if (!context->Create(target, &g)) return false;
    width = g.width;
    height = g.height;
    screenWidth = g.screenWidth;
    screenHeight = g.screenHeight;
    window = context->Drawn().Handle();
    context->MakeCurrent();
    bool r = InitExtensions();
    ClrParams();
    context->Release();
    return r;
}

void* FXGL::ProcAddress(const char* name) { return context ? context->ProcAddress(name) : fxGLGetProcAddress(name); }

void FXGL::Destroy() {
    PEnv::Destroy();
    if (context) context->Destroy();
    context.reset();
    windowLost = false;
    window = nullptr;
    enlarged = false;
}

void FXGL::SetAct(bool on) {
    if (!HasContext()) return;  // no context: a make-current would be an error
    if (!on)
        context->Release();
    else if (localWindowAlive(this))
        context->MakeCurrent();
}

bool FXGL::CanIssueCalls() const { return windowLost.load() || (context && context->IsCurrent()); }

bool FXGL::RenderStart() { return !windowLost.load(); }

void FXGL::RenderEnd() {
    if (HasContext() && localWindowAlive(this)) context->Swap();
}

bool FXGL::PresentsPart() const { return HasContext() && context->PresentsPart(); }

void FXGL::RenderEndPart(const FXScreenRects& areas) {
    if (!HasContext() || !localWindowAlive(this)) return;
    if (!context->PresentsPart()) {
        context->Swap();
        return;
    }
    for (int i = 0; i < areas.Count(); i++) {
        const FXScreenRect r = areas.Get(i).ClampedTo(width, height);
        if (!r.Empty()) context->PresentPart(r.x0, r.y0, r.Width(), r.Height());
    }
}

void FXGL::Enlarge(bool on) {
    FXGRAutoAct act(this);
    if (!context || (!on && !enlarged)) return;
    if (!context->Enlarge(on, screenWidth, screenHeight, &width, &height)) return;
    glViewport(0, 0, width, height);
    enlarged = on;
}

void FXGL::Resize(int w, int h) {
    if (w <= 0 || h <= 0 || !HasContext()) return;
    FXGRAutoAct act(this);
    context->Resize(w, h);
    width = w;
    height = h;
    ClrParams();
}
