// The render environment's own operations: the render thread and its loop, the environment
// lock, the light table, the default material and the shared material libraries. The device
// operations belong to the concrete environment (FXGL).
//
// Threads are never killed: StopLoop asks the loop to end and always joins the thread it
// created, also one that was asked to stop before its loop began, so no render thread outlives
// the environment's lock.
#include <cstdio>

#include "base/other.h"
#include "base/thread.h"
#include "base/trace.h"
#include "image/light.h"
#include "render/render.h"

namespace {

void localRenderLoop(void* arg) { static_cast<PEnv*>(arg)->RenderLoop(); }

}  // namespace

PEnv::PEnv() {
    lock = fxCreateMutex();
    defaultMatlib.AddMaterial(&defaultMaterial);
}

PEnv::~PEnv() {
    // The concrete device is gone already: nothing may call into it any more, so the materials
    // that still hold a texture here forget it before the libraries are freed.
    ForgetTextures();
    PEnv::Destroy();
}

bool PEnv::StartLoop(PRender* r) {
    stopRequested = false;
    render = r;
    if (thread) {
        // A thread we started and did not stop runs (or is about to run) the loop: it picks up
        // the new renderable. One that ended by itself is joined and replaced.
        if (!fxWaitThread(thread, 0.0)) return true;
        fxDestroyThread(thread);
        thread = nullptr;
    }
    thread = fxCreateThread(localRenderLoop, this);
    if (!thread) err("PEnv::StartLoop -> cannot create the render thread\n");
    return thread != nullptr;
}

void PEnv::StopLoop(double timeout) {
    stopRequested = true;
    if (thread) {
        if (!fxWaitThread(thread, timeout))
            err("PEnv::StopLoop -> the render thread did not end within %.3f s; waiting for it\n",
                timeout);
        fxDestroyThread(thread);  // joins: a thread is never left running
        thread = nullptr;
    }
    render = nullptr;
}

void PEnv::Lock(bool on) {
    if (!lock) return;
    if (on)
        fxLock(lock);
    else
        fxUnlock(lock);
}

bool PEnv::RegisterLight(FXLight* light) {
    for (int i = 0; i < kMaxLights; i++) {
        if (!lights[i]) {
            lights[i] = light;
            return true;
        }
        if (lights[i] == light) return true;
    }
    return false;
}

void PEnv::UnregisterLight(FXLight* light) {
    for (int i = 0; i < kMaxLights; i++) {
        if (lights[i] == light) {
            lights[i] = nullptr;
            return;
        }
    }
}

FXMaterial* PEnv::GetDefaultMaterial() { return &defaultMaterial; }

FXMatlib* PEnv::GetDefaultMatlib() { return &defaultMatlib; }

namespace {

// Libraries are shared by the name they were asked for. Returns the shared library with one more
// reference, or a new one (listed even when loading failed) filled by load.
template <typename Load>
FXMatlib* localLoadShared(PEnv* env, const char* name, const char* what, Load load) {
    const char* key = name ? name : "";
    for (int i = 0; i < env->matlibs.Count(); i++) {
        FXMatlib* lib = env->matlibs.Get(i);
        if (lib->requestedName.Compare(key)) {
            lib->refCount++;
            return lib;
        }
    }
    FXMatlib* lib = new FXMatlib;
    lib->parent = &env->defaultMatlib;
    lib->requestedName.Set(key);
    if (!load(lib, key)) {
        char origin[64];
        snprintf(origin, sizeof origin, "PEnv::%s", what);
        err({FX_ERR_LIBRARY, origin, key}, "cannot load %s\n", key);
    }
    env->matlibs.Push(lib);
    return lib;
}

}  // namespace

FXMatlib* PEnv::LoadMatlib(const char* file) {
    return localLoadShared(this, file, "LoadMatlib", [this](FXMatlib* lib, const char* key) {
        return lib->LoadFromMtl(this, key);
    });
}

FXMatlib* PEnv::LoadMatlibC(FXPackage* package, const char* name) {
    return localLoadShared(this, name, "LoadMatlibC", [this, package](FXMatlib* lib, const char* key) {
        return lib->LoadC(this, package, key);
    });
}

FXMatlib* PEnv::LoadMatlibCN(FXPackage* package, int id) {
    char name[16];
    snprintf(name, sizeof name, "%d", id);
    return LoadMatlibC(package, name);
}

void PEnv::ReleaseMatlib(FXMatlib* lib) {
    if (!lib) return;
    FX_ASSERT(lib->refCount > 0 && "a reference to a library is given back once");
    lib->refCount--;
    if (lib->refCount > 0) return;
    int i = matlibs.Find(lib);
    if (i >= 0) delete matlibs.Take(i);  // the next request loads it afresh
}

void PEnv::AddMaterial(FXMaterial* m) { defaultMatlib.AddMaterial(m); }

void PEnv::ApplyDefaultMaterial() { ApplyMaterial(&defaultMaterial); }

void PEnv::EnableTestingMaterial(bool on) { testingMaterial = on; }

void PEnv::RenderLoop() {
    loopRunning = true;
    fxSleep(0.1);  // the first frame comes 100 ms after the start
    while (!stopRequested) {
        if (!render) {
            fxSleep(0.0);  // nothing to draw yet: yield, but do not wait
            continue;
        }
        bool locked = useLock && lock;
        if (locked) fxLock(lock);
        if (PRender* r = render) {
            SetAct(true);
            double t = fxGetTime();
            frameLocked = locked;
            frameThread = fxGetThreadId();
            r->OnRender(this, t);
            frameThread = 0;
            frameLocked = false;
            SetAct(false);
        }
        if (locked) fxUnlock(lock);
        // At least 1 ms, so that the window thread can take the lock between frames; longer when
        // the frame asked for a later start (never beyond a second, whatever it asked).
        double wait = nextFrameAt - fxGetTime();
        fxSleep(wait > 1.0 ? 1.0 : wait > 0.001 ? wait : 0.001);
    }
    loopRunning = false;
}

void PEnv::PauseFrame() {
    if (framePaused || frameThread.load() != fxGetThreadId()) return;
    framePaused = true;
    SetAct(false);
    if (frameLocked) fxUnlock(lock);
}

void PEnv::ResumeFrame() {
    if (!framePaused) return;
    framePaused = false;
    if (frameLocked) fxLock(lock);
    SetAct(true);
}

void PEnv::Destroy() {
    StopLoop(0.5);
    Lock(true);
    stopRequested = true;
    // Last loaded first, as the libraries were released one by one before.
    while (!matlibs.IsEmpty()) delete matlibs.Take(matlibs.Count() - 1);
    defaultMatlib.Destroy();
    defaultMaterial.Destroy();
    ForgetTextures();
    Lock(false);
    fxDestroyMutex(lock);
    lock = nullptr;
    stopRequested = false;
}
