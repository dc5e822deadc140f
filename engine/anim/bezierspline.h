// FXBezierSpline: a smooth 3D curve through a list of key points. Every key point gets an in- and
// an out-control point on the line through it parallel to the chord of its two neighbours (which
// wrap around at both ends); every stretch between neighbouring keys becomes a cubic segment,
// except the first and the last stretch of an open spline, which are quadratic. Owners either
// pick a segment (SetActPoints) and evaluate it at a local parameter (Get, GetH), or evaluate the
// whole curve at a global phase (GetAll) over a table of per-key phases.
//
// Usage: push three floats per key onto keys, set closed, tension and linear, call Precompute
// (and PrecomputePhasesLinear or PrecomputePhasesLenght before GetAll). Changing the keys needs
// a new Precompute.
#pragma once

#include <memory>

#include "anim/bezier.h"
#include "base/arrays.h"

// Points equal in all three coordinates (a NaN coordinate makes them unequal).
bool fxBezierSamePoint(const float* a, const float* b);
// The in- and out-control points of key cur between its neighbours prev and next, for the given
// tension. Splines and the frame animation's per-vertex segments share this one computation, so
// both give bit-identical curves.
void fxBezierCtrlPoints(const float* prev, const float* cur, const float* next, float tension, float* in, float* out);

class FXBezierSpline {
public:
    // Kinds of the active segment.
    enum { kNone = 0, kPairLine = 2, kQuad = 3, kCubic = 4 };

    bool closed = false;
    float tension = 1.0f;
    FXFloatArray keys;        // 3 floats per key point
    FXFloatArray ctrlPoints;  // 6 floats per key point: in-control, then out-control
    FXBezier3 firstQuad;
    FXBezier3 lastQuad;
    std::unique_ptr<FXBezier4[]> segments;  // segment i runs from key i to key i + 1 (wrapping)
    int segmentCount = 0;
    bool constant = false;            // the active segment collapses to the point lineFrom
    const float* lineFrom = nullptr;  // straight segment ends / the constant point
    const float* lineTo = nullptr;
    float lineDelta[3] = {0.0f, 0.0f, 0.0f};
    const FXBezier3* actQuad = nullptr;
    const FXBezier4* actCubic = nullptr;
    int actKind = kNone;
    float pairDelta[3] = {0.0f, 0.0f, 0.0f};  // key 1 - key 0 of a two-point spline
    FXFloatArray phases;                       // global phase of every key point
    int actIndex = 0;
    float totalLength = 0.0f;
    float meanLength = 0.0f;
    bool altEval = false;
    bool linear = false;

    FXBezierSpline() = default;
    FXBezierSpline(const FXBezierSpline&) = delete;
    FXBezierSpline& operator=(const FXBezierSpline&) = delete;
    ~FXBezierSpline() { Destroy(); }

    int GetCnt() const { return keys.top / 3; }
    const float* GetKey(int i) const {
        FX_ASSERT(i >= 0 && 3 * i + 2 < keys.top && "spline key out of range");
        return keys.items + i * 3;
    }

    void Precompute();
    void PrecomputeCtrlPoints();
    void PrecomputeBeziers();
    void ReallocBeziers(int count);
    void DestroyBeziers();
    void PrecomputePhasesLinear();
    void PrecomputePhasesLenght();

    // Chooses the segment from key from to key to; -1 stands for the last key. Indices outside
    // the keys leave the active segment as it was.
    void SetActPoints(int from, int to);
    // The active segment at local parameter t (not clamped: outside [0, 1] it extrapolates).
    void Get(float* out, float t) const;
    void GetH(float* out, const FXBezierPhaseH* h) const;
    // The whole curve at a global phase in [0, 1]; an open spline holds its end points outside
    // that range and a closed one wraps around.
    void GetAll(float* out, float phase);
    // The x coordinate interpolated linearly between the keys of the segment holding phase.
    float GetAllPos(float phase);
    // -1 when phase lies before key seg's phase, 1 when it lies beyond key next's, else 0.
    int TestPhase(int seg, int next, float phase) const;

    void Destroy();

private:
    int PhaseCount() const;
    float FitPhase(float phase) const;
    int FindSegment(float phase);
};
