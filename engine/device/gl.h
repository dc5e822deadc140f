// FXGL, the OpenGL device: the only concrete render environment. It owns the rendering context
// of the saver window, probes the extensions it relies on, sets the fixed render state and
// implements the device operations (buffers, matrices, lights, materials, depth and culling,
// texture upload and mesh drawing). OpenGL 1.x, fixed function, immediate mode.
//
// gl.cpp holds the state operations; gl_context.cpp the context handling, through the OpenGL
// binding (gl_context.h) chosen at run time for the window's system: GLX (gl_x11.cpp), EGL on
// Wayland (gl_egl.cpp), WGL (gl_w32.cpp). The platform file turns CreateChild's handle into a
// typed window (native_window.h).
//
// The window drawn into may belong to someone else (a preview pane, a launcher) and vanish at any
// moment. The device checks that it still exists whenever the context is made current and before
// each swap; once it is gone (windowLost), nothing is drawn or swapped any more.
#pragma once

#include <memory>

#include "device/gl_context.h"
#include "device/native_window.h"
#include "render/render.h"

class FXGL : public PEnv {
public:
    std::unique_ptr<FXGLContext> context;  // the binding's context on the window, or null
    float clearColor[4] = {0, 0, 0, 0};
    bool hasBgra = false;
    bool hasSeparateSpecular = false;
    bool hasEdgeClamp = false;
    bool hasMultitexture = false;
    bool hasCubeMap = false;
    std::atomic<bool> windowLost{false};  // the drawn-into window no longer exists

    FXGL();
    ~FXGL() override;

    // ---- platform file: the window system's handle as a typed window, then CreateOn ----
    bool CreateChild(void* window) override;

    // ---- gl_context.cpp ----
    // Makes the device on window with the binding of its system: the context, the fixed render
    // state, the extensions probed. False as CreateChild.
    bool CreateOn(const FXNativeWindow& window);
    // A rendering context exists (CreateChild may return false with one: no edge clamping).
    bool HasContext() const { return context && context->Usable(); }
    // The window drawn into (the given one, or one the device made inside it); unset without one.
    FXNativeWindow DrawnWindow() const { return context ? context->Drawn() : FXNativeWindow(); }
    // A window whose size the program sets (a Wayland surface) has a new size: the drawable
    // follows and the viewport is reset. Takes the lock and the context itself.
    void Resize(int width, int height);
    // An extension's entry point: from the binding, or without a context from the platform's
    // default lookup.
    void* ProcAddress(const char* name);
    void Destroy() override;
    void SetAct(bool on) override;
    // False once the window is gone: the frame is not drawn.
    bool RenderStart() override;
    void RenderEnd() override;
    // Where the binding can show a part of the back buffer (GLX_MESA_copy_sub_buffer), and the
    // window is one the binding draws into directly.
    bool PresentsPart() const override;
    // With a partial present every frame is shown that way, the whole window included, so the
    // back buffer always keeps the picture last drawn.
    void RenderEndPart(const FXScreenRects& areas) override;
    void Enlarge(bool on) override;
    // The rendering context is current on the calling thread, or the window it drew into is gone
    // (then nothing can be made current and OpenGL calls go nowhere, harmlessly). What the device
    // draws or uploads needs this; the device asserts it.
    bool CanIssueCalls() const;

    // ---- gl.cpp ----
    void ClrParams() override;
    void SetClrColor(float* rgba) override;
    void Clrscr(bool colour, bool depth, bool stencil) override;
    void UpdateLights() override;
    void ApplyMaterial(FXMaterial* m) override;
    void ApplyMaterial2(FXMaterial* m) override;
    void ApplyMatrix(FXMatrix* m) override;
    void MultiplyMatrix(FXMatrix* m) override;
    void ApplyMatrixIdentity() override;
    void EnableLights(bool on) override;
    void EnableLight(bool on, FXLight* light) override;
    void DisableAllLights() override;
    void SetAmbient(float* rgba) override;
    void EnableDepthTest(bool on) override;
    void EnableDepthWrite(bool on) override;
    void EnableCullface(bool front, bool back) override;
    void SetDrawArea(const FXScreenRect& area) override;

    // ---- gl_texture.cpp, gl_mesh.cpp ----
    bool PrepareTexture(FXMaterial* m) override;
    bool FastPrepareTexture(FXMaterial* m, FXPixmap* p) override;
    bool PrepareCubeTexture(FXMaterial* m, FXPixmap* px, FXPixmap* nx, FXPixmap* py,
                            FXPixmap* ny, FXPixmap* pz, FXPixmap* nz) override;
    void UnprepareTexture(FXMaterial* m) override;
    bool PrepareMesh(FXMesh* mesh) override;
    void UnprepareMesh(FXMesh* mesh) override;
    void RenderMesh(FXMesh* mesh) override;

    // ---- gl.cpp ----
    void EnableNormalize(bool on) override;
    void EnableSphereMap(bool on) override;
    bool ReadBackBuffer(int w, int h, unsigned char* rgba) override;

    // Reads the driver strings and the extension list (context current); writes the trace lines
    // and returns hasEdgeClamp.
    bool InitExtensions();
    // Probes a list as the driver gives it: the whole extension string and one name.
    bool InitExtensionsFrom(const char* extensions);
    // True when name occurs in extensions followed by a blank or the end of the string.
    static bool TestExtensionString(const char* extensions, const char* name);
    // True with multitexturing; otherwise reports the missing capability when asked to.
    bool TestGL(bool showMessage);
};

// The text shown by TestGL when the device cannot multitexture.
extern const char* const kFXGLCapabilityMessage;

// ---- platform file: extension entry points by name (null when unknown) ----
void* fxGLGetProcAddress(const char* name);
