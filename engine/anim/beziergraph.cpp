// FXBezierGraph: the record, the linear and Bezier tables, reading back, and the editing
// operations. Every float-to-int conversion goes through localTrunc (NaN and out-of-range values
// would otherwise be undefined), integer products are formed in 64 bits, and divisions by
// resX - 1, resY, outScale and key distances are guarded.
#include "anim/beziergraph.h"

#include <climits>
#include <cmath>
#include <cstdint>

#include "base/binio.h"
#include "base/package.h"
#include "base/trace.h"

namespace {

int localClamp(int64_t v) {
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return int(v);
}

// Truncation towards zero, limited to the int range; NaN gives 0.
int localTrunc(double v) {
    if (std::isnan(v)) return 0;
    if (v >= double(INT_MAX)) return INT_MAX;
    if (v <= double(INT_MIN)) return INT_MIN;
    return int(v);
}

bool localReadIntArray(FILE* f, FXArray* a) {
    a->DestroyBuf();
    int32_t count = 0;
    if (!fxFileReadInt(f, &count)) return false;
    if (count < 0 || count > FXPackageData::kMaxArrayItems) return false;
    a->Realloc(count);
    for (int i = 0; i < count; i++) {
        int32_t v;
        if (!fxFileReadInt(f, &v)) return false;
        a->PushInt(v);
    }
    return true;
}

bool localReadIntArray(FXPackageData* d, FXArray* a) {
    a->DestroyBuf();
    if (d->remaining < 4) return false;
    int count = fxGetI32(d->current);
    if (count < 0 || count > FXPackageData::kMaxArrayItems) return false;
    if (int64_t(count) * 4 > int64_t(d->remaining) - 4) return false;
    d->ReadArray(a);
    return a->top == count;
}

float localLen2(float x, float y) { return sqrtf(x * x + y * y); }

}  // namespace

void FXBezierGraph::Destroy() {
    keyX.DestroyBuf();
    keyY.DestroyBuf();
    table.DestroyBuf();
    ctrlPts.DestroyBuf();
    samples.DestroyBuf();
}

// ---- record ----

bool FXBezierGraph::CheckLoaded() {
    if (keyX.top != keyY.top) {
        err(FX_ERR_DAMAGED, "timing graph refused: %d key positions but %d key values\n", keyX.top, keyY.top);
        return false;
    }
    if (samplesPerSegment < 0 || samplesPerSegment > kMaxSamplesPerSegment) {
        err(FX_ERR_DAMAGED, "timing graph refused: %d samples per segment\n", samplesPerSegment);
        return false;
    }
    return true;
}

bool FXBezierGraph::LoadC(FXPackage*, FXPackageData* d) {
    Destroy();
    if (!d) return false;
    bool ok = d->remaining >= 8;
    if (ok) {
        resX = d->ReadInt();
        resY = d->ReadInt();
        ok = localReadIntArray(d, &keyX) && localReadIntArray(d, &keyY) && d->remaining >= 10;
    }
    if (ok) {
        storedFlag1 = d->ReadBool();
        storedFlag2 = d->ReadBool();
        tension = d->ReadFloat();
        samplesPerSegment = d->ReadInt();
    } else {
        err(FX_ERR_DAMAGED, "timing graph refused: the record ends early\n");
    }
    if (ok && CheckLoaded()) return true;
    Destroy();
    return false;
}

bool FXBezierGraph::Load(FILE* f) {
    Destroy();
    int32_t rx = 0, ry = 0, sps = 0;
    bool f1 = false, f2 = false;
    float ten = 0.0f;
    bool ok = f && fxFileReadInt(f, &rx) && fxFileReadInt(f, &ry) && localReadIntArray(f, &keyX) &&
              localReadIntArray(f, &keyY) && fxFileReadBool(f, &f1) && fxFileReadBool(f, &f2) &&
              fxFileReadFloat(f, &ten) && fxFileReadInt(f, &sps);
    if (!ok) {
        err(FX_ERR_DAMAGED, "timing graph refused: the record ends early\n");
        Destroy();
        return false;
    }
    resX = rx;
    resY = ry;
    storedFlag1 = f1;
    storedFlag2 = f2;
    tension = ten;
    samplesPerSegment = sps;
    if (CheckLoaded()) return true;
    Destroy();
    return false;
}

