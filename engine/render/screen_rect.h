// Rectangles of window pixels, for drawing and showing only the part of a frame that changed:
// FXScreenRect (a rectangle, or "the whole window" when where something lands is not known),
// FXScreenRects (a few of them, merged where one rectangle costs little more than two) and
// fxProjectBounds, which finds a conservative rectangle around points drawn under a model-view and
// a projection matrix. Pure arithmetic: no device, no window system.
//
// Coordinates are the device's: x from the window's left edge, y from its bottom edge, in pixels;
// a rectangle covers x0 <= x < x1 and y0 <= y < y1.
#pragma once

#include "math/3dmath.h"

struct FXScreenRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool whole = false;  // anything in the window may be covered

    static FXScreenRect Whole() {
        FXScreenRect r;
        r.whole = true;
        return r;
    }
    static FXScreenRect Of(int x0, int y0, int x1, int y1) {
        FXScreenRect r;
        r.x0 = x0, r.y0 = y0, r.x1 = x1, r.y1 = y1;
        return r;
    }
    // Covers no pixel (and is not the whole window).
    bool Empty() const { return !whole && (x1 <= x0 || y1 <= y0); }
    int Width() const { return x1 - x0; }
    int Height() const { return y1 - y0; }
    // Grows to cover other as well (the smallest rectangle around both).
    void Add(const FXScreenRect& other);
    // The part inside a width x height window; the whole window when whole. Empty when nothing of
    // it lies inside.
    FXScreenRect ClampedTo(int width, int height) const;
    // True when, inside a width x height window, it covers every pixel.
    bool CoversWindow(int width, int height) const;
};

// A few rectangles that together cover everything added: an added rectangle joins one it
// overlaps or nearly touches (where their bounding rectangle is no larger than the two together),
// else it is kept apart, up to kMax; beyond that it joins the one that grows least. The
// rectangles may overlap. Whole once a whole rectangle is added.
class FXScreenRects {
public:
    enum { kMax = 4 };

    void Clear() { count_ = 0; }
    void Add(const FXScreenRect& r);
    void Add(const FXScreenRects& other);
    int Count() const { return count_; }
    const FXScreenRect& Get(int i) const { return rects_[i]; }
    bool Whole() const { return count_ == 1 && rects_[0].whole; }
    // The pixels covered, counting overlaps twice (whole: 0).
    long long Area() const;

private:
    FXScreenRect rects_[kMax];
    int count_ = 0;
};

// The rectangle that covers every pixel a triangle through the given points can touch in a
// width x height viewport: count points of three floats each, stride floats apart, transformed by
// modelView then projection (column-major, as OpenGL keeps them), rounded outwards with a pixel
// to spare. Whole when a point lies on or behind the eye's plane (w <= 0: the projection of what
// the triangle covers is not bounded by its corners) or is not a finite number. Empty for no
// points.
FXScreenRect fxProjectBounds(const FXMatrix& modelView, const float* projection, const float* points, int count,
                             int stride, int width, int height);
