// FXBezierGraph: an editable timing curve over a discrete axis. Keys sit at integer x positions
// (0 .. resX - 1, frames of an animation) with integer y values in units of 1/resY; the curve is
// sampled, linearly or as a smooth Bezier curve, into a table of integers (one per output column,
// outScale standing for 1.0) that is read back by column or by frame. Frame animations carry one
// graph in their record.
//
// Record (package and file alike, little-endian): resX, resY (int32), keyX, keyY (int32 count then
// the values), two flag bytes (true only when 1), tension (float32), samplesPerSegment (int32).
// A record whose key arrays differ in length, that ends early or holds an unusable sample count
// is refused: the graph stays empty and the load returns false.
#pragma once

#include <cstdio>

#include "base/arrays.h"

class FXPackage;
class FXPackageData;

class FXBezierGraph {
public:
    // More sample points per segment than this are never taken (a damaged count would otherwise
    // allocate without bound).
    enum { kMaxSamplesPerSegment = 1 << 16 };

    int resX = 0;
    int resY = 1000;
    FXArray keyX;  // ascending x positions of the keys
    FXArray keyY;  // y values in 1/resY units, parallel to keyX
    bool storedFlag1 = false;
    bool storedFlag2 = false;
    float tension = 0.3f;
    int samplesPerSegment = 16;
    int outScale = 0;
    FXArray table;
    FXFloatArray ctrlPts{64};   // scratch: key and control points in table coordinates
    FXFloatArray samples{128};  // scratch: the sampled points of one segment

    FXBezierGraph() = default;
    FXBezierGraph(const FXBezierGraph&) = delete;
    FXBezierGraph& operator=(const FXBezierGraph&) = delete;
    ~FXBezierGraph() { Destroy(); }

    void Destroy();
    int GetKeyCount() const { return keyX.top; }

    bool LoadC(FXPackage* p, FXPackageData* d);
    bool Load(FILE* f);
    bool Save(FILE* f) const;

    // ---- evaluation ----
    void ComputeSplineLinear(int count, int scale);
    void ComputeSplineBezier(int count, int scale);
    int ComputePointLinear(float x, int scale) const;
    int GetSplineResX() const { return table.top; }
    int GetFromSpline(int col) const;
    float GetFromSpline1(int frame) const;
    void SetSplinePt(int col, int y);
    void SetSplineLn(int x0, int y0, int x1, int y1);

    // ---- editing ----
    int FindFrame(int x) const;
    int FindNearestRight(int x) const;
    int FindNearest(int x) const;
    void InsertFrame(int index);
    void DeleteFrame(int index);
    int InsertFramePos(int x);
    void MoveFrame(int to, int from);
    int MoveFramePos(int newX, int oldX);
    void InsertResolutionPoint(int x);
    void DeleteResolutionPoint(int x);

private:
    bool CheckLoaded();
    void SizeTable(int count);
    // The steps of ComputeSplineBezier: the keys and their control points in table coordinates
    // (ctrlPts), then every segment sampled and drawn into the table.
    void PlaceControlPoints(int count, int scale);
    void DrawCurve();
    void SampleQuad(const float* p0, const float* p1, const float* p2, int n);
    void SampleCubic(const float* p0, const float* p1, const float* p2, const float* p3, int n);
    void DrawSamples();
};