bool FXBezierGraph::Save(FILE* f) const {
    if (!f) return false;
    bool ok = fxFileWriteInt(f, resX) && fxFileWriteInt(f, resY);
    const FXArray* arrays[2] = {&keyX, &keyY};
    for (const FXArray* a : arrays) {
        ok = ok && fxFileWriteInt(f, a->top);
        for (int i = 0; ok && i < a->top; i++) ok = fxFileWriteInt(f, a->GetInt(i));
    }
    return ok && fxFileWriteBool(f, storedFlag1) && fxFileWriteBool(f, storedFlag2) &&
           fxFileWriteFloat(f, tension) && fxFileWriteInt(f, samplesPerSegment);
}

// ---- evaluation ----

int FXBezierGraph::ComputePointLinear(float x, int scale) const {
    int n = GetKeyCount();
    if (n <= 0 || resY == 0) return 0;
    int b = FindNearestRight(localTrunc(x + 0.99999f));
    if (b < 0) return localClamp(int64_t(keyY.GetInt(n - 1)) * scale / resY);
    if (b == 0) return localClamp(int64_t(keyY.GetInt(0)) * scale / resY);
    float y0 = float(keyY.GetInt(b - 1)) / float(resY);
    float y1 = float(keyY.GetInt(b)) / float(resY);
    float dx = float(keyX.GetInt(b)) - float(keyX.GetInt(b - 1));
    float value = dx != 0.0f ? y0 + (y1 - y0) * (x - float(keyX.GetInt(b - 1))) / dx : y1;
    return localTrunc(value * float(scale));
}

void FXBezierGraph::SizeTable(int count) {
    if (count <= 0) {
        table.RemoveAll();
        return;
    }
    table.Realloc(count);
    table.top = count;
}

void FXBezierGraph::ComputeSplineLinear(int count, int scale) {
    outScale = scale;
    SizeTable(count);
    for (int i = 0; i < table.top; i++) {
        float x = float(int64_t(i) * (int64_t(resX) - 1)) / float(count);
        table.SetInt(i, ComputePointLinear(x, scale));
    }
}

void FXBezierGraph::SetSplinePt(int col, int y) {
    if (col < 0 || col >= table.top) return;
    if (y > outScale) y = outScale;
    if (y <= 0) y = 1;
    table.SetInt(col, y);
}

void FXBezierGraph::SetSplineLn(int x0, int y0, int x1, int y1) {
    if (x0 == x1) {
        // Writing every y from the smaller to the larger leaves the larger one in the column.
        SetSplinePt(x0, y0 > y1 ? y0 : y1);
        return;
    }
    if (x0 > x1) {
        int t = x0;
        x0 = x1;
        x1 = t;
        t = y0;
        y0 = y1;
        y1 = t;
    }
    // Columns outside the table are ignored anyway: visit only the ones inside.
    int64_t from = x0 > 0 ? x0 : 0;
    int64_t to = x1 < table.top - 1 ? x1 : table.top - 1;
    // (y1 - y0) and (x - x0) each need up to 32 bits, so their product can exceed int64: form it
    // from the magnitudes in uint64 and give the quotient its sign (division truncates to zero).
    uint64_t span = uint64_t(int64_t(x1) - x0);
    int64_t dy = int64_t(y1) - y0;
    uint64_t rise = uint64_t(dy < 0 ? -dy : dy);
    for (int64_t x = from; x <= to; x++) {
        int64_t step = int64_t(rise * uint64_t(x - x0) / span);  // at most rise: (x - x0) <= span
        SetSplinePt(int(x), localClamp(y0 + (dy < 0 ? -step : step)));
    }
}

void FXBezierGraph::SampleQuad(const float* p0, const float* p1, const float* p2, int n) {
    samples.RemoveAll();
    for (int j = 0; j < n; j++) {
        float t = float(j) / float(n - 1);
        float it = 1.0f - t;
        float a = it * it, b = 2.0f * t * it, c = t * t;
        samples.Push(p0[0] * a + p1[0] * b + p2[0] * c);
        samples.Push(p0[1] * a + p1[1] * b + p2[1] * c);
    }
}

void FXBezierGraph::SampleCubic(const float* p0, const float* p1, const float* p2, const float* p3,
                                int n) {
    samples.RemoveAll();
    for (int j = 0; j < n; j++) {
        float t = float(j) / float(n - 1);
        float it = 1.0f - t;
        float a = it * it * it, b = 3.0f * t * it * it, c = 3.0f * t * t * it, e = t * t * t;
        samples.Push(p0[0] * a + p1[0] * b + p2[0] * c + p3[0] * e);
        samples.Push(p0[1] * a + p1[1] * b + p2[1] * c + p3[1] * e);
    }
}

