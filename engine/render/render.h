// The render interfaces: PRender (anything drawn once per frame) and PEnv (the render
// environment: the device, its light table, default material, material libraries and the render
// thread). The operations are declared in slot order. fxglobalEnv is the process-wide current
// environment; FXGRAutoAct locks an environment and makes its device current for a scope.
#pragma once

#include <atomic>

#include "base/arrays.h"
#include "geometry/3dmath.h"
#include "image/material.h"
#include "image/matlib.h"

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

class PEnv {
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
    FXArray matlibs;  // loaded FXMatlib*, owned
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

    // Creates the lock and lists the default material in the default library.
    PEnv();
    PEnv(const PEnv&) = delete;
    PEnv& operator=(const PEnv&) = delete;
    virtual ~PEnv();

    virtual bool CreateChild(void* window) = 0;
    // Stops the loop, frees the loaded libraries, empties the default library and frees the lock.
    // Harmless when repeated.
    virtual void Destroy();
    virtual void ClrParams() = 0;
    virtual void SetAct(bool on) = 0;
    virtual bool RenderStart() = 0;
    virtual void RenderEnd() = 0;
    virtual bool StartLoop(PRender* render);
    virtual void StopLoop(double timeout);
    virtual void Lock(bool on);
    virtual void SetClrColor(float* rgba) = 0;
    virtual void Clrscr(bool colour, bool depth, bool stencil) = 0;
    virtual void Enlarge(bool on) = 0;
    virtual bool RegisterLight(FXLight* light);
    virtual void UnregisterLight(FXLight* light);
    virtual void UpdateLights() = 0;
    virtual FXMaterial* GetDefaultMaterial();
    virtual FXMatlib* GetDefaultMatlib();
    virtual FXMatlib* LoadMatlib(const char* file);
    virtual FXMatlib* LoadMatlibC(FXPackage* package, const char* name);
    virtual FXMatlib* LoadMatlibCN(FXPackage* package, int id);
    virtual void RemoveMatlib(FXMatlib* lib);
    virtual void AddMaterial(FXMaterial* m);
    virtual void ApplyDefaultMaterial();
    virtual void ApplyMaterial(FXMaterial* m) = 0;
    virtual void ApplyMaterial2(FXMaterial* m) = 0;
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
    virtual void EnableTestingMaterial(bool on);
    virtual bool PrepareTexture(FXMaterial* m) = 0;
    virtual bool FastPrepareTexture(FXMaterial* m, FXPixmap* p) = 0;
    virtual bool PrepareCubeTexture(FXMaterial* m, FXPixmap* px, FXPixmap* nx, FXPixmap* py,
                                    FXPixmap* ny, FXPixmap* pz, FXPixmap* nz) = 0;
    virtual void UnprepareTexture(FXMaterial* m) = 0;
    virtual bool PrepareMesh(FXMesh* mesh) = 0;
    virtual void UnprepareMesh(FXMesh* mesh) = 0;
    virtual void RenderMesh(FXMesh* mesh) = 0;
    virtual void RenderLoop();
};

// The process-wide current environment; null until set.
extern PEnv* fxglobalEnv;
void fxSetEnv(PEnv* env);

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
