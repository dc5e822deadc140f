#include "anim/bezierspline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>

namespace {

struct P { float x, y, z; };

std::unique_ptr<FXBezierSpline> Make(std::initializer_list<P> keys, bool closed = false, float tension = 1) {
    auto s = std::make_unique<FXBezierSpline>();
    for (const P& k : keys) for (float v : {k.x, k.y, k.z}) s->keys.Push(v);
    s->closed = closed;
    s->tension = tension;
    s->Precompute();
    return s;
}

void Near(const float* got, const float* want, float tol = 1e-4f) {
    for (int k = 0; k < 3; k++) EXPECT_NEAR(got[k], want[k], tol) << "axis " << k;
}

void Near(const float* got, P want, float tol = 1e-4f) {
    const float w[3] = {want.x, want.y, want.z};
    Near(got, w, tol);
}

// Bernstein form of a cubic, independent of the polynomial coefficients.
void Cubic(float* out, const float* a, const float* b, const float* c, const float* d, float t) {
    float u = 1 - t;
    for (int k = 0; k < 3; k++) out[k] = a[k] * u * u * u + 3 * b[k] * t * u * u + 3 * c[k] * t * t * u + d[k] * t * t * t;
}

// Control points of cur: on the line through it parallel to next - prev, at half the distance to
// each neighbour, times the tension.
void Controls(const float* prev, const float* cur, const float* next, float s, float* in, float* out) {
    float len = 0, lp = 0, ln = 0;
    for (int k = 0; k < 3; k++) {
        len += (next[k] - prev[k]) * (next[k] - prev[k]);
        lp += (prev[k] - cur[k]) * (prev[k] - cur[k]);
        ln += (next[k] - cur[k]) * (next[k] - cur[k]);
    }
    for (int k = 0; k < 3; k++) {
        float d = (next[k] - prev[k]) / std::sqrt(len) * 0.5f * s;
        in[k] = cur[k] - d * std::sqrt(lp);
        out[k] = cur[k] + d * std::sqrt(ln);
    }
}

}  // namespace

TEST(FXBezier, CubicMatchesBernsteinAndTable) {
    const float a[3] = {0, 0, 0}, b[3] = {1, 2, 0}, c[3] = {3, -1, 2}, d[3] = {4, 0, 1};
    FXBezier4 q;
    q.Set(a, b, c, d);
    FXBezier3 r;
    r.Set(a, b, c);
    for (float t : {0.0f, 0.3f, 1.0f, 1.5f}) {
        float got[3], want[3], viaTable[3];
        FXBezierPhaseH h;
        h.Prepare(t);
        q.Get(got, t);
        Cubic(want, a, b, c, d, t);
        Near(got, want, 1e-5f);
        q.GetH(viaTable, &h);
        Near(viaTable, got, 0);
        r.GetH(got, &h);
        for (int k = 0; k < 3; k++) want[k] = a[k] * (1 - t) * (1 - t) + 2 * t * (1 - t) * b[k] + t * t * c[k];
        Near(got, want, 1e-5f);
    }
}

TEST(FXBezierSpline, FewKeys) {
    float p[3];
    auto none = Make({});
    none->Get(p, 0.5f);
    Near(p, P{0, 0, 0}, 0);
    auto one = Make({{1, 2, 3}});
    one->linear = true;
    one->SetActPoints(0, 1);
    one->Get(p, 2.0f);
    Near(p, P{1, 2, 3}, 0);

    auto two = Make({{0, 0, 0}, {2, 4, 6}});
    two->SetActPoints(1, 0);  // any segment is the line from key 0 to key 1
    two->Get(p, 0.25f);
    Near(p, P{0.5f, 1, 1.5f});
    two->linear = true;  // also in linear mode
    two->SetActPoints(0, 1);
    two->Get(p, 0.75f);
    Near(p, P{1.5f, 3, 4.5f});

    auto same = Make({{5, 5, 5}, {5, 5, 5}});
    same->Get(p, 0.7f);
    Near(p, P{5, 5, 5}, 0);
}

TEST(FXBezierSpline, ClosedThreePointClosingSegment) {
    const float k[3][3] = {{0, 0, 0}, {4, 0, 0}, {2, 3, 1}};
    auto s = Make({{0, 0, 0}, {4, 0, 0}, {2, 3, 1}}, true, 0.8f);
    s->SetActPoints(2, 0);
    float in0[3], out0[3], in2[3], out2[3], got[3], want[3];
    Controls(k[2], k[0], k[1], 0.8f, in0, out0);
    Controls(k[1], k[2], k[0], 0.8f, in2, out2);
    for (float t : {0.0f, 0.25f, 0.5f, 1.0f}) {
        s->Get(got, t);
        Cubic(want, k[2], out2, in0, k[0], t);
        Near(got, want);
    }
}

