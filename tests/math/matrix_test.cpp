// FXMatrix: rotation signs, the product's order and rounding, comparison, the 64-byte record;
// the vector blends.
#include "math/3dmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "base/binio.h"
#include "base/package.h"
#include "support/test_support.h"

namespace {
FXMatrix localSample() {
    FXMatrix a;
    for (int k = 0; k < 16; k++) a.m[k] = float(k * 3 - 7) / 4.0f;
    return a;
}
}  // namespace

TEST(Matrix, RotationsAtNinetyDegreesCarryTheirSigns) {
    FXMatrix r;
    r.SetRotateX(90);  // +Y towards +Z
    EXPECT_NEAR(r.M(1, 2), 1.0, 1e-6);
    EXPECT_NEAR(r.M(2, 1), -1.0, 1e-6);
    EXPECT_NEAR(r.M(1, 1), cos(90 * 3.1415 / 180), 1e-7);  // about 4.6e-5, not 0
    r.SetRotateZ(90);  // +X towards -Y
    EXPECT_NEAR(r.M(0, 1), -1.0, 1e-6);
    EXPECT_NEAR(r.M(1, 0), 1.0, 1e-6);
    r.SetRotateY(90);  // +X towards +Z
    EXPECT_NEAR(r.M(0, 2), 1.0, 1e-6);
    EXPECT_NEAR(r.M(2, 0), -1.0, 1e-6);
}

TEST(Matrix, ProductOrderAndRounding) {
    FXMatrix a = localSample(), id, r, move, rot;
    a.m[6] = -0.0f;
    id.SetIdentity();
    r.Multiply(&a, &id);
    for (int k = 0; k < 16; k++) EXPECT_EQ(r.m[k], a.m[k]) << k;
    EXPECT_FALSE(std::signbit(r.m[6]));  // the sum starts at +0
    r.Multiply(&id, &a);
    EXPECT_EQ(r.Compare(&a), 1);
    // The origin moved to z = -1, then turned about X by 90 degrees, lands on +Y.
    move.SetMoveF(0, 0, -1);
    rot.SetRotateX(90);
    r.Multiply(&rot, &move);
    EXPECT_NEAR(r.M(3, 1), 1.0, 1e-6);
    EXPECT_NEAR(r.M(3, 2), 0.0, 1e-4);
    // Only the order k = 0..3 in single precision keeps the last 1: ((1e8 + 1) - 1e8) + 1.
    a.Clear(0);
    move.Clear(0);
    const float row[4] = {1e8f, 1.0f, -1e8f, 1.0f};
    for (int k = 0; k < 4; k++) a.M(k, 0) = row[k], move.M(0, k) = 1.0f;
    r.Multiply(&a, &move);
    EXPECT_EQ(r.M(0, 0), 1.0f);
}

TEST(Matrix, CompareIsExact) {
    FXMatrix a = localSample(), b = localSample();
    a.m[3] = 0.0f;
    b.m[3] = -0.0f;
    EXPECT_EQ(a.Compare(&b), 1);
    b.m[15] = std::nextafter(a.m[15], 100.0f);
    EXPECT_EQ(a.Compare(&b), 0);
    a.m[9] = NAN;
    EXPECT_EQ(a.Compare(&a), 0);
}

TEST(Matrix, RecordFromFilesAndCursors) {
    std::string path = qmTestPath("math_record.bin");
    FXMatrix a = localSample(), b, id;
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(a.Save(f), 1u);
    fclose(f);
    std::vector<unsigned char> bytes = qmReadFile(path);
    ASSERT_EQ(bytes.size(), 64u);
    EXPECT_EQ(fxGetF32(&bytes[4]), a.m[1]);
    // Two whole floats (2.0, 3.0) and two bytes of a third: the rest keeps its old value.
    qmWriteFile(path, {0, 0, 0, 0x40, 0, 0, 0x40, 0x40, 0xAA, 0xBB});
    b.Clear(7.0f);  // 00 00 E0 40
    f = fopen(path.c_str(), "rb");
    EXPECT_EQ(b.Load(f), 0u);
    fclose(f);
    EXPECT_EQ(b.m[1], 3.0f);
    EXPECT_EQ(fxGetU32(&b.m[2]), 0x40E0BBAAu);
    EXPECT_EQ(b.m[3], 7.0f);
    // From a cursor: one record, then 63 bytes that are not one (identity, nothing consumed).
    unsigned char blob[64 + 63] = {};
    memcpy(blob, bytes.data(), 64);
    FXPackageData d;
    d.InitData(blob, sizeof(blob));
    b.LoadC(nullptr, &d);
    EXPECT_EQ(b.Compare(&a), 1);
    b.LoadC(nullptr, &d);
    id.SetIdentity();
    EXPECT_EQ(b.Compare(&id), 1);
    EXPECT_EQ(d.remaining, 63);
}

TEST(Blend, EndsAreBitExactAndEqualComponentsAreCopied) {
    EXPECT_EQ(fxVec1fCombineP(1.0f, 1e-8f, 1.0f), 1e-8f);  // (b - a) * 1 + a would give 0
    EXPECT_TRUE(std::signbit(fxVec1fCombineP(-0.0f, 2.0f, 0.0f)));
    EXPECT_EQ(fxVec1fCombineP(0.0f, 1.0f, 2.0f), 2.0f);  // not clamped
    float a[4] = {1.0f, INFINITY, 3.0f, -0.0f}, b[4] = {1e-8f, INFINITY, 5.0f, 1.0f}, out[4];
    fxVec4fCombineP(out, a, b, 1.0f);
    EXPECT_EQ(memcmp(out, b, sizeof(out)), 0);
    fxVec4fCombineP(out, a, b, 0.5f);
    EXPECT_EQ(out[1], INFINITY);  // inf - inf would be NaN
    EXPECT_EQ(out[2], 4.0f);
    float v[3] = {0, 10, 20}, w[3] = {10, 10, 0};
    fxVec3fCombineP(v, v, w, 0.5f);  // in place
    EXPECT_EQ(v[0], 5.0f);
    EXPECT_EQ(v[2], 10.0f);
    float p[3] = {1, 2, 3}, q[3] = {4, 5, 6};
    fxVec3fCombine(p, p, q);
    EXPECT_EQ(p[0], 4.0f);
    EXPECT_EQ(p[1], 10.0f);
    EXPECT_EQ(p[2], 18.0f);
}