void FXBezierGraph::DrawSamples() {
    int n = samples.top / 2;
    if (n < 3) return;
    const float* s = samples.items;
    for (int j = 0; j + 1 < n; j++)
        SetSplineLn(localTrunc(s[2 * j]), localTrunc(s[2 * j + 1]), localTrunc(s[2 * j + 2]),
                    localTrunc(s[2 * j + 3]));
}

namespace {

// The two control points of inner key k = (kx, ky) between its neighbours p and n, all in table
// coordinates: on the tangent through the key, at distances from it proportional to the lengths
// of the key's two chords. Writes in-control x, y, the key, out-control x, y (six floats).
void localKeyArms(float kx, float ky, float ppx, float ppy, float nx, float ny, float tension, float* out) {
    float lenP = localLen2(kx - ppx, ky - ppy);
    float lenN = localLen2(kx - nx, ky - ny);
    // The bisector of the two chords (as unit vectors away from the neighbours).
    float ux = 0.0f, uy = 0.0f;
    if (lenP > 0.0f) {
        ux += (kx - ppx) / lenP;
        uy += (ky - ppy) / lenP;
    }
    if (lenN > 0.0f) {
        ux += (kx - nx) / lenN;
        uy += (ky - ny) / lenN;
    }
    float bisX = ux * 0.5f, bisY = uy * 0.5f;
    float inX, inY, outX, outY;
    if (fabsf(bisX) < 1e-8f) {
        inX = 0.0f;
        inY = -lenP * tension;
        outX = 0.0f;
        outY = -lenN * tension;
    } else {
        float bl = localLen2(bisX, bisY);
        float nx1 = bisX / bl, ny1 = bisY / bl;
        inX = nx1 * lenP * tension;
        inY = ny1 * lenP * tension;
        outX = nx1 * lenN * tension;
        outY = ny1 * lenN * tension;
    }
    if (inY > -outY) {
        inX = -inX;
        inY = -inY;
        outX = -outX;
        outY = -outY;
    }
    // The arms turned by a quarter turn: both control points on the tangent through the key.
    const float arms[6] = {kx + inY, ky - inX, kx, ky, kx - outY, ky + outX};
    for (int i = 0; i < 6; i++) out[i] = arms[i];
}

}  // namespace

void FXBezierGraph::ComputeSplineBezier(int count, int scale) {
    if (GetKeyCount() <= 2 || resX < 2 || resY == 0 || count <= 0) {
        // Too few keys, or no axis to map them onto: the straight-line table.
        ComputeSplineLinear(count, scale);
        return;
    }
    outScale = scale;
    SizeTable(count);
    PlaceControlPoints(count, scale);
    DrawCurve();
}

void FXBezierGraph::PlaceControlPoints(int count, int scale) {
    const int n = GetKeyCount();
    ctrlPts.RemoveAll();
    auto px = [&](int i) { return float(keyX.GetInt(i)) * float(count) / float(resX - 1); };
    auto py = [&](int i) { return float(keyY.GetInt(i)) * float(scale) / float(resY); };
    ctrlPts.Push(px(0));
    ctrlPts.Push(py(0));
    for (int i = 1; i < n - 1; i++) {
        float arms[6];
        localKeyArms(px(i), py(i), px(i - 1), py(i - 1), px(i + 1), py(i + 1), tension, arms);
        for (float v : arms) ctrlPts.Push(v);
    }
    ctrlPts.Push(px(n - 1));
    ctrlPts.Push(py(n - 1));
}

void FXBezierGraph::DrawCurve() {
    const int n = GetKeyCount();
    // Point accessors into ctrlPts: key i and its control points (inner keys only).
    const float* c = ctrlPts.items;
    auto key = [c, n](int i) {
        return i == 0 ? c : i == n - 1 ? c + 2 + 6 * (n - 2) : c + 2 + 6 * (i - 1) + 2;
    };
    auto inCtl = [c](int i) { return c + 2 + 6 * (i - 1); };
    auto outCtl = [c](int i) { return c + 2 + 6 * (i - 1) + 4; };

    int sps = samplesPerSegment;
    if (sps > kMaxSamplesPerSegment) sps = kMaxSamplesPerSegment;
    // An open curve: quadratic first and last segments, cubic ones between.
    SampleQuad(key(0), inCtl(1), key(1), sps);
    DrawSamples();
    for (int i = 1; i < n - 2; i++) {
        SampleCubic(key(i), outCtl(i), inCtl(i + 1), key(i + 1), sps);
        DrawSamples();
    }
    SampleQuad(key(n - 2), outCtl(n - 2), key(n - 1), sps);
    DrawSamples();
}

