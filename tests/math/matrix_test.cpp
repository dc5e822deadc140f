// FXMatrix: rotation signs, the product's order and rounding, comparison, the 64-byte record.
#include "geometry/3dmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "base/package.h"
#include "support/test_support.h"

namespace {

// Transforms a column vector the way OpenGL reads the matrix: out[j] = sum_i M(i, j) * p[i].
void localApply(const FXMatrix& m, const float* p, float* out) {
    for (int j = 0; j < 4; j++) {
        double s = 0;
        for (int i = 0; i < 4; i++) s += double(m.M(i, j)) * p[i];
        out[j] = float(s);
    }
}

FXMatrix localSample() {
    FXMatrix a;
    for (int k = 0; k < 16; k++) a.m[k] = float(k * 3 - 7) / 4.0f;
    return a;
}

// The degree factor the engine uses: 3.1415/180, not pi/180.
const double kFactor = 3.1415 / 180.0;

}  // namespace

TEST(Matrix, RotationsAtNinetyDegreesCarryTheirSigns) {
    FXMatrix r;
    double c90 = cos(90 * kFactor);
    r.SetRotateX(90);
    EXPECT_NEAR(r.M(1, 2), 1.0, 1e-6);
    EXPECT_NEAR(r.M(2, 1), -1.0, 1e-6);
    EXPECT_NEAR(r.M(1, 1), c90, 1e-6);
    EXPECT_NE(r.M(1, 1), 0.0f);  // the 3.1415 factor leaves about 4.6e-5
    EXPECT_NEAR(r.M(1, 1), 4.6e-5, 0.2e-5);
    EXPECT_EQ(r.M(0, 0), 1.0f);
    EXPECT_EQ(r.M(3, 3), 1.0f);

    r.SetRotateZ(90);
    EXPECT_NEAR(r.M(0, 1), -1.0, 1e-6);
    EXPECT_NEAR(r.M(1, 0), 1.0, 1e-6);
    EXPECT_EQ(r.M(2, 2), 1.0f);

    r.SetRotateY(90);
    EXPECT_NEAR(r.M(0, 2), 1.0, 1e-6);
    EXPECT_NEAR(r.M(2, 0), -1.0, 1e-6);
    EXPECT_EQ(r.M(1, 1), 1.0f);

    // Directions as points: RotateX carries +Y to +Z, RotateY +X to +Z, RotateZ +X to -Y.
    const float y[4] = {0, 1, 0, 1};
    const float x[4] = {1, 0, 0, 1};
    float out[4];
    r.SetRotateX(90);
    localApply(r, y, out);
    EXPECT_NEAR(out[2], 1.0, 1e-6);
    r.SetRotateY(90);
    localApply(r, x, out);
    EXPECT_NEAR(out[2], 1.0, 1e-6);
    r.SetRotateZ(90);
    localApply(r, x, out);
    EXPECT_NEAR(out[1], -1.0, 1e-6);

    // A small angle uses the single-precision product of the degree count and the factor.
    r.SetRotateZ(30);
    float rad = 30.0f * -0.017452778f;
    EXPECT_EQ(r.M(0, 1), sinf(rad));
    EXPECT_EQ(r.M(0, 0), cosf(rad));
}

TEST(Matrix, SimpleBuildersFillTheirElements) {
    FXMatrix m;
    m.SetMoveF(2, -3, 4);
    EXPECT_EQ(m.m[12], 2.0f);
    EXPECT_EQ(m.m[13], -3.0f);
    EXPECT_EQ(m.m[14], 4.0f);
    EXPECT_EQ(m.m[15], 1.0f);
    EXPECT_EQ(m.m[0] + m.m[5] + m.m[10], 3.0f);
    const float s[3] = {2, 5, 7};
    m.SetMoveF(9, 9, 9);
    m.SetScale(s);
    const float want[16] = {2, 0, 0, 0, 0, 5, 0, 0, 0, 0, 7, 0, 0, 0, 0, 1};
    EXPECT_EQ(memcmp(m.m, want, sizeof(want)), 0);
    m.SetFlipY();
    EXPECT_EQ(m.M(1, 1), -1.0f);
    EXPECT_EQ(m.M(0, 0), 1.0f);
    EXPECT_EQ(m.M(3, 1), 0.0f);
}

