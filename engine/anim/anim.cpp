// FXAnim at run time: frames and their durations, the own clock, the choice of the key pair, the
// interpolated pose (set up once, then recomputed in place every frame without allocating) and
// the external drive by a sprite movie.
#include "anim/anim.h"

#include "anim/anim_splines.h"
#include "anim/bezier.h"
#include "base/trace.h"
#include "geometry/mesh.h"

namespace {

// Whether frame m can be interpolated with frame 0: the same meshes with the same vertex counts
// (spline j reads vertex l of mesh k in every frame).
bool localSameStructure(const FXModel* first, const FXModel* m) {
    if (!m || m->meshes.Count() != first->meshes.Count()) return false;
    for (int k = 0; k < first->meshes.Count(); k++) {
        const FXMesh* a = first->EnumMeshes(k);
        const FXMesh* b = m->EnumMeshes(k);
        if (!a != !b) return false;
        if (a && a->vertexCount != b->vertexCount) return false;
    }
    return true;
}

}  // namespace

FXAnim::~FXAnim() { Destroy(); }

FXModel* FXAnim::GetModel(int i) const {
    return i >= 0 && i < models.Count() ? models.Get(i) : nullptr;
}

void FXAnim::Destroy() {
    DestroyInterpolation();
    models.DeleteContents();
    frameNames.DestroyBuf();
    durations.DestroyBuf();
    graph.Destroy();
    spareValue = 0.0f;
    interpolate = false;
    playing = true;
    backwards = false;
    reverseSegment = false;
    loop = true;
    pingPong = false;
    frameStart = 0.0;
    frame = 0;
    frameDirty = false;
    phase = 0.0f;
}

void FXAnim::DestroyInterpolation() {
    imodel.Destroy();
    posSplines.reset();
    normalSplines.reset();
}

void FXAnim::ReleaseFrames() {
    if (!interpolate || !posSplines || !normalSplines) return;
    for (int i = 0; i < models.Count(); i++) models.Replace(i, nullptr);
}

// ---- own clock ----

void FXAnim::ComputeFrameDuration() {
    const int n = GetFrameCount();
    int ms = 0;
    if (n > 0) {
        const int i = frame < 0 ? 0 : (frame >= n ? n - 1 : frame);
        ms = durations.GetInt(i);
    }
    frameDuration = (ms <= 0 ? 500 : ms) / 1000.0;
}

void FXAnim::StartAnim(double t) {
    frameStart = t;
    frame = 0;
    phase = 0.0f;
    ComputeFrameDuration();
    frameDirty = true;
    playing = true;
}

void FXAnim::ContinueAnim(double t) {
    frameStart = t;
    ComputeFrameDuration();
    playing = true;
}

// One frame on, then the new frame starts as far in the past as the old one was overdue (as a
// share of a frame), unless the clock is more than two frames behind.
void FXAnim::StepFrame(double t) {
    const int n = GetFrameCount();
    if (!backwards) {
        if (++frame >= n) {
            if (loop && pingPong) {
                frame = n - 2 < 0 ? 0 : n - 2;
                backwards = true;
            } else if (loop) {
                frame = 0;
            } else {
                frame = n - 1;
                playing = false;
            }
        }
    } else if (--frame < 0) {
        if (loop && pingPong) {
            frame = n - 1 < 1 ? n - 1 : 1;
            backwards = false;
        } else if (loop) {
            frame = n - 1;
        } else {
            frame = 0;
            playing = false;
        }
    }
    const double left = frameDuration;
    const double late = t - frameStart;
    // A clock that never started (no duration yet) carries nothing over instead of 0 / 0.
    const float carry = left > 0.0 && late <= 2.0 * left ? float((late - left) / left) : 0.0f;
    ComputeFrameDuration();
    frameStart = t - carry * frameDuration;
}

void FXAnim::OnRender(PEnv* env, double t) {
    const int n = GetFrameCount();
    if (n == 0) return;
    const int prev = frame;
    if (playing && !frozen && t - frameStart >= frameDuration) StepFrame(t);
    if (frame < 0) frame = 0;
    if (frame > n - 1) frame = n - 1;
    if (interpolate) {
        if (!frozen) {
            if (frame != prev || frameDirty) {
                UpdateIFrame();
                frameDirty = false;
            }
            UpdateIPos(t);
        }
        imodel.OnRender(env, t);
    } else if (FXModel* m = GetModel(frame)) {
        m->OnRender(env, t);
    }
}

// ---- key pair and pose ----

