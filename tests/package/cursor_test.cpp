#include <gtest/gtest.h>

#include <cstring>

#include "base/package.h"
#include "package/package_bytes.h"

namespace {

struct Cursor {
    std::vector<unsigned char> bytes;
    FXPackageData d;
    explicit Cursor(const std::vector<unsigned char>& b) : bytes(b) { d.InitData(bytes.data(), int(bytes.size())); }
};

}  // namespace

TEST(FXPackageData, ReadBoolIsTrueOnlyForOne) {
    Cursor c({1, 2, 0xFF});
    EXPECT_TRUE(c.d.ReadBool());
    EXPECT_FALSE(c.d.ReadBool());  // 2 is false, and consumed
    EXPECT_EQ(c.d.remaining, 1);
    EXPECT_FALSE(c.d.ReadBool());
    EXPECT_EQ(c.d.remaining, 0);
    EXPECT_FALSE(c.d.ReadBool());  // exhausted: nothing consumed
    EXPECT_EQ(c.d.remaining, 0);
    EXPECT_EQ(c.d.current, c.d.start + 3);
}

TEST(FXPackageData, NumbersAreLittleEndianAndShortReadsConsumeNothing) {
    QMPackageBytes b;
    b.Int(-2);
    unsigned char f[4], g[8];
    fxPutF32(f, 1.5f);
    fxPutF64(g, -0.25);
    b.bytes.insert(b.bytes.end(), f, f + 4);
    b.bytes.insert(b.bytes.end(), g, g + 8);
    b.bytes.insert(b.bytes.end(), {0x01, 0x02, 0x03});
    Cursor c(b.bytes);
    EXPECT_EQ(c.d.ReadInt(), -2);
    EXPECT_EQ(c.d.ReadFloat(), 1.5f);
    EXPECT_EQ(c.d.ReadDouble(), -0.25);
    EXPECT_EQ(c.d.remaining, 3);
    EXPECT_EQ(c.d.ReadInt(), 0);
    EXPECT_EQ(c.d.ReadFloat(), 0.0f);
    EXPECT_EQ(c.d.ReadDouble(), 0.0);
    EXPECT_EQ(c.d.remaining, 3);
    EXPECT_EQ(c.d.current[0], 0x01);

    Cursor u({0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(u.d.ReadInt(), 0x04030201);
}

TEST(FXPackageData, ReadFloat4NeedsSixteenBytes) {
    std::vector<unsigned char> b(15, 0x40);
    Cursor c(b);
    float dst[4] = {7, 7, 7, 7};
    c.d.ReadFloat4(dst);
    for (float v : dst) EXPECT_EQ(v, 7.0f);
    EXPECT_EQ(c.d.remaining, 15);

    QMPackageBytes full;
    for (float v : {1.0f, -2.0f, 0.5f, 8.0f}) {
        unsigned char f[4];
        fxPutF32(f, v);
        full.bytes.insert(full.bytes.end(), f, f + 4);
    }
    Cursor d(full.bytes);
    d.d.ReadFloat4(dst);
    EXPECT_EQ(dst[0], 1.0f);
    EXPECT_EQ(dst[1], -2.0f);
    EXPECT_EQ(dst[3], 8.0f);
    EXPECT_EQ(d.d.remaining, 0);
}

TEST(FXPackageData, BlocksPointIntoTheRunOrRefuse) {
    Cursor c({'a', 'b', 'c', 'd', 'e'});
    const void* p = c.d.ReadBlc(2);
    EXPECT_EQ(p, c.bytes.data());
    char dst[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(c.d.ReadCopyBlc(dst, 4), nullptr);  // only 3 left
    EXPECT_EQ(dst[0], 'x');
    EXPECT_EQ(c.d.ReadBlc(-1), nullptr);
    EXPECT_EQ(c.d.remaining, 3);
    EXPECT_EQ(c.d.ReadCopyBlc(dst, 3), c.bytes.data() + 2);
    EXPECT_EQ(memcmp(dst, "cde", 3), 0);
    EXPECT_EQ(c.d.ReadBlc(1), nullptr);
    c.d.Reseek();
    EXPECT_EQ(c.d.remaining, 5);
    EXPECT_EQ(c.d.current, c.d.start);
}

TEST(FXPackageData, StringLengthRules) {
    QMPackageBytes b;
    b.Int(0).Int(-7).Int(3).Text("abc").Int(2);
    Cursor c(b.bytes);
    FXStr s("old");
    c.d.ReadString(&s);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(c.d.remaining, int(b.bytes.size()) - 4);
    c.d.ReadString(&s);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(c.d.remaining, int(b.bytes.size()) - 8);
    c.d.ReadString(&s);
    EXPECT_STREQ(s.text, "abc");
    EXPECT_EQ(s.len, 3);
    s.Set("old");
    c.d.ReadString(&s);  // length 2, nothing follows: empty, cursor exhausted
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(c.d.remaining, 0);
    s.Set("old");
    c.d.ReadString(&s);  // no room for a count
    EXPECT_TRUE(s.IsEmpty());

    QMPackageBytes longer;
    longer.Int(1500).Text(std::string(1500, 'q')).Int(9);
    Cursor l(longer.bytes);
    l.d.ReadString(&s);
    EXPECT_EQ(s.len, 1023);
    EXPECT_EQ(s.text[1023], 0);
    EXPECT_EQ(l.d.ReadInt(), 9);  // the rest of the long string was skipped
}

TEST(FXPackageData, ArraysKeepTheStoredCount) {
    QMPackageBytes b;
    b.Int(5).Int(10).Int(20);
    Cursor c(b.bytes);
    FXArray a;
    a.PushInt(99);
    c.d.ReadArray(&a);
    ASSERT_EQ(a.top, 5);
    EXPECT_EQ(a.GetInt(0), 10);
    EXPECT_EQ(a.GetInt(1), 20);
    for (int i = 2; i < 5; i++) EXPECT_EQ(a.GetInt(i), 0);
    EXPECT_EQ(c.d.remaining, 0);

    QMPackageBytes fb;
    fb.Int(3);
    unsigned char f[4];
    fxPutF32(f, 2.5f);
    fb.bytes.insert(fb.bytes.end(), f, f + 4);
    Cursor fc(fb.bytes);
    FXFloatArray fa;
    fc.d.ReadFloatArray(&fa);
    ASSERT_EQ(fa.top, 3);
    EXPECT_EQ(fa.items[0], 2.5f);
    EXPECT_EQ(fa.items[2], 0.0f);

    QMPackageBytes sb;
    sb.Int(3).Int(2).Text("hi").Int(0);
    Cursor sc(sb.bytes);
    FXStrArray sa;
    sc.d.ReadStringArray(&sa);
    ASSERT_EQ(sa.top, 3);
    EXPECT_STREQ(sa.Get(0), "hi");
    EXPECT_EQ(sa.items[1], nullptr);
    EXPECT_EQ(sa.items[2], nullptr);

    QMPackageBytes huge;  // a count no package array may hold reads as empty
    huge.Int(FXPackageData::kMaxArrayItems + 1).Int(1);
    Cursor hc(huge.bytes);
    hc.d.ReadArray(&a);
    EXPECT_EQ(a.top, 0);
    Cursor neg(QMPackageBytes().Int(-3).Int(1).bytes);
    neg.d.ReadStringArray(&sa);
    EXPECT_EQ(sa.top, 0);
    Cursor none(std::vector<unsigned char>{1, 2});
    none.d.ReadFloatArray(&fa);
    EXPECT_EQ(fa.top, 0);
    EXPECT_EQ(none.d.remaining, 2);
}

TEST(FXPackageData, WritesStayInsideTheRun) {
    std::vector<unsigned char> scratch(20, 0xEE);
    FXPackageData w;
    w.InitData(scratch.data(), 16);
    FXArray a;
    for (int v : {7, -1, 300}) a.PushInt(v);
    w.WriteArray(&a);
    w.WriteInt(42);
    EXPECT_EQ(w.remaining, 0);
    w.WriteInt(5);
    w.WriteArray(&a);
    EXPECT_EQ(scratch[16], 0xEE);

    FXPackageData r;
    r.InitData(scratch.data(), 16);
    FXArray back;
    r.ReadArray(&back);
    ASSERT_EQ(back.top, 3);
    EXPECT_EQ(back.GetInt(1), -1);
    EXPECT_EQ(back.GetInt(2), 300);

    std::vector<unsigned char> small(3, 0xEE);
    FXPackageData s;
    s.InitData(small.data(), 3);
    s.WriteInt(1);
    EXPECT_EQ(small, std::vector<unsigned char>(3, 0xEE));
    EXPECT_EQ(s.remaining, 3);
}
