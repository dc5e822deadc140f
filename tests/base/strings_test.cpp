#include "base/strings.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

TEST(FXStr, CapacityCutsLongTextEverywhere) {
    std::string big(2000, 'x');
    FXStr s(big.c_str());
    EXPECT_EQ(s.len, 1023);
    EXPECT_EQ(std::string(s.text), big.substr(0, 1023));

    s.Format("%s%s", big.c_str(), "tail");
    EXPECT_EQ(s.len, 1023);
    EXPECT_EQ(s.text[1023], 0);

    s.AppendChar('y');  // full: nothing happens
    EXPECT_EQ(s.len, 1023);
    s.RemoveLast();
    s.AppendChar('y');  // 1022 -> 1023
    EXPECT_EQ(s.len, 1023);
    EXPECT_EQ(s.text[1022], 'y');
    s.InsertChar('z');
    EXPECT_EQ(s.text[0], 'x');

    FXStr a("abc");
    a.Append(big.c_str());
    EXPECT_EQ(a.len, 1023);
    EXPECT_EQ(a.text[0], 'a');
}

TEST(FXStr, SetFromItsOwnText) {
    FXStr s("dir/file.png");
    s.Set(s.text + 4);
    EXPECT_STREQ(s.text, "file.png");
    EXPECT_EQ(s.len, 8);
}

TEST(FXStr, AppendCharOfZeroChangesNothing) {
    FXStr s("ab");
    s.AppendChar('\0');
    EXPECT_EQ(s.len, 2);
    s.InsertChar('c');
    EXPECT_STREQ(s.text, "cab");
}

TEST(FXStr, ComparisonsOnEmptyAndPrefixes) {
    FXStr empty;
    EXPECT_TRUE(empty.Compare(""));
    EXPECT_TRUE(empty.Compare(nullptr));
    EXPECT_FALSE(empty.iCompare(""));
    EXPECT_TRUE(empty.iCompare(nullptr));
    EXPECT_FALSE(empty.nCompare("pck01", 5));

    FXStr sig("pck01s");
    EXPECT_TRUE(sig.nCompare("pck01", 5));
    EXPECT_FALSE(sig.Compare("pck01"));
    EXPECT_FALSE(sig.Compare(""));
    EXPECT_TRUE(FXStr("Leaf").iCompare("lEAF"));
    EXPECT_FALSE(FXStr("Leaf").Compare("leaf"));
}

TEST(FXStr, CaseAndExchange) {
    FXStr s("Ab-C d");
    s.ToUpper();
    EXPECT_STREQ(s.text, "AB-C D");
    s.ToLower();
    EXPECT_STREQ(s.text, "ab-c d");
    s.ExchangeChars('-', '_');
    EXPECT_STREQ(s.text, "ab_c d");
}

TEST(Trim, LeadingTrailingAndAllSpaces) {
    char a[] = "  ab \t";
    EXPECT_EQ(localTrimSpaces(a, 6), 2);
    EXPECT_STREQ(a, "ab");
    char b[] = "   ";
    EXPECT_EQ(localTrimSpaces(b, 3), 0);
    EXPECT_STREQ(b, "");
    char c[] = "x";
    EXPECT_EQ(localTrimSpaces(c, 1), 1);
    EXPECT_EQ(localTrimSpaces(c, 0), 0);
    FXStr s("  hello  ");
    s.TrimSpaces();
    EXPECT_STREQ(s.text, "hello");
    EXPECT_EQ(s.len, 5);
}

TEST(FXStr, FileEncodingIsByteExact) {
    std::string path = qmTestPath("str_save.bin");
    FILE* f = fopen(path.c_str(), "wb");
    FXStr("abc").Save(f);
    FXStr().Save(f);
    fclose(f);
    std::vector<unsigned char> want = {3, 0, 0, 0, 'a', 'b', 'c', 0, 0, 0, 0};
    EXPECT_EQ(qmReadFile(path), want);

    f = fopen(path.c_str(), "rb");
    FXStr a, b;
    a.Load(f);
    b.Load(f);
    fclose(f);
    EXPECT_STREQ(a.text, "abc");
    EXPECT_EQ(a.len, 3);
    EXPECT_TRUE(b.IsEmpty());
}

