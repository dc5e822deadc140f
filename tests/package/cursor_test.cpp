#include <gtest/gtest.h>

#include <cstring>

#include "base/package.h"
#include "support/package_bytes.h"

namespace {

struct Cursor {
    std::vector<unsigned char> bytes;
    FXPackageData d;
    explicit Cursor(const std::vector<unsigned char>& b) : bytes(b) { d.InitData(bytes.data(), int(bytes.size())); }
};

}  // namespace

TEST(FXPackageData, ShortReadsConsumeNothing) {
    Cursor b({1, 2, 0xFF});
    EXPECT_TRUE(b.d.ReadBool());
    EXPECT_FALSE(b.d.ReadBool());  // 2 is false, and consumed
    EXPECT_EQ(b.d.remaining, 1);
    b.d.ReadBool();
    EXPECT_FALSE(b.d.ReadBool());  // exhausted
    EXPECT_EQ(b.d.current, b.d.start + 3);

    Cursor c({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07});
    EXPECT_EQ(c.d.ReadInt(), 0x04030201);
    EXPECT_EQ(c.d.ReadInt(), 0);  // 3 left
    EXPECT_EQ(c.d.ReadFloat(), 0.0f);
    EXPECT_EQ(c.d.ReadDouble(), 0.0);
    EXPECT_EQ(c.d.remaining, 3);

    std::vector<unsigned char> fifteen(15, 0x40);
    Cursor f(fifteen);
    float dst[4] = {7, 7, 7, 7};
    f.d.ReadFloat4(dst);
    EXPECT_EQ(dst[0], 7.0f);
    EXPECT_EQ(dst[3], 7.0f);
    EXPECT_EQ(f.d.remaining, 15);
}

TEST(FXPackageData, BlocksPointIntoTheRunOrRefuse) {
    Cursor c({'a', 'b', 'c', 'd', 'e'});
    EXPECT_EQ(c.d.ReadBlc(2), c.bytes.data());
    char dst[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(c.d.ReadCopyBlc(dst, 4), nullptr);  // only 3 left
    EXPECT_EQ(dst[0], 'x');
    EXPECT_EQ(c.d.ReadBlc(-1), nullptr);
    EXPECT_EQ(c.d.ReadCopyBlc(dst, 3), c.bytes.data() + 2);
    EXPECT_EQ(memcmp(dst, "cde", 3), 0);
    c.d.Reseek();
    EXPECT_EQ(c.d.remaining, 5);
    EXPECT_EQ(c.d.current, c.d.start);
}

TEST(FXPackageData, StringLengthRules) {
    QmBytes b;
    b.Int(0).Int(-7).Int(3).Text("abc").Int(2);
    Cursor c(b.bytes);
    FXStr s("old");
    c.d.ReadString(&s);
    EXPECT_TRUE(s.IsEmpty());
    c.d.ReadString(&s);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(c.d.remaining, int(b.bytes.size()) - 8);  // only the two counts consumed
    c.d.ReadString(&s);
    EXPECT_STREQ(s.text, "abc");
    s.Set("old");
    c.d.ReadString(&s);  // length 2, nothing follows: empty, cursor exhausted
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(c.d.remaining, 0);

    QmBytes longer;
    longer.Int(1500).Text(std::string(1500, 'q')).Int(9);
    Cursor l(longer.bytes);
    l.d.ReadString(&s);
    EXPECT_EQ(s.len, 1023);
    EXPECT_EQ(s.text[1023], 0);
    EXPECT_EQ(l.d.ReadInt(), 9);  // the rest of the long string was skipped
}

TEST(FXPackageData, ArraysKeepTheStoredCount) {
    Cursor c(QmBytes().Int(5).Int(10).Int(20).bytes);
    FXArray a;
    a.PushInt(99);
    c.d.ReadArray(&a);
    ASSERT_EQ(a.top, 5);
    EXPECT_EQ(a.GetInt(1), 20);
    for (int i = 2; i < 5; i++) EXPECT_EQ(a.GetInt(i), 0);

    unsigned char f[4];
    fxPutF32(f, 2.5f);
    QmBytes fb;
    fb.Int(3).bytes.insert(fb.bytes.end(), f, f + 4);
    Cursor fc(fb.bytes);
    FXFloatArray fa;
    fc.d.ReadFloatArray(&fa);
    ASSERT_EQ(fa.top, 3);
    EXPECT_EQ(fa.items[0], 2.5f);
    EXPECT_EQ(fa.items[2], 0.0f);

    Cursor sc(QmBytes().Int(3).Int(2).Text("hi").Int(0).bytes);
    FXStrArray sa;
    sc.d.ReadStringArray(&sa);
    ASSERT_EQ(sa.top, 3);
    EXPECT_STREQ(sa.Get(0), "hi");
    EXPECT_EQ(sa.items[2], nullptr);

    // A count no package array may hold reads as empty.
    Cursor hc(QmBytes().Int(FXPackageData::kMaxArrayItems + 1).Int(1).bytes);
    hc.d.ReadArray(&a);
    EXPECT_EQ(a.top, 0);
}

TEST(FXPackageData, WritesStayInsideTheRun) {
    std::vector<unsigned char> scratch(20, 0xEE);
    FXPackageData w;
    w.InitData(scratch.data(), 16);
    FXArray a;
    for (int v : {7, -1, 300}) a.PushInt(v);
    w.WriteArray(&a);
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
}
