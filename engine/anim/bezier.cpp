// Evaluation of the quadratic and cubic Bezier segments and of the shared power table. The cubic
// evaluation from t and from the table use the same products, so both give identical results.
#include "anim/bezier.h"

void FXBezierPhaseH::Prepare(float v) {
    t = v;
    t2 = v * v;
    t3 = t2 * v;
    it = 1.0f - v;
    tit = 2.0f * v * it;
    it2 = it * it;
}

void FXBezier3::Set(const float* p0, const float* p1, const float* p2) {
    for (int k = 0; k < 3; k++) {
        P0[k] = p0[k];
        P1[k] = p1[k];
        P2[k] = p2[k];
    }
}

void FXBezier3::Get(float* out, float t) const {
    FXBezierPhaseH h;
    h.Prepare(t);
    GetH(out, &h);
}

void FXBezier3::GetH(float* out, const FXBezierPhaseH* h) const {
    for (int k = 0; k < 3; k++) out[k] = P0[k] * h->it2 + P1[k] * h->tit + P2[k] * h->t2;
}

void FXBezier4::Set(const float* p0, const float* p1, const float* p2, const float* p3) {
    for (int k = 0; k < 3; k++) {
        P0[k] = p0[k];
        P1[k] = p1[k];
        P2[k] = p2[k];
        P3[k] = p3[k];
    }
    Precompute();
}

void FXBezier4::Precompute() {
    for (int k = 0; k < 3; k++) {
        float c = 3.0f * (P1[k] - P0[k]);
        float b = 3.0f * (P2[k] - P1[k]) - c;
        float a = P3[k] - P0[k] - c - b;
        coef[k * 3 + 0] = a;
        coef[k * 3 + 1] = b;
        coef[k * 3 + 2] = c;
    }
}

void FXBezier4::Get(float* out, float t) const {
    FXBezierPhaseH h;
    h.Prepare(t);
    GetH(out, &h);
}

void FXBezier4::GetH(float* out, const FXBezierPhaseH* h) const {
    for (int k = 0; k < 3; k++) {
        const float* c = coef + k * 3;
        out[k] = c[0] * h->t3 + c[1] * h->t2 + c[2] * h->t + P0[k];
    }
}
