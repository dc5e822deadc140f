// FXBezierSpline: control points, segments, the choice of the active segment, evaluation and the
// global phase table. Degenerate input (coinciding keys, all keys in one place, too few keys,
// phases outside [0, 1]) gives finite results and never reads outside the tables.
#include "anim/bezierspline.h"

#include <cmath>

namespace {

float localDist(const float* a, const float* b) {
    float dx = a[0] - b[0];
    float dy = a[1] - b[1];
    float dz = a[2] - b[2];
    return sqrtf(dx * dx + dy * dy + dz * dz);
}

// Scales v to the given length; a vector without length (coinciding neighbours) stays zero.
void localRescale(float* v, float length) {
    float cur = sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(cur > 0.0f)) {
        v[0] = v[1] = v[2] = 0.0f;
        return;
    }
    float f = length / cur;
    for (int k = 0; k < 3; k++) v[k] *= f;
}

void localSizeArray(FXFloatArray* a, int n) {
    a->RemoveAll();
    if (n <= 0) return;
    a->Realloc(n);
    a->top = n;
}

}  // namespace

bool fxBezierSamePoint(const float* a, const float* b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

void fxBezierCtrlPoints(const float* prev, const float* cur, const float* next, float tension, float* in, float* out) {
    float len1 = localDist(prev, cur);
    float len2 = localDist(next, cur);
    float midPrev[3], midNext[3], offIn[3], offOut[3];
    for (int k = 0; k < 3; k++) {
        midPrev[k] = (cur[k] + prev[k]) * 0.5f;
        midNext[k] = (cur[k] + next[k]) * 0.5f;
        float midBoth = (midPrev[k] + midNext[k]) * 0.5f;
        offIn[k] = midPrev[k] - midBoth;
        offOut[k] = midNext[k] - midBoth;
    }
    localRescale(offIn, len1 * 0.5f * tension);
    localRescale(offOut, tension * (len2 * 0.5f));
    for (int k = 0; k < 3; k++) {
        in[k] = cur[k] + offIn[k];
        out[k] = cur[k] + offOut[k];
    }
}

void FXBezierSpline::Precompute() {
    actIndex = 0;
    PrecomputeCtrlPoints();
    DestroyBeziers();
    PrecomputeBeziers();
    SetActPoints(0, 1);
}

void FXBezierSpline::PrecomputeCtrlPoints() {
    actKind = kNone;
    int n = GetCnt();
    if (n <= 2) {
        ctrlPoints.RemoveAll();
        if (n == 2)
            for (int k = 0; k < 3; k++) pairDelta[k] = keys.items[3 + k] - keys.items[k];
        return;
    }
    localSizeArray(&ctrlPoints, 6 * n);
    for (int i = 0; i < n; i++) {
        // The neighbours always wrap around, also on an open spline.
        float* in = ctrlPoints.items + 6 * i;
        fxBezierCtrlPoints(GetKey(i == 0 ? n - 1 : i - 1), GetKey(i), GetKey(i == n - 1 ? 0 : i + 1), tension, in,
                           in + 3);
    }
}

void FXBezierSpline::ReallocBeziers(int count) {
    if (count == segmentCount && (segments || count == 0)) return;
    DestroyBeziers();
    if (count <= 0) return;
    segments.reset(new FXBezier4[count]);
    segmentCount = count;
}

void FXBezierSpline::DestroyBeziers() {
    if (actKind == kCubic) {
        actKind = kNone;
        constant = false;
    }
    actCubic = nullptr;
    segments.reset();
    segmentCount = 0;
}

void FXBezierSpline::PrecomputeBeziers() {
    int n = GetCnt();
    if (n <= 2) {
        ReallocBeziers(0);
        return;
    }
    if (ctrlPoints.top != 6 * n) PrecomputeCtrlPoints();
    ReallocBeziers(n);
    const float* c = ctrlPoints.items;
    auto in = [c](int i) { return c + 6 * i; };
    auto out = [c](int i) { return c + 6 * i + 3; };
    firstQuad.Set(GetKey(0), in(1), GetKey(1));
    lastQuad.Set(GetKey(n - 2), out(n - 2), GetKey(n - 1));
    segments[n - 1].Set(GetKey(n - 1), out(n - 1), in(0), GetKey(0));
    for (int i = 0; i < n - 1; i++) segments[i].Set(GetKey(i), out(i), in(i + 1), GetKey(i + 1));
}

void FXBezierSpline::SetActPoints(int from, int to) {
    int n = GetCnt();
    if (n > 2) {
        if (from == -1) from = n - 1;
        if (to == -1) to = n - 1;
        if (from < 0 || from >= n || to < 0 || to >= n) return;
        constant = false;
        lineFrom = lineTo = nullptr;
        actIndex = from;
        if (linear) {
            lineFrom = GetKey(from);
            lineTo = GetKey(to);
            if (fxBezierSamePoint(lineFrom, lineTo)) {
                constant = true;
            } else {
                for (int k = 0; k < 3; k++) lineDelta[k] = lineTo[k] - lineFrom[k];
            }
            return;
        }
        if (segmentCount != n) {
            // Precompute has not run for these keys: no segment to choose.
            actKind = kNone;
            return;
        }
        const float* first;
        const float* last;
        if (!closed && from == 0) {
            actKind = kQuad;
            actQuad = &firstQuad;
            first = GetKey(0);
            last = actQuad->P2;
        } else if (!closed && to == n - 1) {
            actKind = kQuad;
            actQuad = &lastQuad;
            first = GetKey(n - 2);
            last = actQuad->P2;
        } else {
            actKind = kCubic;
            actCubic = &segments[from];
            first = GetKey(from);
            last = actCubic->P3;
        }
        if (fxBezierSamePoint(first, last)) {
            constant = true;
            lineFrom = first;
        }
        return;
    }
    constant = false;
    lineFrom = lineTo = nullptr;
    if (n == 2) {
        actKind = kPairLine;
        lineFrom = GetKey(0);
        lineTo = GetKey(1);
        constant = fxBezierSamePoint(lineFrom, lineTo);
    }
}

void FXBezierSpline::Get(float* out, float t) const {
    if (constant && lineFrom) {
        for (int k = 0; k < 3; k++) out[k] = lineFrom[k];
        return;
    }
    int n = GetCnt();
    if (linear && lineFrom && n > 2) {
        for (int k = 0; k < 3; k++) out[k] = lineFrom[k] + t * lineDelta[k];
        return;
    }
    if (actKind == kPairLine && n == 2) {
        for (int k = 0; k < 3; k++) out[k] = keys.items[k] + t * pairDelta[k];
        return;
    }
    if (actKind == kQuad && actQuad) {
        if (altEval)
            actQuad->Get1(out, t);
        else
            actQuad->Get(out, t);
        return;
    }
    if (actKind == kCubic && actCubic) {
        if (altEval)
            actCubic->Get1(out, t);
        else
            actCubic->Get(out, t);
        return;
    }
    for (int k = 0; k < 3; k++) out[k] = n > 0 ? keys.items[k] : 0.0f;
}

void FXBezierSpline::GetH(float* out, const FXBezierPhaseH* h) const {
    if (actKind == kQuad && actQuad && !constant && !linear) {
        if (altEval)
            actQuad->Get1H(out, h);
        else
            actQuad->GetH(out, h);
        return;
    }
    if (actKind == kCubic && actCubic && !constant && !linear) {
        if (altEval)
            actCubic->Get1H(out, h);
        else
            actCubic->GetH(out, h);
        return;
    }
    Get(out, h->t);
}

void FXBezierSpline::PrecomputePhasesLinear() {
    int n = GetCnt();
    localSizeArray(&phases, n);
    if (n == 0) return;
    phases.items[0] = 0.0f;
    for (int i = 1; i < n; i++) phases.items[i] = float(i) / float(n - 1);
}

void FXBezierSpline::PrecomputePhasesLenght() {
    int n = GetCnt();
    localSizeArray(&phases, n);
    totalLength = 0.0f;
    meanLength = 0.0f;
    if (n == 0) return;
    float cum = 0.0f;
    phases.items[0] = 0.0f;
    for (int i = 1; i < n; i++) {
        cum += localDist(GetKey(i), GetKey(i - 1));
        phases.items[i] = cum;
    }
    float total = cum;
    if (closed) total += localDist(GetKey(0), GetKey(n - 1));
    totalLength = total;
    int spans = closed ? n : n - 1;
    if (spans > 0) meanLength = total / float(spans);
    if (total > 0.0f && std::isfinite(total)) {
        float inv = 1.0f / total;
        for (int i = 0; i < n; i++) phases.items[i] *= inv;
        // cum * (1 / total) is often one step below 1 in single precision; an open spline must
        // end exactly at 1, or the closing segment would be chosen for phase 1.
        if (!closed) phases.items[n - 1] = 1.0f;
        return;
    }
    // No length to share out (all keys in one place, or unusable coordinates): equal spans.
    for (int i = 0; i < n; i++) phases.items[i] = spans > 0 ? float(i) / float(spans) : 0.0f;
}

int FXBezierSpline::PhaseCount() const {
    int n = GetCnt();
    return phases.top < n ? phases.top : n;
}

int FXBezierSpline::TestPhase(int seg, int next, float phase) const {
    int n = PhaseCount();
    if (n <= 0) return 0;
    if (next > n - 1 || next < 0) next = 0;
    float start = (seg < 0 || seg > n - 1) ? phases.items[0] : phases.items[seg];
    if (phase < start) return -1;
    if (next == 0) return 0;
    return phase > phases.items[next] ? 1 : 0;
}

float FXBezierSpline::FitPhase(float phase) const {
    if (std::isnan(phase)) return 0.0f;
    if (phase >= 0.0f && phase <= 1.0f) return phase;
    if (closed && std::isfinite(phase)) return phase - floorf(phase);
    return phase < 0.0f ? 0.0f : 1.0f;
}

int FXBezierSpline::FindSegment(float phase) {
    int n = PhaseCount();
    int i = actIndex;
    if (i < 0) i = 0;
    if (i > n - 1) i = n - 1;
    int r = TestPhase(i, i + 1, phase);
    if (r == 1) {
        while (i < n - 1 && TestPhase(i, i + 1, phase) == 1) i++;
    } else if (r == -1) {
        while (i > 0 && TestPhase(i, i + 1, phase) == -1) i--;
    }
    int next = i + 1 > n - 1 ? 0 : i + 1;
    if (i != actIndex) SetActPoints(i, next);
    return i;
}

void FXBezierSpline::GetAll(float* out, float phase) {
    int n = PhaseCount();
    if (n <= 0) {
        Get(out, 0.0f);
        return;
    }
    phase = FitPhase(phase);
    int i = FindSegment(phase);
    int next = i + 1 > n - 1 ? 0 : i + 1;
    float start = phases.items[i];
    float end = next == 0 ? 1.0f : phases.items[next];
    float span = end - start;
    float t = span > 0.0f ? (phase - start) * (1.0f / span) : 0.0f;
    Get(out, t);
}

float FXBezierSpline::GetAllPos(float phase) {
    int n = PhaseCount();
    if (n <= 0) return GetCnt() > 0 ? keys.items[0] : 0.0f;
    phase = FitPhase(phase);
    int i = FindSegment(phase);
    int next = i + 1 > n - 1 ? 0 : i + 1;
    float x0 = GetKey(i)[0];
    float x1 = GetKey(next)[0];
    float start = phases.items[i];
    float end = next == 0 ? 1.0f : phases.items[next];
    float span = end - start;
    if (!(span > 0.0f)) return x0;
    return x0 + (x1 - x0) * (phase - start) / span;
}

void FXBezierSpline::Destroy() {
    DestroyBeziers();
    keys.DestroyBuf();
    ctrlPoints.DestroyBuf();
    phases.DestroyBuf();
    constant = false;
    lineFrom = lineTo = nullptr;
    actQuad = nullptr;
    actKind = kNone;
    actIndex = 0;
    totalLength = 0.0f;
    meanLength = 0.0f;
}