TEST(FXStr, LoadOfOversizedNegativeAndShortLengthsStaysInBounds) {
    std::string path = qmTestPath("str_load.bin");
    std::vector<unsigned char> bytes = {0xD0, 0x07, 0, 0};  // 2000
    bytes.insert(bytes.end(), 2000, 'q');
    bytes.insert(bytes.end(), {0xFF, 0xFF, 0xFF, 0xFF});  // -1: empty, nothing follows
    bytes.insert(bytes.end(), {2, 0, 0, 0, 'o', 'k'});
    bytes.insert(bytes.end(), {9, 0, 0, 0, 's', 'h'});  // claims 9, holds 2
    qmWriteFile(path, bytes);

    FILE* f = fopen(path.c_str(), "rb");
    FXStr s;
    s.Load(f);
    EXPECT_EQ(s.len, 1023);
    EXPECT_EQ(s.text[1023], 0);
    s.Load(f);
    EXPECT_TRUE(s.IsEmpty());
    s.Load(f);  // the stream stayed in step
    EXPECT_STREQ(s.text, "ok");
    s.Load(f);
    EXPECT_STREQ(s.text, "sh");
    s.Load(f);  // end of file
    EXPECT_TRUE(s.IsEmpty());
    fclose(f);
}

TEST(FXStr, SaveShortPathWritesRelativeToDir) {
    std::string path = qmTestPath("str_short.bin");
    FILE* f = fopen(path.c_str(), "wb");
    FXStr("/data/art/sub/a.png").SaveShortPath(f, "/data/art");
    FXStr("C:\\data\\sub\\a.bin").SaveShortPath(f, "C:\\data\\");
    FXStr("/elsewhere/b.png").SaveShortPath(f, "relative/dir");  // no relative form: unchanged
    FXStr().SaveShortPath(f, "/data");
    fclose(f);
    f = fopen(path.c_str(), "rb");
    FXStr a, b, c, d;
    a.Load(f);
    b.Load(f);
    c.Load(f);
    d.Load(f);
    fclose(f);
    EXPECT_STREQ(a.text, "sub/a.png");
    EXPECT_STREQ(b.text, "sub\\a.bin");
    EXPECT_STREQ(c.text, "/elsewhere/b.png");
    EXPECT_TRUE(d.IsEmpty());
}

TEST(FXLongStr, GrowsExactlyAndComparesLikeTheShortString) {
    FXLongStr s;
    EXPECT_TRUE(s.Compare(nullptr));
    s.Set("hello");
    EXPECT_EQ(s.capacity, 6);
    s.Set("hi");  // reuses the larger buffer
    EXPECT_EQ(s.capacity, 6);
    s.Append(" there");
    EXPECT_STREQ(s.text, "hi there");
    EXPECT_EQ(s.capacity, 9);
    EXPECT_TRUE(s.iCompare("HI THERE"));
    EXPECT_FALSE(s.Compare(""));
    s.ClearBuf();
    EXPECT_EQ(s.capacity, 0);
    EXPECT_STREQ(s.c_str(), "");
    s.Append("new");  // the freed text is not carried over
    EXPECT_STREQ(s.text, "new");
    EXPECT_EQ(s.len, 3);
    s.Clear();
    EXPECT_EQ(s.len, 0);
}

// Appending a string's own text (or a piece of it) reads the text before the grown buffer replaces
// it, with and without growing, and setting a string from its own tail keeps the tail.
TEST(FXLongStr, AppendsAndSetsFromItsOwnText) {
    const std::string base = "the quick brown fox jumps over the lazy dog";
    FXLongStr s;
    s.Set(base.c_str());
    s.Append(s.text);  // grows
    EXPECT_EQ(std::string(s.text), base + base);
    EXPECT_EQ(s.len, int(2 * base.size()));
    s.Set(base.c_str());  // the larger buffer stays: no growth this time
    s.Append(s.text + 4);
    EXPECT_EQ(std::string(s.text), base + base.substr(4));
    s.Set(s.text + 4);
    EXPECT_EQ(std::string(s.text), base.substr(4) + base.substr(4));
}

TEST(FXConvert, RoundTripAndEmpty) {
    FXConvertW w("abc");
    ASSERT_NE(w.text, nullptr);
    EXPECT_EQ(w.len, 3);
    FXConvertC c(w.text);
    EXPECT_STREQ(c.text, "abc");
    EXPECT_EQ(w.Convert(""), nullptr);
    EXPECT_EQ(w.len, 0);
}
