// Window rectangles: union, clamping, and the conservative projection of drawn points.
#include "render/screen_rect.h"

#include <cmath>

namespace {

// A point is only trusted well inside the int range: larger window coordinates mean the point is
// far outside any window, and the rectangle is then the whole window anyway.
const float kFarOutside = 1.0e7f;

int localMin(int a, int b) { return a < b ? a : b; }
int localMax(int a, int b) { return a > b ? a : b; }

// out = m * v for a four-component v, m column-major.
void localTransform(const float* m, const float* v, float* out) {
    for (int r = 0; r < 4; r++) out[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2] + m[12 + r] * v[3];
}

long long localArea(const FXScreenRect& r) { return r.Empty() ? 0 : (long long)r.Width() * r.Height(); }

FXScreenRect localUnion(FXScreenRect a, const FXScreenRect& b) {
    a.Add(b);
    return a;
}

}  // namespace

void FXScreenRect::Add(const FXScreenRect& o) {
    if (whole || o.Empty()) return;
    if (o.whole || Empty()) {
        *this = o;
        return;
    }
    x0 = localMin(x0, o.x0);
    y0 = localMin(y0, o.y0);
    x1 = localMax(x1, o.x1);
    y1 = localMax(y1, o.y1);
}

FXScreenRect FXScreenRect::ClampedTo(int width, int height) const {
    if (width <= 0 || height <= 0) return FXScreenRect();
    if (whole) return Of(0, 0, width, height);
    FXScreenRect r = Of(localMax(x0, 0), localMax(y0, 0), localMin(x1, width), localMin(y1, height));
    return r.Empty() ? FXScreenRect() : r;
}

void FXScreenRects::Add(const FXScreenRect& added) {
    if (added.Empty() || Whole()) return;
    if (added.whole) {
        rects_[0] = added;
        count_ = 1;
        return;
    }
    FXScreenRect r = added;
    // Joining one rectangle can make the result worth joining with another: repeat until none.
    for (bool joined = true; joined;) {
        joined = false;
        for (int i = 0; i < count_; i++) {
            const FXScreenRect u = localUnion(rects_[i], r);
            if (localArea(u) > localArea(rects_[i]) + localArea(r)) continue;
            r = u;
            rects_[i] = rects_[--count_];
            joined = true;
            break;
        }
    }
    if (count_ < kMax) {
        rects_[count_++] = r;
        return;
    }
    int best = 0;
    long long growth = -1;
    for (int i = 0; i < count_; i++) {
        long long g = localArea(localUnion(rects_[i], r)) - localArea(rects_[i]);
        if (growth < 0 || g < growth) best = i, growth = g;
    }
    r.Add(rects_[best]);
    rects_[best] = rects_[--count_];
    Add(r);
}

void FXScreenRects::Add(const FXScreenRects& other) {
    for (int i = 0; i < other.count_; i++) Add(other.rects_[i]);
}

long long FXScreenRects::Area() const {
    long long a = 0;
    for (int i = 0; i < count_; i++) a += localArea(rects_[i]);
    return a;
}

bool FXScreenRect::CoversWindow(int width, int height) const {
    return whole || (x0 <= 0 && y0 <= 0 && x1 >= width && y1 >= height);
}

FXScreenRect fxProjectBounds(const FXMatrix& modelView, const float* projection, const float* points, int count,
                             int stride, int width, int height) {
    if (count <= 0 || !points) return FXScreenRect();
    float lo[2] = {HUGE_VALF, HUGE_VALF}, hi[2] = {-HUGE_VALF, -HUGE_VALF};
    const float size[2] = {float(width), float(height)};
    for (int i = 0; i < count; i++) {
        const float* p = points + size_t(i) * size_t(stride);
        const float point[4] = {p[0], p[1], p[2], 1.0f};
        float eye[4], clip[4];
        localTransform(modelView.m, point, eye);
        localTransform(projection, eye, clip);  // the model-view matrix may carry a w of its own
        if (!(clip[3] > 0.0f)) return FXScreenRect::Whole();  // also NaN
        for (int a = 0; a < 2; a++) {
            float v = (clip[a] / clip[3] + 1.0f) * 0.5f * size[a];
            if (!(std::fabs(v) < kFarOutside)) return FXScreenRect::Whole();
            lo[a] = v < lo[a] ? v : lo[a];
            hi[a] = v > hi[a] ? v : hi[a];
        }
    }
    return FXScreenRect::Of(int(std::floor(lo[0])) - 1, int(std::floor(lo[1])) - 1, int(std::ceil(hi[0])) + 1,
                            int(std::ceil(hi[1])) + 1);
}
