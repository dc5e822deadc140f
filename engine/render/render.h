// The render interfaces: PRender (anything drawn once per frame) and PEnv (the render
// environment: the device, its light table, default material, material libraries and the render
// thread). The operations are declared in slot order. There is no process-wide environment:
// whatever loads or draws is handed the environment it works for, so several can live in one
// process (a scene per monitor), each on its own render thread. FXGRAutoAct locks an environment
// and makes its device current for a scope.
#pragma once

#include <atomic>

#include "base/ptr_array.h"
#include "math/3dmath.h"
#include "image/material.h"
#include "image/matlib.h"
#include "image/texture_device.h"
#include "render/screen_rect.h"

class PEnv;
class FXLight;
class FXMesh;
class FXPackage;
class FXPixmap;

class PRender {
public:
    // time: the absolute clock of fxGetTime in seconds, read once per frame by the render loop.
    virtual void OnRender(PEnv* env, double time) = 0;

protected:
    ~PRender() = default;
};

class PEnv : public PTextureDevice {
public:
    enum { kMaxLights = 8 };

    int width = 0;  // client size of the render window
    int height = 0;
    int screenWidth = 0;  // size of the screen
    int screenHeight = 0;
    bool enlarged = false;
    // The root renderable of the loop; the window thread may retarget it while the loop runs.
    std::atomic<PRender*> render{nullptr};
    bool useLock = true;
    FXLight* lights[kMaxLights] = {};
    FXMaterial defaultMaterial;  // used when a mesh has none; listed in defaultMatlib
    FXMatlib defaultMatlib;      // every loaded library falls back to it
    FXPtrArray<FXMatlib> matlibs;  // the libraries this environment loaded, shared by name
    bool testingMaterial = false;
    // Device state mirrored by the device operations and read by mesh drawing.
    bool lightsOn = false;
    bool textureOn = false;
    bool texture2On = false;
    bool depthWrite = true;
    bool depthTest = true;
    bool cullFront = false;
    bool cullBack = false;
    void* lock = nullptr;  // the environment lock
    std::atomic<bool> loopRunning{false};
    std::atomic<bool> stopRequested{false};
    void* thread = nullptr;  // the render thread
    FXMatrix matrix;         // the model-view matrix last applied
    void* window = nullptr;  // the render window (platform handle)
    bool npotTextures = false;
    // Set by the renderable during a frame: the loop starts the next frame no earlier than this
    // clock time (seconds; 0: as soon as the window thread had its turn). The loop waits outside
    // the lock. Scenes that would otherwise draw as fast as they can pace themselves with it.
    double nextFrameAt = 0.0;
    // The projection the device draws with (column-major, as set by ClrParams), for working out
    // where drawn points land (screen_rect.h).
    float projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // While set, RenderMesh grows it to cover every mesh it draws (whole when one cannot be
    // bounded): the area a group of drawing calls touched. Not owned; the caller clears it.
    FXScreenRect* drawnArea = nullptr;

    // Threads: the window thread creates, resizes and destroys the environment; while the loop
    // runs, the render thread owns it and draws every frame holding the lock with the context
    // current. Any other caller of a device operation holds the lock and makes the context
    // current first (FXGRAutoAct). Device operations need the context current on the calling
    // thread; without a context they do nothing. Nothing here throws or shows a message: a
    // failure is the result plus, where useful, a trace line.

    // Creates the lock and lists the default material in the default library.
    PEnv();
    PEnv(const PEnv&) = delete;
    PEnv& operator=(const PEnv&) = delete;
    // The textures still listed on the device are forgotten, not released (the device is gone),
    // then Destroy.
    virtual ~PEnv();