TEST(Matrix, ProductWithIdentityIsExactButDropsNegativeZero) {
    FXMatrix a = localSample(), id, r;
    a.m[6] = -0.0f;
    id.SetIdentity();
    r.Multiply(&a, &id);
    for (int k = 0; k < 16; k++) EXPECT_EQ(r.m[k], a.m[k]) << k;
    EXPECT_FALSE(std::signbit(r.m[6]));
    r.Clear(5);
    r.Multiply(&id, &a);
    for (int k = 0; k < 16; k++) EXPECT_EQ(r.m[k], a.m[k]) << k;
    EXPECT_FALSE(std::signbit(r.m[6]));
}

TEST(Matrix, ProductAppliesTheRightOperandFirst) {
    FXMatrix move, rot, out;
    move.SetMoveF(0, 0, -1);
    rot.SetRotateX(90);
    out.Multiply(&rot, &move);
    const float origin[4] = {0, 0, 0, 1};
    float p[4];
    localApply(out, origin, p);
    // Moved to (0, 0, -1), then turned: -Z goes to +Y.
    EXPECT_NEAR(p[0], 0.0, 1e-6);
    EXPECT_NEAR(p[1], 1.0, 1e-6);
    EXPECT_NEAR(p[2], 0.0, 1e-4);
    EXPECT_EQ(p[3], 1.0f);
}

TEST(Matrix, ProductSumsInIndexOrderInSinglePrecision) {
    // Only the order k = 0, 1, 2, 3 in float keeps the last 1: ((1e8 + 1) - 1e8) + 1.
    FXMatrix a, b, r;
    a.Clear(0);
    b.Clear(0);
    a.M(0, 0) = 1e8f;
    a.M(1, 0) = 1.0f;
    a.M(2, 0) = -1e8f;
    a.M(3, 0) = 1.0f;
    for (int k = 0; k < 4; k++) b.M(0, k) = 1.0f;
    r.Multiply(&a, &b);
    EXPECT_EQ(r.M(0, 0), 1.0f);
}

TEST(Matrix, CompareIsExact) {
    FXMatrix a = localSample(), b = localSample();
    EXPECT_EQ(a.Compare(&b), 1);
    a.m[3] = 0.0f;
    b.m[3] = -0.0f;
    EXPECT_EQ(a.Compare(&b), 1);
    b.m[15] = std::nextafter(a.m[15], 100.0f);
    EXPECT_EQ(a.Compare(&b), 0);
    a.m[9] = NAN;
    EXPECT_EQ(a.Compare(&a), 0);
}

TEST(Matrix, RecordIsSixtyFourLittleEndianFloats) {
    std::string path = qmTestPath("math_record.bin");
    FXMatrix a = localSample(), b;
    a.m[0] = 1.0f;
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(a.Save(f), 1u);
    fclose(f);
    std::vector<unsigned char> bytes = qmReadFile(path);
    ASSERT_EQ(bytes.size(), 64u);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[2], 0x80);
    EXPECT_EQ(bytes[3], 0x3F);
    f = fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    b.Clear(0);
    EXPECT_EQ(b.Load(f), 1u);
    fclose(f);
    EXPECT_EQ(b.Compare(&a), 1);
}

TEST(Matrix, ShortFileKeepsThePartRead) {
    std::string path = qmTestPath("math_short.bin");
    // Two whole floats (2.0, 3.0) and two bytes of a third.
    qmWriteFile(path, {0, 0, 0, 0x40, 0, 0, 0x40, 0x40, 0xAA, 0xBB});
    FXMatrix m;
    m.Clear(7.0f);
    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(m.Load(f), 0u);
    fclose(f);
    EXPECT_EQ(m.m[0], 2.0f);
    EXPECT_EQ(m.m[1], 3.0f);
    unsigned char third[4];
    memcpy(third, &m.m[2], 4);
    EXPECT_EQ(third[0], 0xAA);
    EXPECT_EQ(third[1], 0xBB);
    for (int k = 3; k < 16; k++) EXPECT_EQ(m.m[k], 7.0f);
}

