// FXMatrix, the engine's only transform: sixteen floats in the order OpenGL loads them (M(i, j)
// is element i*4 + j; elements 12..14 hold a translation), and the vector blend functions.
// Rotations take degrees with the single-precision factor -0.017452778 (-3.1415/180): RotateX
// turns +Y towards +Z, RotateY turns +X towards +Z, RotateZ turns +X towards -Y.
// The matrix record is 64 bytes: the sixteen floats little-endian, element 0 first.
#pragma once

#include <cstdio>

class FXPackage;
class FXPackageData;

class FXMatrix {
public:
    float m[16];

    float& M(int i, int j) { return m[i * 4 + j]; }
    float M(int i, int j) const { return m[i * 4 + j]; }
    operator float*() { return m; }
    operator const float*() const { return m; }

    void Clear(float v);
    void Copy(const FXMatrix* src);
    // 1 when all sixteen elements compare equal (no tolerance; NaN never equal), else 0.
    int Compare(const FXMatrix* other) const;
    // this = a*b (b applied to a point first); this must differ from a and b.
    void Multiply(const FXMatrix* a, const FXMatrix* b);
    void SetIdentity();
    void SetFlipX();
    void SetFlipY();
    void SetFlipZ();
    void SetMove(const float* v);
    void SetMoveF(float x, float y, float z);
    void SetScale(const float* v);
    void SetScaleF(float x, float y, float z);
    void SetRotateX(float deg);
    void SetRotateY(float deg);
    void SetRotateZ(float deg);

    size_t Save(FILE* f) const;
    // Keeps whatever was read, even on a short read; returns the fread result (1 or 0).
    size_t Load(FILE* f);
    // 64 bytes from the cursor, or the identity when the entry is exhausted.
    void LoadC(FXPackage* pkg, FXPackageData* d);
};

// Component-wise products.
void fxVec2fCombine(float* out, const float* a, const float* b);
void fxVec3fCombine(float* out, const float* a, const float* b);
void fxVec4fCombine(float* out, const float* a, const float* b);
// Blends: t == 0 gives a exactly, t == 1 gives b exactly, else a + t*(b - a) (equal components
// copied unchanged). t is not clamped.
float fxVec1fCombineP(float a, float b, float t);
void fxVec2fCombineP(float* out, const float* a, const float* b, float t);
void fxVec3fCombineP(float* out, const float* a, const float* b, float t);
void fxVec4fCombineP(float* out, const float* a, const float* b, float t);