TEST(FXBezierSpline, OpenSplineSegments) {
    const float k[4][3] = {{0, 0, 0}, {1, 2, 0}, {3, 2, 1}, {4, 0, 0}};
    auto s = Make({{0, 0, 0}, {1, 2, 0}, {3, 2, 1}, {4, 0, 0}});
    float in0[3], out0[3], in1[3], out1[3], in3[3], out3[3], got[3], want[3];
    Controls(k[3], k[0], k[1], 1, in0, out0);  // neighbours wrap on an open spline too
    Controls(k[0], k[1], k[2], 1, in1, out1);
    Controls(k[2], k[3], k[0], 1, in3, out3);
    Near(s->ctrlPoints.items, in0);

    EXPECT_EQ(s->actKind, FXBezierSpline::kQuad);  // first stretch: key 0, in-control 1, key 1
    s->Get(got, 0.5f);
    for (int c = 0; c < 3; c++) want[c] = 0.25f * k[0][c] + 0.5f * in1[c] + 0.25f * k[1][c];
    Near(got, want);
    s->SetActPoints(1, 2);
    EXPECT_EQ(s->actKind, FXBezierSpline::kCubic);
    s->SetActPoints(2, -1);
    EXPECT_EQ(s->actKind, FXBezierSpline::kQuad);
    s->Get(got, 1.0f);
    Near(got, k[3]);
    s->SetActPoints(3, 0);
    s->Get(got, 0.4f);
    Cubic(want, k[3], out3, in0, k[0], 0.4f);
    Near(got, want);
    s->SetActPoints(7, 8);  // outside the keys: unchanged
    EXPECT_EQ(s->actIndex, 3);
}

TEST(FXBezierSpline, EqualEndsTensionZeroAndLinearMode) {
    float p[3];
    FXBezierPhaseH h;
    h.Prepare(0.6f);
    auto s = Make({{0, 0, 0}, {1, 1, 0}, {1, 1, 0}, {3, 0, 2}});
    s->SetActPoints(1, 2);  // equal end keys, different control points
    s->GetH(p, &h);
    Near(p, P{1, 1, 0}, 0);

    auto z = Make({{0, 0, 0}, {2, 0, 0}, {2, 4, 0}, {0, 4, 2}}, false, 0);
    z->SetActPoints(1, 2);
    for (float t : {0.25f, 0.9f}) {
        z->Get(p, t);
        Near(p, P{2, 4 * (3 * t * t - 2 * t * t * t), 0});  // straight, eased in and out
    }
    z->linear = true;
    z->SetActPoints(-1, 0);
    z->Get(p, 0.25f);
    Near(p, P{0, 3, 1.5f});
}

TEST(FXBezierSpline, ChordPhasesAndGetAll) {
    auto c = Make({{0, 0, 0}, {3, 0, 0}, {3, 4, 0}});
    c->PrecomputePhasesLenght();
    EXPECT_FLOAT_EQ(c->totalLength, 7);
    EXPECT_FLOAT_EQ(c->meanLength, 3.5f);
    EXPECT_FLOAT_EQ(c->phases.items[1], 3.0f / 7);
    c->closed = true;
    c->PrecomputePhasesLenght();
    EXPECT_FLOAT_EQ(c->meanLength, 4);
    EXPECT_FLOAT_EQ(c->phases.items[2], 7.0f / 12);

    auto s = Make({{0, 0, 0}, {1, 1, 0}, {3, 1, 0}, {4, 3, 1}, {6, 2, 0}});
    auto ref = Make({{0, 0, 0}, {1, 1, 0}, {3, 1, 0}, {4, 3, 1}, {6, 2, 0}});
    s->PrecomputePhasesLenght();
    float p[3], want[3];
    s->GetAll(p, 0);
    Near(p, s->keys.items, 0);
    for (int seg : {2, 0, 3, 1}) {  // forwards and backwards from the previous segment
        float mid = (s->phases.items[seg] + s->phases.items[seg + 1]) * 0.5f;
        s->GetAll(p, mid);
        ref->SetActPoints(seg, seg + 1);
        ref->Get(want, 0.5f);
        Near(p, want);
        EXPECT_NEAR(s->GetAllPos(mid), (s->keys.items[seg * 3] + s->keys.items[seg * 3 + 3]) / 2, 1e-5f);
    }
    for (float beyond : {1.0f, 1.7f}) {  // an open spline holds its end
        s->GetAll(p, beyond);
        Near(p, P{6, 2, 0});
    }
}

TEST(FXBezierSpline, ClosedGetAllWraps) {
    auto s = Make({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}}, true);
    s->PrecomputePhasesLenght();
    float a[3], b[3];
    s->GetAll(a, 0.875f);  // halfway along the closing side
    EXPECT_EQ(s->actIndex, 3);
    Near(a, P{-0.75f * std::sqrt(0.5f), 1, 0}, 1e-5f);
    s->GetAll(a, 1.3f);
    s->GetAll(b, 0.3f);
    Near(a, b);
}

TEST(FXBezierSpline, DegenerateKeysStayFinite) {
    auto back = Make({{0, 0, 0}, {1, 1, 1}, {0, 0, 0}});  // coinciding neighbours
    for (int i = 0; i < back->ctrlPoints.top; i++) EXPECT_TRUE(std::isfinite(back->ctrlPoints.items[i]));
    auto still = Make({{2, 2, 2}, {2, 2, 2}, {2, 2, 2}, {2, 2, 2}});
    auto one = Make({{4, 5, 6}});
    auto none = Make({});
    float p[3];
    for (FXBezierSpline* s : {still.get(), one.get(), none.get()}) {
        s->PrecomputePhasesLenght();
        for (float ph : {0.0f, 0.4f, 1.0f, NAN}) {
            s->GetAll(p, ph);
            for (float v : p) EXPECT_TRUE(std::isfinite(v));
            EXPECT_TRUE(std::isfinite(s->GetAllPos(ph)));
        }
    }
    still->GetAll(p, 0.4f);
    Near(p, P{2, 2, 2}, 0);
    one->GetAll(p, 0.5f);
    Near(p, P{4, 5, 6}, 0);
}
