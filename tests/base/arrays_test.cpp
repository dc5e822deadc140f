#include "base/arrays.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

TEST(FXArray, GrowthFollowsTheStep) {
    FXArray a;
    EXPECT_EQ(a.items, nullptr);
    a.PushInt(1);
    EXPECT_EQ(a.capacity, 1);
    for (int i = 2; i <= 5; i++) a.PushInt(i);
    EXPECT_EQ(a.capacity, 5);

    FXArray b(16);
    for (int i = 0; i < 5; i++) b.PushInt(i);
    EXPECT_EQ(b.capacity, 16);
    b.PushVoid();
    EXPECT_EQ(b.top, 6);
    EXPECT_EQ(b.GetInt(5), 0);  // a fresh slot is zero
}

TEST(FXArray, InsertAppendsOrGrowsByOne) {
    FXArray a(4);
    for (int i = 0; i < 4; i++) a.PushInt(i);
    a.Insert(0, reinterpret_cast<void*>(intptr_t(9)));  // full: one more slot, not a step
    EXPECT_EQ(a.capacity, 5);
    EXPECT_EQ(a.GetInt(0), 9);
    EXPECT_EQ(a.GetInt(4), 3);
    a.Insert(-1, reinterpret_cast<void*>(intptr_t(7)));
    a.Insert(a.top + 3, reinterpret_cast<void*>(intptr_t(8)));
    EXPECT_EQ(a.GetInt(a.top - 2), 7);
    EXPECT_EQ(a.GetInt(a.top - 1), 8);
    int before = a.top;
    a.Insert(-5, nullptr);  // refused, memory untouched
    EXPECT_EQ(a.top, before);
}

TEST(FXArray, MoveRemoveFindAndPop) {
    FXArray a;
    for (int i = 0; i < 4; i++) a.PushInt(i);
    a.MovePos(0, -1);
    a.MovePos(3, 1);
    a.MovePos(1, 0);
    EXPECT_EQ(a.GetInt(0), 0);
    EXPECT_EQ(a.GetInt(3), 3);
    a.MovePos(0, 1);
    EXPECT_EQ(a.GetInt(0), 1);
    EXPECT_EQ(a.GetInt(1), 0);
    EXPECT_EQ(a.Findpos(reinterpret_cast<void*>(intptr_t(3))), 3);
    EXPECT_EQ(a.Remove(reinterpret_cast<void*>(intptr_t(42))), -1);
    a.RemovePos(0);
    a.RemovePos(10);
    EXPECT_EQ(a.top, 3);
    EXPECT_EQ(a.GetInt(0), 0);
    EXPECT_EQ(reinterpret_cast<intptr_t>(a.Pop()), 3);
    a.RemoveAll();
    EXPECT_EQ(a.Pop(), nullptr);
    EXPECT_EQ(a.First(), nullptr);
    EXPECT_NE(a.items, nullptr);  // RemoveAll keeps the buffer
}

TEST(FXArray, FileEncodingAndTruncatedLoad) {
    std::string path = qmTestPath("array.bin");
    FILE* f = fopen(path.c_str(), "wb");
    FXArray never;
    never.Save(f);
    FXArray a;
    a.PushInt(-2);
    a.PushInt(0x01020304);
    a.Save(f);
    fclose(f);
    std::vector<unsigned char> want = {0, 0, 0, 0, 2, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1};
    EXPECT_EQ(qmReadFile(path), want);

    // A count of 1000000 with two items in the file stops with the two.
    std::vector<unsigned char> cut = {0x40, 0x42, 0x0F, 0, 1, 0, 0, 0, 2, 0, 0, 0};
    qmWriteFile(path, cut);
    f = fopen(path.c_str(), "rb");
    FXArray b;
    b.Load(f);
    fclose(f);
    EXPECT_EQ(b.top, 2);
    EXPECT_LE(b.capacity, 3);
    EXPECT_EQ(b.GetInt(1), 2);
}