int FXBezierGraph::GetFromSpline(int col) const {
    if (table.top <= 0) return 0;
    if (col < 0) col = 0;
    if (col > table.top - 1) col = table.top - 1;
    return table.GetInt(col);
}

float FXBezierGraph::GetFromSpline1(int frame) const {
    if (outScale == 0) return 0.0f;
    int col = resX < 2 ? 0 : localClamp(int64_t(frame) * GetSplineResX() / (int64_t(resX) - 1));
    return float(GetFromSpline(col)) / float(outScale);
}

// ---- editing ----

int FXBezierGraph::FindFrame(int x) const {
    for (int i = 0; i < keyX.top; i++)
        if (keyX.GetInt(i) == x) return i;
    return -1;
}

int FXBezierGraph::FindNearestRight(int x) const {
    for (int i = 0; i < keyX.top; i++)
        if (keyX.GetInt(i) >= x) return i;
    return -1;
}

int FXBezierGraph::FindNearest(int x) const {
    int best = -1;
    int64_t bestDist = 0;
    for (int i = 0; i < keyX.top; i++) {
        int64_t d = int64_t(keyX.GetInt(i)) - x;
        if (d < 0) d = -d;
        if (best < 0 || d < bestDist) {
            best = i;
            bestDist = d;
        }
    }
    return best;
}

void FXBezierGraph::InsertFrame(int index) {
    if (index < -1) return;
    keyX.Insert(index, nullptr);
    keyY.Insert(index, nullptr);
}

void FXBezierGraph::DeleteFrame(int index) {
    if (index < 0 || index >= keyX.top) return;
    keyX.RemovePos(index);
    keyY.RemovePos(index);
}

int FXBezierGraph::InsertFramePos(int x) {
    if (FindFrame(x) >= 0) return -1;
    int at = FindNearestRight(x);
    if (at < 0) at = keyX.top;
    keyX.Insert(at, nullptr);
    keyY.Insert(at, nullptr);
    keyX.SetInt(at, x);
    return at;
}

void FXBezierGraph::MoveFrame(int to, int from) {
    int n = keyX.top;
    if (n <= 0) return;
    if (to < 0 || to >= n) to = n - 1;
    if (from < 0 || from >= n) from = n - 1;
    if (to == from) return;
    int x = keyX.GetInt(from), y = keyY.GetInt(from);
    keyX.RemovePos(from);
    keyY.RemovePos(from);
    keyX.Insert(to, nullptr);
    keyY.Insert(to, nullptr);
    keyX.SetInt(to, x);
    keyY.SetInt(to, y);
}

int FXBezierGraph::MoveFramePos(int newX, int oldX) {
    if (keyX.top <= 0) return -1;
    int from = FindFrame(oldX);
    if (from < 0 || FindFrame(newX) >= 0) return -1;
    int y = keyY.GetInt(from);
    keyX.RemovePos(from);
    keyY.RemovePos(from);
    int at = FindNearestRight(newX);
    if (at < 0) at = keyX.top;
    keyX.Insert(at, nullptr);
    keyY.Insert(at, nullptr);
    keyX.SetInt(at, newX);
    keyY.SetInt(at, y);
    return at;
}

void FXBezierGraph::InsertResolutionPoint(int x) {
    for (int i = 0; i < keyX.top; i++) {
        int kx = keyX.GetInt(i);
        if (kx >= x && kx < INT_MAX) keyX.SetInt(i, kx + 1);
    }
    if (resX < INT_MAX) resX++;
}

void FXBezierGraph::DeleteResolutionPoint(int x) {
    for (int i = 0; i < keyX.top; i++) {
        int kx = keyX.GetInt(i);
        // Keys never move below column 0.
        if (kx >= x && kx > 0) keyX.SetInt(i, kx - 1);
    }
    // A moved key that lands on its left neighbour goes; the left one stays.
    for (int i = 1; i < keyX.top;) {
        if (keyX.GetInt(i) == keyX.GetInt(i - 1)) {
            keyX.RemovePos(i);
            keyY.RemovePos(i);
        } else {
            i++;
        }
    }
    if (resX > 0) resX--;
}
