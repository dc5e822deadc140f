// Single Bezier segments in 3D: the quadratic FXBezier3, the cubic FXBezier4 (kept in polynomial
// form for cheap evaluation) and FXBezierPhaseH, a table of the powers of one parameter that many
// segments evaluated at the same parameter share. All arithmetic is single precision; points are
// three consecutive floats x, y, z, and every evaluation writes three floats to out.
#pragma once

// The powers of one parameter t, filled once by Prepare and read by every GetH.
class FXBezierPhaseH {
public:
    float t;
    float t2;   // t squared
    float t3;   // t cubed
    float it;   // 1 - t
    float tit;  // 2t(1 - t)
    float it2;  // (1 - t) squared

    void Prepare(float t);
};

class FXBezier3 {
public:
    float P0[3];
    float P1[3];
    float P2[3];

    // P0(1 - t)^2 + P1 2t(1 - t) + P2 t^2.
    void Get(float* out, float t) const;
    void GetH(float* out, const FXBezierPhaseH* h) const;
    // The alternative evaluators give the same results as the plain ones.
    void Get1(float* out, float t) const { Get(out, t); }
    void Get1H(float* out, const FXBezierPhaseH* h) const { GetH(out, h); }
    void Set(const float* p0, const float* p1, const float* p2);
};

class FXBezier4 {
public:
    float P0[3];
    float P1[3];
    float P2[3];
    float P3[3];
    // Per axis x, y, z: the cubic, quadratic and linear coefficients a, b, c.
    float coef[9];

    // Fills coef from the points: the curve is a t^3 + b t^2 + c t + P0 per axis.
    void Precompute();
    void Get(float* out, float t) const;
    void GetH(float* out, const FXBezierPhaseH* h) const;
    void Get1(float* out, float t) const { Get(out, t); }
    void Get1H(float* out, const FXBezierPhaseH* h) const { GetH(out, h); }
    // Sets the four points and precomputes.
    void Set(const float* p0, const float* p1, const float* p2, const float* p3);
};
