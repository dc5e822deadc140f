// SMovie playback: the material pool and the prepared queue, frame stepping with the loop and
// ping-pong rules, selecting and drawing the front frame, the paced frame switch, and the key
// pair and phase handed to the linked animations. Record I/O lives in smovie_io.cpp, frame
// decoding in smovie_decode.cpp, authoring in smovie_edit.cpp.
#include "elements/smovie.h"

#include <cstdint>
#include <cstdlib>

#include "anim/anim.h"
#include "base/other.h"
#include "image/material.h"

namespace {

// Hands the key pair to one animation, held to the frames it has.
void localSetPair(FXAnim* anim, int lo, int hi) {
    int last = anim->GetFrameCount() - 1;
    if (last < 0) last = 0;
    lo = lo < 0 ? 0 : lo > last ? last : lo;
    hi = hi < 0 ? 0 : hi > last ? last : hi;
    anim->SetActFrames(lo, hi);
}

void localSetPhase(FXAnim* anim, float phase) {
    anim->SetActPhase(phase);
    anim->frozen = true;
}

// The phase at which the pair (k, k) shows key k itself. The pair's segment starts at key k,
// except on the last key of an open (ping-pong) or two-key curve, whose segment ends there; on a
// closed curve the last key's segment is the closing one, whose end is key 0.
float localKeyPhase(const FXAnim* anim, int k) {
    const int n = anim->GetFrameCount();
    const bool lastKey = k >= n - 1;
    return lastKey && (anim->pingPong || n == 2) ? 1.0f : 0.0f;
}

}  // namespace

SMovie::~SMovie() { Destroy(); }

void SMovie::Destroy() {
    prepared.DeleteContents();
    freeMaterials.DeleteContents();
    desk.mesh.material = nullptr;  // it showed one of those; a movie loaded again sets up afresh
    preparedFrames.DestroyBuf();
    FreeBlocks();
    edges.DestroyBuf();
    rects.DestroyBuf();
    pixmap.Destroy();
    desk.Destroy();
    colorNames.DestroyBuf();
    maskNames.DestroyBuf();
    keyFrames.DestroyBuf();
    std::vector<bool>().swap(failedFrames);
    needsSetup = true;
    current = -1;
    direction = 1;
    finished = compiled = inMemory = hasRects = saved = false;
    maxCropWidth = maxCropHeight = 0;
    animA = animB = nullptr;
    package = nullptr;
}

void SMovie::FreeBlocks() {
    fileBlocks.clear();
    colorData.DestroyBuf();
    colorSizes.DestroyBuf();
    maskData.DestroyBuf();
    maskSizes.DestroyBuf();
}

void SMovie::Restart(double t) {
    lastSwitch = t;
    finished = false;
    current = -1;
    direction = 1;
    playing = true;
}

void SMovie::RestartBack(double t) {
    lastSwitch = t;
    finished = false;
    current = GetFrameCount();
    direction = -1;
    playing = true;
}

void SMovie::Continue(double t) {
    lastSwitch = t;
    finished = false;
    playing = true;
}

// ---- preparing ----

void SMovie::StepCurrent() {
    int count = GetFrameCount();
    if (direction >= 0) {
        current = current < -1 ? 0 : current + 1;
        if (current >= count) {
            current = count - 1;
            if (!loop)
                finished = true;
            else if (pingPong)
                direction = -1;
            else
                current = 0;
        }
    } else {
        current = current > count ? count - 1 : current - 1;
        if (current < 0) {
            current = 0;
            if (!loop)
                finished = true;
            else if (pingPong)
                direction = 1;
            else
                current = count - 1;
        }
    }
}

void SMovie::Prepare(PEnv* env, int count) {
    if (finished || GetFrameCount() <= 0) return;
    if (needsSetup) {
        needsSetup = false;
        desk.Create(1, 1);
        // The lists never grow past the pool, so playing allocates nothing.
        prepared.Reserve(poolSize);
        preparedFrames.Realloc(poolSize);
        freeMaterials.Reserve(poolSize);
        for (int i = 0; i < poolSize; i++) {
            FXMaterial* m = new FXMaterial;
            m->SetDefDiffuse(1.0f);
            m->canvas.autoDetectTrans = false;
            freeMaterials.Push(m);
        }
    }
    while (!freeMaterials.IsEmpty() && (count == -1 || prepared.Count() < count)) {
        FXMaterial* m = freeMaterials.First();
        StepCurrent();
        DecodeCurrent(env, m);
        prepared.Push(freeMaterials.Take(0));
        preparedFrames.PushInt(current);
    }
}

