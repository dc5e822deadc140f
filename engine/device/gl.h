// FXGL, the OpenGL device: the only concrete render environment. It owns the rendering context
// of the saver window, probes the extensions it relies on, sets the fixed render state and
// implements the device operations (buffers, matrices, lights, materials, depth and culling,
// texture upload and mesh drawing). OpenGL 1.x, fixed function, immediate mode.
//
// gl.cpp holds what is the same on every platform; the platform file (gl_x11.cpp, gl_w32.cpp)
// provides context handling: CreateChild, Destroy, SetAct, RenderStart, RenderEnd, Enlarge and
// the lookup of extension entry points.
//
// The window drawn into may belong to someone else (a preview pane, a launcher) and vanish at any
// moment. The platform file checks that it still exists whenever the context is made current and
// before each swap; once it is gone (windowLost), nothing is drawn or swapped any more.
#pragma once

#include "render/render.h"

class FXGL : public PEnv {
public:
    struct Rect {
        int left = 0, top = 0, right = 0, bottom = 0;
    };

    void* childWindow = nullptr;  // the window the context draws into
    void* oldParent = nullptr;    // the parent saved by Enlarge(true)
    Rect oldRect;                 // the rectangle saved by Enlarge(true), relative to oldParent
    void* hdc = nullptr;          // the drawing connection (X11: the Display*)
    void* hglrc = nullptr;        // the rendering context
    void* ownWindow = nullptr;    // a window the device created itself (visual mismatch), or null
    float clearColor[4] = {0, 0, 0, 0};
    bool hasBgra = false;
    bool hasSeparateSpecular = false;
    bool hasEdgeClamp = false;
    bool hasMultitexture = false;
    bool hasCubeMap = false;
    std::atomic<bool> windowLost{false};  // the drawn-into window no longer exists

    FXGL();
    ~FXGL() override;

    // ---- platform file ----
    bool CreateChild(void* window) override;
    void Destroy() override;
    void SetAct(bool on) override;
    // False once the window is gone: the frame is not drawn.
    bool RenderStart() override;
    void RenderEnd() override;
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