TEST(FXStrArray, EmptyStringsAreNullItems) {
    FXStrArray a;
    a.Push("one");
    a.Push("");
    a.Push(nullptr);
    EXPECT_EQ(a.items[1], nullptr);
    EXPECT_EQ(a.Findpos(""), 1);
    EXPECT_EQ(a.Findpos(nullptr), 1);
    EXPECT_EQ(a.Findpos("one"), 0);
    EXPECT_EQ(a.Findpos("two"), -1);
    a.Change(1, "");
    EXPECT_NE(a.items[1], nullptr);  // Change keeps an empty string as a string
    a.Change(7, "x");                // refused
    EXPECT_EQ(a.top, 3);

    std::string path = qmTestPath("strarray.bin");
    FILE* f = fopen(path.c_str(), "wb");
    a.Save(f);
    fclose(f);
    std::vector<unsigned char> want = {3, 0, 0, 0, 3, 0, 0, 0, 'o', 'n', 'e', 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(qmReadFile(path), want);
}

TEST(FXStrArray, LoadHandlesNullItemsAndDamage) {
    std::string path = qmTestPath("strarray_load.bin");
    qmWriteFile(path, {2, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c', 0, 0, 0, 0});
    FILE* f = fopen(path.c_str(), "rb");
    FXStrArray a;
    a.Push("stale");
    a.Load(f);
    fclose(f);
    ASSERT_EQ(a.top, 2);
    EXPECT_STREQ(a.items[0], "abc");
    EXPECT_EQ(a.items[1], nullptr);

    // A string length beyond the file ends the load with the items read so far.
    qmWriteFile(path, {3, 0, 0, 0, 1, 0, 0, 0, 'x', 0xFF, 0xFF, 0xFF, 0x7F, 'y'});
    f = fopen(path.c_str(), "rb");
    a.Load(f);
    fclose(f);
    ASSERT_EQ(a.top, 1);
    EXPECT_STREQ(a.items[0], "x");
}

TEST(FXStrArray, RemoveAndPopFreeTheirStrings) {
    FXStrArray a;
    a.Push("a");
    a.Push("b");
    a.Push("c");
    EXPECT_EQ(a.Remove("b"), 1);
    EXPECT_STREQ(a.items[1], "c");
    EXPECT_EQ(a.items[2], nullptr);
    a.Pop();
    EXPECT_EQ(a.top, 1);
    a.Insert(0, "z");
    EXPECT_STREQ(a.First(), "z");
    EXPECT_STREQ(a.Last(), "a");
}

TEST(FXFloatArray, RoundTrip) {
    FXFloatArray a(3);
    a.Push(1.5f);
    a.Push(-2.0f);
    EXPECT_EQ(a.capacity, 3);
    std::string path = qmTestPath("floats.bin");
    FILE* f = fopen(path.c_str(), "wb");
    a.Save(f);
    fclose(f);
    EXPECT_EQ(qmReadFile(path).size(), 12u);
    FXFloatArray b;
    f = fopen(path.c_str(), "rb");
    b.Load(f);
    fclose(f);
    ASSERT_EQ(b.top, 2);
    EXPECT_EQ(b.items[1], -2.0f);
    EXPECT_EQ(b.Pop(), -2.0f);
    b.RemoveAll();
    EXPECT_EQ(b.Pop(), 0.0f);
}

TEST(FXMemory, ItemsAndBounds) {
    FXMemory m;
    m.itemSize = 12;
    m.Realloc(4);
    EXPECT_EQ(m.capacity, 4);
    m.count = 2;
    EXPECT_NE(m.GetItemPtr(1), nullptr);
    EXPECT_EQ(m.GetItemPtr(2), nullptr);
    EXPECT_EQ(m.GetItemPtr(-1), nullptr);
    static_cast<char*>(m.GetItemPtr(1))[0] = 7;
    m.Realloc(8);
    EXPECT_EQ(static_cast<char*>(m.GetItemPtr(1))[0], 7);
    EXPECT_EQ(static_cast<char*>(m.data)[8 * 12 - 1], 0);
    m.DestroyBuf();
    EXPECT_EQ(m.GetItemPtr(0), nullptr);
}

TEST(Memory, Power2AndRects) {
    EXPECT_EQ(fxPower2(0), 1);
    EXPECT_EQ(fxPower2(1), 1);
    EXPECT_EQ(fxPower2(300), 512);
    EXPECT_EQ(fxPower2(512), 512);
    unsigned char* z = static_cast<unsigned char*>(fxMalloc(64));
    for (int i = 0; i < 64; i++) EXPECT_EQ(z[i], 0);
    free(z);

    FXRect a, b;
    a.Set(0, 0, 10, 10);
    b.Set(20, 20, 30, 30);
    FXRect u = a;
    u.CombineOr(&b);
    EXPECT_EQ(u.right, 30);
    EXPECT_EQ(u.left, 0);
    EXPECT_FALSE(a.CombineAnd(&b));
    FXRect c;
    c.Set(0, 0, 10, 10);
    FXRect d;
    d.Set(5, 5, 15, 15);
    EXPECT_TRUE(c.CombineAnd(&d));
    EXPECT_EQ(c.left, 5);
    EXPECT_EQ(c.right, 10);
    c.SetZero();
    EXPECT_TRUE(c.IsEmpty());
}