    // Makes the device for the platform window handle (not owned): its context and fixed render
    // state, the extensions probed. Window thread. False when no context can be made; the
    // environment then stays usable and draws nothing.
    virtual bool CreateChild(void* window) = 0;
    // Stops the loop, frees the loaded libraries, empties the default library, forgets the
    // textures other materials still hold here (they go with the device) and frees the lock.
    // Window thread, after the loop ended. Harmless when repeated.
    virtual void Destroy();
    // Sets the viewport to width x height and resets the fixed state (projection, depth, blending,
    // alpha test, lights off). Context current.
    virtual void ClrParams() = 0;
    // Makes the context current on the calling thread (on) or releases it (off). A context is
    // current on one thread at a time: release it before another thread takes it. Does nothing
    // without a context or once the window is gone.
    virtual void SetAct(bool on) = 0;
    // Whether a frame can be drawn: false once the window is gone (the frame is then skipped).
    virtual bool RenderStart() = 0;
    // Ends the frame: shows the back buffer (swap). Render thread, context current.
    virtual void RenderEnd() = 0;
    // Whether RenderEndPart can show a part of the back buffer and keep the rest of the window
    // as it was, leaving the back buffer as drawn (so the next frame may redraw only what
    // changed). False unless the device says so.
    virtual bool PresentsPart() const { return false; }
    // Ends the frame showing only the areas of the back buffer (clamped to the window; whole: all
    // of it) where PresentsPart, else as RenderEnd. Render thread, context current.
    virtual void RenderEndPart(const FXScreenRects&) { RenderEnd(); }
    // Limits clearing and drawing to area (clamped to the window), or lifts the limit (whole).
    // Context current. Without a device it does nothing.
    virtual void SetDrawArea(const FXScreenRect&) {}
    // Starts the render thread drawing render every frame (or points a running loop at render).
    // Window thread. False when no thread could be started.
    virtual bool StartLoop(PRender* render);
    // Asks the loop to stop and joins its thread, waiting up to timeout seconds before it says so
    // in the trace log and goes on waiting: a thread is never left running. Window thread.
    virtual void StopLoop(double timeout);
    // Takes (on) or releases (off) the environment lock; recursive, so nested takes are fine.
    virtual void Lock(bool on);
    virtual void SetClrColor(float* rgba) = 0;
    virtual void Clrscr(bool colour, bool depth, bool stencil) = 0;
    // Moves the device's window to the root of the screen, full size (on), or back (off). Takes
    // the lock and the context itself.
    virtual void Enlarge(bool on) = 0;
    // Adds light to the light table (not owned; at most kMaxLights); true when it is listed.
    virtual bool RegisterLight(FXLight* light);
    virtual void UnregisterLight(FXLight* light);
    // Sends the light table to the device: positions and colours as they are now.
    virtual void UpdateLights() = 0;
    // The material used for meshes without one (owned by the environment).
    virtual FXMaterial* GetDefaultMaterial();
    // The library every loaded library falls back to (owned by the environment).
    virtual FXMatlib* GetDefaultMatlib();
    // A material library by file name, package entry name or entry number, shared by the name it
    // was asked for: the same library with one more reference when it is loaded already. Owned
    // by the environment; the caller holds one reference and gives it back with ReleaseMatlib
    // (FXMatlibRef does both). Its textures are uploaded to this device. Never null: a library
    // that failed to load is empty, with a trace line.
    virtual FXMatlib* LoadMatlib(const char* file);
    virtual FXMatlib* LoadMatlibC(FXPackage* package, const char* name);
    virtual FXMatlib* LoadMatlibCN(FXPackage* package, int id);
    // Gives back one reference to lib. A library this environment loaded is deleted with its
    // last reference (and loaded afresh when asked for again); any other only loses the count.
    virtual void ReleaseMatlib(FXMatlib* lib);
    // Lists m (not owned) in the default library, where meshes find it by name.
    virtual void AddMaterial(FXMaterial* m);
    virtual void ApplyDefaultMaterial();
    // Sets m's colours and binds its texture (when it has one) for the meshes drawn next. Never
    // uploads: textures are uploaded by the Prepare calls. ApplyMaterial2 binds the second
    // texture unit (multitexturing only).
    virtual void ApplyMaterial(FXMaterial* m) = 0;
    virtual void ApplyMaterial2(FXMaterial* m) = 0;
    // The model-view matrix: replaced by m, multiplied by m, or reset.
    virtual void ApplyMatrix(FXMatrix* m) = 0;
    virtual void MultiplyMatrix(FXMatrix* m) = 0;
    virtual void ApplyMatrixIdentity() = 0;
    virtual void EnableLights(bool on) = 0;
    virtual void EnableLight(bool on, FXLight* light) = 0;
    virtual void DisableAllLights() = 0;
    virtual void SetAmbient(float* rgba) = 0;
    virtual void EnableDepthTest(bool on) = 0;
    virtual void EnableDepthWrite(bool on) = 0;
    virtual void EnableCullface(bool front, bool back) = 0;
    // Draws every mesh with the default material (lighting tests).
    virtual void EnableTestingMaterial(bool on);
    // The texture device's operations (image/texture_device.h). Materials call them through
    // their own texture calls (FXMaterial::SetTexture, UploadFrame, Destroy), which remember the
    // device a texture lives on; calling them directly bypasses that.
    bool PrepareTexture(FXMaterial* m) override = 0;
    bool FastPrepareTexture(FXMaterial* m, FXPixmap* p) override = 0;
    virtual bool PrepareCubeTexture(FXMaterial* m, FXPixmap* px, FXPixmap* nx, FXPixmap* py,
                                    FXPixmap* ny, FXPixmap* pz, FXPixmap* nz) = 0;
    void UnprepareTexture(FXMaterial* m) override = 0;
    // Device-side copies of a mesh's data (none on this device: meshes are drawn from memory).
    virtual bool PrepareMesh(FXMesh* mesh) = 0;
    virtual void UnprepareMesh(FXMesh* mesh) = 0;
    // Draws mesh with its material, under the current matrix and state.
    virtual void RenderMesh(FXMesh* mesh) = 0;
    // Normals scaled by the model-view matrix are made unit length again before lighting (on),
    // or used as they come (off, as ClrParams leaves it). Context current.
    virtual void EnableNormalize(bool on) = 0;
    // Texture coordinates generated from the normals as a sphere map (on) for the meshes drawn
    // next, or taken from the vertices (off, the state a new context starts in). Context current.
    virtual void EnableSphereMap(bool on) = 0;
    // Copies the back buffer's bottom-left w x h pixels into rgba (4 bytes per pixel, R G B A,
    // bottom row first, no padding): the frame about to be shown. False, rgba untouched, when
    // nothing can be read. Render thread before RenderEnd, context current.
    virtual bool ReadBackBuffer(int w, int h, unsigned char* rgba) = 0;
    // The render thread's loop: until a stop is asked, a frame of render every pass, each drawn
    // holding the lock with the context current; between frames it pauses outside the lock, at
    // least 1 ms and until nextFrameAt.
    virtual void RenderLoop();
    // A wait inside a frame (a movie's frame wait): the render thread lets go of the context and
    // the environment lock, so the window thread (a resize) is not held up for the length of the
    // wait; ResumeFrame takes both back. Only the render loop's own thread, inside OnRender, does
    // anything here: elsewhere both calls do nothing.
    void PauseFrame();
    void ResumeFrame();

private:
    std::atomic<unsigned> frameThread{0};  // the thread id of the loop while it draws a frame
    bool frameLocked = false;  // the render loop holds the lock for the frame it draws
    bool framePaused = false;
};

// Lock(true) then SetAct(true) on construction; SetAct(false) then Lock(false) on destruction.
class FXGRAutoAct {
public:
    explicit FXGRAutoAct(PEnv* env) : env_(env) {
        if (env_) {
            env_->Lock(true);
            env_->SetAct(true);
        }
    }
    ~FXGRAutoAct() {
        if (env_) {
            env_->SetAct(false);
            env_->Lock(false);
        }
    }
    FXGRAutoAct(const FXGRAutoAct&) = delete;
    FXGRAutoAct& operator=(const FXGRAutoAct&) = delete;

private:
    PEnv* env_;
};