void FXAnim::UpdateIFrame() {
    const int n = GetFrameCount();
    if (n == 0 || imodel.meshes.Count() == 0) return;
    reverseSegment = backwards;
    int from, to;
    if (!backwards) {
        from = frame;
        to = frame + 1;
        if (to >= n) to = loop && pingPong ? (n - 2 < 0 ? 0 : n - 2) : (loop ? 0 : from);
    } else {
        to = frame;
        from = frame - 1;
        if (from < 0) from = loop && pingPong ? (n - 1 < 1 ? n - 1 : 1) : (loop ? n - 1 : to);
    }
    // (n - 1, 0) stays as it is: the closing segment of a looping animation.
    if (to < from && !(to == 0 && from == n - 1)) {
        int x = from;
        from = to;
        to = x;
        reverseSegment = !reverseSegment;
    }
    if (from == to) {  // a non-looping animation has reached its end: keep the last pose
        playing = false;
        return;
    }
    SelectPair(from, to);
}

void FXAnim::SelectPair(int from, int to) {
    if (posSplines) posSplines->SetActPoints(from, to, !pingPong, linear);
    if (normalSplines) normalSplines->SetActPoints(from, to, !pingPong, linear);
}

void FXAnim::UpdateIPos(double t) {
    if (imodel.meshes.Count() == 0) return;
    if (playing && frameDuration > 0.0) phase = float((t - frameStart) / frameDuration);
    EvaluatePose();
}

// The splines write into imodel's vertex arrays; should those have been replaced, they are bound
// again (nothing is evaluated for a model that no longer has the splines' vertices).
bool FXAnim::SplinesReady() {
    if (!posSplines || !normalSplines) return false;
    if (posSplines->IsBound(&imodel) && normalSplines->IsBound(&imodel)) return true;
    return posSplines->Bind(&imodel, FXAnimSplines::kPos) && normalSplines->Bind(&imodel, FXAnimSplines::kNormal);
}

void FXAnim::EvaluatePose() {
    if (!SplinesReady()) return;
    FXBezierPhaseH h;
    h.Prepare(reverseSegment ? 1.0f - phase : phase);
    posSplines->Evaluate(&h);
    normalSplines->Evaluate(&h);
}

// ---- external drive ----

void FXAnim::SetActFrames(int from, int to) {
    const int n = GetFrameCount();
    if (n == 0) return;
    frame = from;
    if (imodel.meshes.Count() == 0) return;
    reverseSegment = false;
    if (to < from && !(to == 0 && from + 1 == n)) {
        int x = from;
        from = to;
        to = x;
        reverseSegment = true;
    }
    SelectPair(from, to);
}

void FXAnim::SetActPhase(float p) {
    if (imodel.meshes.Count() == 0) return;
    phase = p;
    EvaluatePose();
}

// ---- interpolation set-up ----

void FXAnim::UpdateInterpolation(bool on, bool hint) {
    interpolate = on;
    interpolateHint = hint;
    DestroyInterpolation();
    const int n = GetFrameCount();
    FXModel* first = GetModel(0);
    if (!on || n == 0 || !first) return;
    imodel.Copy(first);
    for (int m = 1; m < n; m++)
        if (!localSameStructure(first, GetModel(m))) {
            err(FX_ERR_DAMAGED,
                "animation: frame %d does not share the meshes of frame 0; it is drawn without interpolation\n", m);
            return;
        }
    const int vertices = first->GetTotalVertices();
    if (vertices <= 0) return;
    posSplines.reset(new FXAnimSplines);
    normalSplines.reset(new FXAnimSplines);
    if (!posSplines->Create(vertices, n, tension) || !normalSplines->Create(vertices, n, tension)) {
        err(FX_ERR_MEMORY, "animation: no memory for the splines of %d vertices over %d frames\n", vertices, n);
        posSplines.reset();
        normalSplines.reset();
        return;
    }
    for (int m = 0; m < n; m++) {
        const FXModel* fm = GetModel(m);
        int j = 0;
        for (int k = 0; k < first->meshes.Count(); k++) {
            const FXMesh* mesh = fm->EnumMeshes(k);
            if (!mesh) continue;
            for (int l = 0; l < mesh->vertexCount; l++, j++) {
                const tagFXVertex& v = mesh->vertices[l];
                float* p = posSplines->Keys(j) + 3 * m;
                float* q = normalSplines->Keys(j) + 3 * m;
                for (int x = 0; x < 3; x++) {
                    p[x] = v.pos[x];
                    q[x] = v.normal[x];
                }
            }
        }
    }
    // A freshly built spline starts on its first segment, open and curved.
    posSplines->SetActPoints(0, 1, false, false);
    normalSplines->SetActPoints(0, 1, false, false);
    posSplines->Bind(&imodel, FXAnimSplines::kPos);
    normalSplines->Bind(&imodel, FXAnimSplines::kNormal);
    UpdateIFrame();
}
