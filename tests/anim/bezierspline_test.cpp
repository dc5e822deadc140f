#include "anim/bezierspline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>

namespace {

struct P { float v[3]; };

std::unique_ptr<FXBezierSpline> Make(std::initializer_list<P> keys, bool closed = false, float tension = 1) {
    auto s = std::make_unique<FXBezierSpline>();
    for (const P& k : keys) for (float c : k.v) s->keys.Push(c);
    s->closed = closed;
    s->tension = tension;
    s->Precompute();
    return s;
}

void Near(const float* got, const float* want, float tol = 1e-4f) {
    for (int k = 0; k < 3; k++) EXPECT_NEAR(got[k], want[k], tol) << "axis " << k;
}
void Near(const float* got, P want, float tol = 1e-4f) { Near(got, want.v, tol); }
P At(FXBezierSpline* s, float t) { P p; s->Get(p.v, t); return p; }
P All(FXBezierSpline* s, float phase) { P p; s->GetAll(p.v, phase); return p; }

// Bernstein form of a cubic, independent of the polynomial coefficients.
P Cubic(const float* a, const float* b, const float* c, const float* d, float t) {
    float u = 1 - t;
    P o;
    for (int k = 0; k < 3; k++) o.v[k] = a[k] * u * u * u + 3 * b[k] * t * u * u + 3 * c[k] * t * t * u + d[k] * t * t * t;
    return o;
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
    for (float t : {0.0f, 0.3f, 1.5f}) {
        float got[3], viaTable[3];
        FXBezierPhaseH h;
        h.Prepare(t);
        q.Get(got, t);
        Near(got, Cubic(a, b, c, d, t), 1e-5f);
        q.GetH(viaTable, &h);
        Near(viaTable, got, 0);
    }
}

TEST(FXBezierSpline, FewKeys) {
    Near(At(Make({}).get(), 0.5f).v, P{{0, 0, 0}}, 0);
    auto one = Make({{{1, 2, 3}}});
    one->linear = true;
    one->SetActPoints(0, 1);
    Near(At(one.get(), 2).v, P{{1, 2, 3}}, 0);
    auto two = Make({{{0, 0, 0}}, {{2, 4, 6}}});
    two->SetActPoints(1, 0);  // any segment is the line from key 0 to key 1
    Near(At(two.get(), 0.25f).v, P{{0.5f, 1, 1.5f}});
    two->linear = true;
    two->SetActPoints(0, 1);
    Near(At(two.get(), 0.75f).v, P{{1.5f, 3, 4.5f}});
    Near(At(Make({{{5, 5, 5}}, {{5, 5, 5}}}).get(), 0.7f).v, P{{5, 5, 5}}, 0);
}

TEST(FXBezierSpline, ClosedThreePointClosingSegment) {
    const float k[3][3] = {{0, 0, 0}, {4, 0, 0}, {2, 3, 1}};
    auto s = Make({{{0, 0, 0}}, {{4, 0, 0}}, {{2, 3, 1}}}, true, 0.8f);
    s->SetActPoints(2, 0);
    float in0[3], out0[3], in2[3], out2[3];
    Controls(k[2], k[0], k[1], 0.8f, in0, out0);
    Controls(k[1], k[2], k[0], 0.8f, in2, out2);
    for (float t : {0.0f, 0.25f, 0.5f, 1.0f}) Near(At(s.get(), t).v, Cubic(k[2], out2, in0, k[0], t));
}

TEST(FXBezierSpline, OpenSplineSegments) {
    const float k[4][3] = {{0, 0, 0}, {1, 2, 0}, {3, 2, 1}, {4, 0, 0}};
    auto s = Make({{{0, 0, 0}}, {{1, 2, 0}}, {{3, 2, 1}}, {{4, 0, 0}}});
    float in0[3], out0[3], in1[3], out1[3], in3[3], out3[3];
    Controls(k[3], k[0], k[1], 1, in0, out0);  // neighbours wrap on an open spline too
    Controls(k[0], k[1], k[2], 1, in1, out1);
    Controls(k[2], k[3], k[0], 1, in3, out3);
    Near(s->ctrlPoints.items, in0);
    EXPECT_EQ(s->actKind, FXBezierSpline::kQuad);  // first stretch: key 0, in-control 1, key 1
    P want;
    for (int c = 0; c < 3; c++) want.v[c] = 0.25f * k[0][c] + 0.5f * in1[c] + 0.25f * k[1][c];
    Near(At(s.get(), 0.5f).v, want);
    s->SetActPoints(1, 2);
    EXPECT_EQ(s->actKind, FXBezierSpline::kCubic);
    s->SetActPoints(2, -1);
    EXPECT_EQ(s->actKind, FXBezierSpline::kQuad);
    Near(At(s.get(), 1).v, k[3]);
    s->SetActPoints(3, 0);
    Near(At(s.get(), 0.4f).v, Cubic(k[3], out3, in0, k[0], 0.4f));
    s->SetActPoints(7, 8);  // outside the keys: unchanged
    EXPECT_EQ(s->actIndex, 3);
}

TEST(FXBezierSpline, EqualEndsTensionZeroAndLinearMode) {
    P p;
    FXBezierPhaseH h;
    h.Prepare(0.6f);
    auto s = Make({{{0, 0, 0}}, {{1, 1, 0}}, {{1, 1, 0}}, {{3, 0, 2}}});
    s->SetActPoints(1, 2);  // equal end keys, different control points
    s->GetH(p.v, &h);
    Near(p.v, P{{1, 1, 0}}, 0);
    auto z = Make({{{0, 0, 0}}, {{2, 0, 0}}, {{2, 4, 0}}, {{0, 4, 2}}}, false, 0);
    z->SetActPoints(1, 2);
    for (float t : {0.25f, 0.9f}) Near(At(z.get(), t).v, P{{2, 4 * (3 * t * t - 2 * t * t * t), 0}});  // eased
    z->linear = true;
    z->SetActPoints(-1, 0);
    Near(At(z.get(), 0.25f).v, P{{0, 3, 1.5f}});
}

TEST(FXBezierSpline, ChordPhasesAndGetAll) {
    auto c = Make({{{0, 0, 0}}, {{3, 0, 0}}, {{3, 4, 0}}});
    c->PrecomputePhasesLenght();
    EXPECT_FLOAT_EQ(c->meanLength, 3.5f);
    EXPECT_FLOAT_EQ(c->phases.items[1], 3.0f / 7);
    c->closed = true;
    c->PrecomputePhasesLenght();
    EXPECT_FLOAT_EQ(c->meanLength, 4);
    EXPECT_FLOAT_EQ(c->phases.items[2], 7.0f / 12);

    std::initializer_list<P> keys = {{{0, 0, 0}}, {{1, 1, 0}}, {{3, 1, 0}}, {{4, 3, 1}}, {{6, 2, 0}}};
    auto s = Make(keys), ref = Make(keys);
    s->PrecomputePhasesLenght();
    Near(All(s.get(), 0).v, s->keys.items, 0);
    for (int seg : {2, 0, 3, 1}) {  // forwards and backwards from the previous segment
        float mid = (s->phases.items[seg] + s->phases.items[seg + 1]) * 0.5f;
        ref->SetActPoints(seg, seg + 1);
        Near(All(s.get(), mid).v, At(ref.get(), 0.5f));
        EXPECT_NEAR(s->GetAllPos(mid), (s->keys.items[seg * 3] + s->keys.items[seg * 3 + 3]) / 2, 1e-5f);
    }
    for (float beyond : {1.0f, 1.7f}) Near(All(s.get(), beyond).v, P{{6, 2, 0}});  // holds its end
}

TEST(FXBezierSpline, ClosedGetAllWraps) {
    auto s = Make({{{0, 0, 0}}, {{2, 0, 0}}, {{2, 2, 0}}, {{0, 2, 0}}}, true);
    s->PrecomputePhasesLenght();
    Near(All(s.get(), 0.875f).v, P{{-0.75f * std::sqrt(0.5f), 1, 0}}, 1e-5f);  // the closing side
    EXPECT_EQ(s->actIndex, 3);
    Near(All(s.get(), 1.3f).v, All(s.get(), 0.3f));
}

TEST(FXBezierSpline, DegenerateKeysStayFinite) {
    auto back = Make({{{0, 0, 0}}, {{1, 1, 1}}, {{0, 0, 0}}});  // coinciding neighbours
    for (int i = 0; i < back->ctrlPoints.top; i++) EXPECT_TRUE(std::isfinite(back->ctrlPoints.items[i]));
    auto still = Make({{{2, 2, 2}}, {{2, 2, 2}}, {{2, 2, 2}}, {{2, 2, 2}}});
    auto one = Make({{{4, 5, 6}}}), none = Make({});
    for (FXBezierSpline* s : {still.get(), one.get(), none.get()}) {
        s->PrecomputePhasesLenght();
        for (float ph : {0.0f, 0.4f, 1.0f, NAN}) {
            for (float v : All(s, ph).v) EXPECT_TRUE(std::isfinite(v));
            EXPECT_TRUE(std::isfinite(s->GetAllPos(ph)));
        }
    }
    Near(All(still.get(), 0.4f).v, P{{2, 2, 2}}, 0);
    Near(All(one.get(), 0.5f).v, P{{4, 5, 6}}, 0);
}

TEST(FXBezierSpline, OpenChordPhasesEndExactlyAtOne) {
    // 7 + |(7, 1) - (10.36, 0)| times its reciprocal is 0.99999994 in single precision.
    auto s = Make({{{0, 0, 0}}, {{7, 1, 0}}, {{10.36f, 0, 0}}});
    s->PrecomputePhasesLenght();
    EXPECT_EQ(s->phases.items[2], 1.0f);
    Near(All(s.get(), 1.0f).v, P{{10.36f, 0, 0}}, 0);
    EXPECT_EQ(s->GetAllPos(1.0f), 10.36f);
    s->closed = true;  // a closed spline keeps its closing stretch up to 1
    s->PrecomputePhasesLenght();
    EXPECT_LT(s->phases.items[2], 1.0f);
}
