// FXMatrix operations and the vector blends. Everything works in place on caller storage: no
// allocation, no failure path. The exact arithmetic (summation order, the degree factor, the
// bit-exact blend ends) is part of what the scene's choreography was tuned against, so it is kept
// as it is rather than "improved".
#include "math/3dmath.h"

#include <cmath>
#include <cstring>

#include "base/binio.h"
#include "base/package.h"

namespace {

// Degrees to radians with the sign folded in: -3.1415/180 in single precision.
const float kDegToRad = -0.017452778f;
const int kRecordSize = 64;

void localDecode(FXMatrix* m, const unsigned char* bytes) {
    for (int k = 0; k < 16; k++) m->m[k] = fxGetF32(bytes + 4 * k);
}

void localEncode(const FXMatrix* m, unsigned char* bytes) {
    for (int k = 0; k < 16; k++) fxPutF32(bytes + 4 * k, m->m[k]);
}

}  // namespace

void FXMatrix::Clear(float v) {
    for (float& e : m) e = v;
}

void FXMatrix::Copy(const FXMatrix* src) { memcpy(m, src->m, sizeof(m)); }

int FXMatrix::Compare(const FXMatrix* other) const {
    for (int k = 0; k < 16; k++)
        if (!(m[k] == other->m[k])) return 0;
    return 1;
}

void FXMatrix::Multiply(const FXMatrix* a, const FXMatrix* b) {
    for (int i = 0; i < 4; i++) {
        for (int j = 0; j < 4; j++) {
            float sum = 0.0f;
            for (int k = 0; k < 4; k++) sum += a->M(k, j) * b->M(i, k);
            M(i, j) = sum;
        }
    }
}

void FXMatrix::SetIdentity() {
    Clear(0.0f);
    for (int k = 0; k < 4; k++) M(k, k) = 1.0f;
}

void FXMatrix::SetFlipX() {
    SetIdentity();
    M(0, 0) = -1.0f;
}

void FXMatrix::SetFlipY() {
    SetIdentity();
    M(1, 1) = -1.0f;
}

void FXMatrix::SetFlipZ() {
    SetIdentity();
    M(2, 2) = -1.0f;
}

void FXMatrix::SetMove(const float* v) { SetMoveF(v[0], v[1], v[2]); }

void FXMatrix::SetMoveF(float x, float y, float z) {
    SetIdentity();
    M(3, 0) = x;
    M(3, 1) = y;
    M(3, 2) = z;
    M(3, 3) = 1.0f;
}

void FXMatrix::SetScale(const float* v) { SetScaleF(v[0], v[1], v[2]); }

void FXMatrix::SetScaleF(float x, float y, float z) {
    Clear(0.0f);
    M(0, 0) = x;
    M(1, 1) = y;
    M(2, 2) = z;
    M(3, 3) = 1.0f;
}

void FXMatrix::SetRotateX(float deg) {
    float r = deg * kDegToRad;
    float sn = sinf(-r);
    float cs = cosf(r);
    SetIdentity();
    M(1, 1) = cs;
    M(2, 2) = cs;
    M(1, 2) = sn;
    M(2, 1) = -sn;
}

void FXMatrix::SetRotateY(float deg) {
    float r = deg * kDegToRad;
    float sn = sinf(r);
    float cs = cosf(r);
    SetIdentity();
    M(0, 0) = cs;
    M(2, 2) = cs;
    M(0, 2) = -sn;
    M(2, 0) = sn;
}

void FXMatrix::SetRotateZ(float deg) {
    float r = deg * kDegToRad;
    float sn = sinf(r);
    float cs = cosf(r);
    SetIdentity();
    M(0, 0) = cs;
    M(1, 1) = cs;
    M(0, 1) = sn;
    M(1, 0) = -sn;
}

size_t FXMatrix::Save(FILE* f) const {
    unsigned char bytes[kRecordSize];
    localEncode(this, bytes);
    return fwrite(bytes, kRecordSize, 1, f);
}

size_t FXMatrix::Load(FILE* f) {
    // Start from the current elements so that a short read replaces exactly the bytes it got.
    unsigned char bytes[kRecordSize];
    localEncode(this, bytes);
    size_t got = fread(bytes, 1, kRecordSize, f);
    localDecode(this, bytes);
    return got == size_t(kRecordSize) ? 1 : 0;
}

void FXMatrix::LoadC(FXPackage* /*pkg*/, FXPackageData* d) {
    const void* block = d ? d->ReadBlc(kRecordSize) : nullptr;
    if (block)
        localDecode(this, static_cast<const unsigned char*>(block));
    else
        SetIdentity();
}

void fxVec2fCombine(float* out, const float* a, const float* b) {
    for (int k = 0; k < 2; k++) out[k] = a[k] * b[k];
}

void fxVec3fCombine(float* out, const float* a, const float* b) {
    for (int k = 0; k < 3; k++) out[k] = a[k] * b[k];
}

void fxVec4fCombine(float* out, const float* a, const float* b) {
    for (int k = 0; k < 4; k++) out[k] = a[k] * b[k];
}

float fxVec1fCombineP(float a, float b, float t) {
    if (t == 0.0f) return a;
    if (t == 1.0f) return b;
    return (b - a) * t + a;
}

namespace {

void localCombineP(float* out, const float* a, const float* b, float t, int n) {
    for (int k = 0; k < n; k++) {
        float x = a[k];
        float y = b[k];
        if (t == 0.0f)
            out[k] = x;
        else if (t == 1.0f)
            out[k] = y;
        else
            out[k] = x == y ? x : x + t * (y - x);
    }
}

}  // namespace

void fxVec2fCombineP(float* out, const float* a, const float* b, float t) { localCombineP(out, a, b, t, 2); }
void fxVec3fCombineP(float* out, const float* a, const float* b, float t) { localCombineP(out, a, b, t, 3); }
void fxVec4fCombineP(float* out, const float* a, const float* b, float t) { localCombineP(out, a, b, t, 4); }