void SMovie::DecodeCurrent(PEnv* env, FXMaterial* m) {
    if (current < 0 || current >= GetFrameCount()) return;
    if (!compiled) {
        m->LoadTexture(env, colorNames.Get(current));
        return;
    }
    quietFailures = current < int(failedFrames.size()) && failedFrames[size_t(current)];
    const char* mask = current < maskNames.top ? maskNames.Get(current) : "";
    bool ok = inMemory ? PrepareTextureMem(env, current, m) : PrepareTexture(env, colorNames.Get(current), mask, m);
    quietFailures = false;
    if (!ok) {
        if (failedFrames.size() < size_t(GetFrameCount())) failedFrames.resize(size_t(GetFrameCount()));
        failedFrames[size_t(current)] = true;
    }
}

void SMovie::EmptyPrepared() {
    for (int i = 0; i < prepared.Count(); i++) freeMaterials.Push(prepared.Get(i));
    prepared.ReleaseAll();
    preparedFrames.RemoveAll();
}

// ---- drawing ----

void SMovie::OnRender(PEnv* env, double t) {
    SMovie::OnRender0(env, t);
    SMovie::OnRender1(env, t);
}

void SMovie::OnRender0(PEnv* env, double) {
    FXMaterial* front = prepared.First();
    if (GetFrameCount() <= 0 || !front) return;
    desk.SetMaterial(front);
    int f = preparedFrames.top > 0 ? preparedFrames.GetInt(0) : -1;
    if (f >= 0 && f < GetFrameCount()) {
        if (hasRects && rects.top >= 4 * (f + 1)) {
            const float* r = rects.items + 4 * f;  // left, top, right, bottom
            desk.SetVertexPos(FXDesk::kTopLeft, r[0], r[1]);
            desk.SetVertexPos(FXDesk::kTopRight, r[2], r[1]);
            desk.SetVertexPos(FXDesk::kBottomRight, r[2], r[3]);
            desk.SetVertexPos(FXDesk::kBottomLeft, r[0], r[3]);
        }
        if (keyed) PrepareStartEnd(f);
    }
    if (env) env->UnprepareMesh(&desk.mesh);
}

void SMovie::OnRender1(PEnv* env, double t) {
    DrawFront(env);
    Advance(env, t);
}

void SMovie::DrawFront(PEnv* env) {
    if (GetFrameCount() <= 0 || !prepared.First()) return;
    if (env) desk.OnRender(env, 0.0);
}

void SMovie::Advance(PEnv* env, double) {
    if (GetFrameCount() <= 0 || !prepared.First()) return;
    if (!playing) return;  // a movie that is not playing stays on its frame
    double now = fxGetTime();
    if (waitFrame && frameDuration >= now - lastSwitch) {
        // The time is read before each 1 ms sleep; a stop request ends the wait at once. The
        // wait lets go of the environment lock, so a resize on the window thread goes ahead.
        if (env) env->PauseFrame();
        while (frameDuration >= now - lastSwitch) {
            if (env && env->stopRequested.load()) break;
            now = fxGetTime();
            fxSleep(0.001);
        }
        if (env) env->ResumeFrame();
    }
    if (now - lastSwitch > frameDuration && prepared.Count() > 1) {
        lastSwitch = now;
        freeMaterials.Push(prepared.Take(0));
        preparedFrames.RemovePos(0);
    }
}

// ---- linked animations ----

void SMovie::PrepareStartEnd(int f) {
    int count = GetFrameCount();
    if (!animA || count <= 0) return;
    if (f < keyStart || f > keyEnd) {
        keyStart = 0;
        keyEnd = count - 1;
        int lo = -1, hi = -1;
        for (int k = 0; k < keyFrames.top; k++) {
            int key = keyFrames.GetInt(k);
            if (f < key) {
                keyEnd = key;
                hi = k;
                break;
            }
            keyStart = key;
            lo = k;
        }
        if (hi < 0) hi = lo;
        if (lo < 0) lo = hi;
        localSetPair(animA, lo, hi);
        if (animB) localSetPair(animB, lo, hi);
    }
    if (keyEnd == keyStart) {
        // A key on the movie's last frame: the pose is that key, whichever way the movie runs.
        localSetPhase(animA, localKeyPhase(animA, animA->frame));
        if (animB) localSetPhase(animB, localKeyPhase(animB, animB->frame));
        return;
    }
    // In 64 bits: keys anywhere in the int range must not overflow.
    float phase = float(int64_t(f) - keyStart) / float(int64_t(keyEnd) - keyStart);
    localSetPhase(animA, phase);
    if (animB) localSetPhase(animB, phase);
}