TEST(Matrix, LoadFromCursorThenIdentityWhenExhausted) {
    unsigned char bytes[64 + 63];
    FXMatrix want = localSample();
    for (int k = 0; k < 16; k++) memcpy(bytes + 4 * k, &want.m[k], 4);  // little-endian host
    memset(bytes + 64, 0x11, 63);
    FXPackageData d;
    d.InitData(bytes, sizeof(bytes));
    FXMatrix m, id;
    id.SetIdentity();
    m.Clear(3);
    m.LoadC(nullptr, &d);
    EXPECT_EQ(m.Compare(&want), 1);
    EXPECT_EQ(d.remaining, 63);
    m.LoadC(nullptr, &d);  // 63 bytes are not a record
    EXPECT_EQ(m.Compare(&id), 1);
    EXPECT_EQ(d.remaining, 63);
}

TEST(Blend, EndsAreBitExact) {
    // (b - a) * 1 + a loses b here: 1e-8 vanishes next to 1.
    float b = 1e-8f;
    EXPECT_EQ(fxVec1fCombineP(1.0f, b, 1.0f), b);
    EXPECT_TRUE(std::signbit(fxVec1fCombineP(-0.0f, 2.0f, 0.0f)));
    EXPECT_EQ(fxVec1fCombineP(INFINITY, 2.0f, 0.0f), INFINITY);
    EXPECT_EQ(fxVec1fCombineP(2.0f, 4.0f, 0.25f), 2.5f);
    EXPECT_EQ(fxVec1fCombineP(0.0f, 1.0f, 2.0f), 2.0f);  // not clamped

    float a4[4] = {1.0f, INFINITY, 3.0f, -0.0f};
    float b4[4] = {1e-8f, INFINITY, 5.0f, 1.0f};
    float out[4];
    fxVec4fCombineP(out, a4, b4, 1.0f);
    EXPECT_EQ(memcmp(out, b4, sizeof(out)), 0);
    fxVec4fCombineP(out, a4, b4, 0.0f);
    EXPECT_EQ(memcmp(out, a4, sizeof(out)), 0);
    fxVec4fCombineP(out, a4, b4, 0.5f);
    EXPECT_EQ(out[1], INFINITY);  // equal components are copied, not blended
    EXPECT_EQ(out[2], 4.0f);
    EXPECT_EQ(out[3], 0.5f);

    float v3[3] = {0, 10, 20}, w3[3] = {10, 10, 0};
    fxVec3fCombineP(v3, v3, w3, 0.5f);  // in place
    EXPECT_EQ(v3[0], 5.0f);
    EXPECT_EQ(v3[1], 10.0f);
    EXPECT_EQ(v3[2], 10.0f);
    float v2[2] = {1, 2}, w2[2] = {3, 6};
    fxVec2fCombineP(w2, v2, w2, 0.5f);
    EXPECT_EQ(w2[0], 2.0f);
    EXPECT_EQ(w2[1], 4.0f);
}

TEST(Blend, CombineMultipliesComponentwise) {
    float a[4] = {1, 2, 3, 4}, b[4] = {4, 5, 6, 7}, out[4] = {0, 0, 0, -1};
    fxVec3fCombine(out, a, b);
    EXPECT_EQ(out[0], 4.0f);
    EXPECT_EQ(out[1], 10.0f);
    EXPECT_EQ(out[2], 18.0f);
    EXPECT_EQ(out[3], -1.0f);
    fxVec4fCombine(a, a, b);
    EXPECT_EQ(a[3], 28.0f);
    fxVec2fCombine(out, b, b);
    EXPECT_EQ(out[1], 25.0f);
}
