#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "base/package.h"
#include "support/package_bytes.h"
#include "support/test_support.h"

namespace {

std::string localEntryText(FXPackage& p, int id) {
    FXPackageData* d = p.GetDataPtr(id);
    if (!d) return "<none>";
    return std::string(reinterpret_cast<const char*>(d->start), size_t(d->size));
}

}  // namespace

TEST(FXPackage, OneEntryPackageIsFortyFourBytes) {
    std::string src = qmTestPath("pkg_abc.bin");
    qmWriteText(src, "abc");
    std::string out = qmTestPath("pkg_one.dat");
    FXPackage w;
    w.AddDataFile(7, src.c_str());
    ASSERT_TRUE(w.Save(out.c_str(), 0));

    const unsigned char expected[44] = {
        0x05, 0, 0, 0, 'p', 'c', 'k', '0', '1',                   // signature
        0x01, 0, 0, 0, 0x07, 0,    0,    0,                       // ids
        0x01, 0, 0, 0, 0x00, 0,    0,    0,                       // offsets
        0x01, 0, 0, 0, 0x03, 0,    0,    0,                       // sizes
        0x01, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'};  // types, data
    EXPECT_EQ(qmReadFile(out), std::vector<unsigned char>(expected, expected + 44));

    FXPackage r;
    r.Load(out.c_str());
    EXPECT_EQ(r.names.base, 8);
    ASSERT_NE(r.GetDataPtr(7), nullptr);
    EXPECT_EQ(r.GetDataPtr(7)->size, 3);
    EXPECT_EQ(localEntryText(r, 7), "abc");
    EXPECT_EQ(r.GetDataType(7), -1);
}

TEST(FXPackage, TransposedBodyReadsLikeThePlainOne) {
    std::vector<unsigned char> plain =
        qmPackage({3, 9, 4}, {0, 5, 11}, {5, 6, 2}, {1066, -1, 1061}, "helloworld!xy", "pck01");
    std::vector<unsigned char> body(plain.begin() + 9, plain.end());
    std::vector<unsigned char> turned(body.size());
    fxPackageTranspose(turned.data(), body.data(), int(body.size()));
    ASSERT_NE(turned, body);
    QmBytes t;
    t.Sig("pck01xs").bytes.insert(t.bytes.end(), turned.begin(), turned.end());

    FXPackage a, b;
    a.LoadFromMemory(plain.data(), long(plain.size()));
    b.LoadFromMemory(t.bytes.data(), long(t.bytes.size()));
    ASSERT_EQ(a.GetCount(), 3);
    ASSERT_EQ(b.GetCount(), 3);
    for (int id : {3, 9, 4}) {
        EXPECT_EQ(localEntryText(a, id), localEntryText(b, id));
        EXPECT_EQ(a.GetDataType(id), b.GetDataType(id));
    }
    EXPECT_EQ(localEntryText(b, 9), "world!");

}

// Large transposed bodies, whose data area is untransposed in tiles straight into its block:
// every byte of every entry as in the plain package, for square sides around the tile sizes and
// data areas with and without a tail beyond the square.
TEST(FXPackage, LargeTransposedBodiesReadLikeThePlainOnes) {
    for (int length : {70 * 70, 100 * 100 + 13, 257 * 257 - 40}) {
        std::string area(size_t(length), '\0');
        for (int i = 0; i < length; i++) area[size_t(i)] = char(i * 7 + i / 251);
        const int half = length / 2;
        std::vector<unsigned char> plain =
            qmPackage({5, 6}, {0, half}, {half, length - half}, {-1, -1}, area, "pck01");
        std::vector<unsigned char> body(plain.begin() + 9, plain.end());
        std::vector<unsigned char> turned(body.size());
        fxPackageTranspose(turned.data(), body.data(), int(body.size()));
        QmBytes t;
        t.Sig("pck01xs").bytes.insert(t.bytes.end(), turned.begin(), turned.end());
        FXPackage a, b;
        a.LoadFromMemory(plain.data(), long(plain.size()));
        b.LoadFromMemory(t.bytes.data(), long(t.bytes.size()));
        ASSERT_EQ(b.GetCount(), 2) << length;
        ASSERT_EQ(b.DataLength(), length) << length;
        EXPECT_EQ(memcmp(a.Data(), b.Data(), size_t(length)), 0) << length;
        EXPECT_EQ(localEntryText(b, 6), area.substr(size_t(half))) << length;
    }
}

TEST(FXPackage, TransposeMovesTheLeadingSquareOnly) {
    unsigned char src[10], dst[10], back[10];
    for (int i = 0; i < 10; i++) src[i] = (unsigned char)(i + 1);
    fxPackageTranspose(dst, src, 10);
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) EXPECT_EQ(dst[r * 3 + c], src[c * 3 + r]);
    EXPECT_EQ(dst[9], src[9]);
    fxPackageTranspose(back, dst, 10);
    EXPECT_EQ(memcmp(back, src, 10), 0);
    fxPackageTranspose(dst, src, 0);  // an empty body moves nothing
}

// Squares whose side is and is not a multiple of the 8 x 8 word blocks and the 64 x 64 tiles,
// each with a tail beyond the square: every byte lands where the definition puts it.
TEST(FXPackage, TransposeOfLargeSquaresMatchesTheDefinition) {
    for (int n : {7, 8, 9, 63, 64, 65, 130, 200}) {
        const int size = n * n + 5;
        std::vector<unsigned char> src(static_cast<size_t>(size)), dst(src.size()), back(src.size());
        for (int i = 0; i < size; i++) src[size_t(i)] = (unsigned char)(i * 131 + i / 7);
        fxPackageTranspose(dst.data(), src.data(), size);
        int wrong = 0;
        for (int r = 0; r < n; r++)
            for (int c = 0; c < n; c++) wrong += dst[size_t(r * n + c)] != src[size_t(c * n + r)];
        EXPECT_EQ(wrong, 0) << "side " << n;
        EXPECT_EQ(memcmp(dst.data() + n * n, src.data() + n * n, 5), 0) << "side " << n;
        fxPackageTranspose(back.data(), dst.data(), size);
        EXPECT_EQ(back, src) << "side " << n;
    }
}

TEST(FXPackage, IntegerSquareRootIsExactForLargeBodies) {
    for (int k : {1, 3, 4097, 46339, 46340}) {
        EXPECT_EQ(fxIntSqrt(k * k), k);
        EXPECT_EQ(fxIntSqrt(k * k - 1), k - 1);
    }
    EXPECT_EQ(fxIntSqrt(INT_MAX), 46340);
}

TEST(FXPackage, WrongSignatureOrMissingFileLeavesItEmpty) {
    std::vector<unsigned char> good = qmPackage({1}, {0}, {1}, {-1}, "x");
    QmBytes huge;  // a signature length beyond a short string's capacity
    huge.Int(2000).Text("pck01" + std::string(1995, 'a')).Table({1}).Table({0}).Table({1}).Table({-1}).Text("x");
    std::vector<std::vector<unsigned char>> bad = {qmPackage({1}, {0}, {1}, {-1}, "x", "pck02"),
                                                   qmPackage({1}, {0}, {1}, {-1}, "x", ""), huge.bytes,
                                                   QmBytes().Int(-5).Text("pck01").bytes};
    std::string path = qmTestPath("pkg_badsig.dat");
    FXPackage p;
    for (auto& b : bad) {
        qmWriteFile(path, b);
        p.LoadFromMemory(good.data(), long(good.size()));
        ASSERT_NE(p.GetDataPtr(1), nullptr);
        p.Load(path.c_str());
        EXPECT_TRUE(p.IsEmpty());
        EXPECT_EQ(p.GetDataPtr(1), nullptr);
        EXPECT_EQ(p.GetDataType(1), -1);
    }
    p.LoadFromMemory(good.data(), long(good.size()));
    p.Load(qmTestPath("pkg_does_not_exist.dat").c_str());
    EXPECT_EQ(p.GetDataPtr(1), nullptr);
    EXPECT_EQ(p.GetDataType(1), -1);
}

TEST(FXPackage, BaseIsOneAboveTheLargestId) {
    struct Case {
        std::vector<int32_t> ids;
        int base;
    } cases[] = {{{4, 5, 0, 751}, 752}, {{}, 0}, {{-3, -1}, 0}, {{-1, 2}, 3}};
    for (auto& c : cases) {
        std::vector<int32_t> zeros(c.ids.size(), 0);
        std::vector<unsigned char> b = qmPackage(c.ids, zeros, zeros, zeros, "");
        FXPackage p;
        p.names.base = 99;
        p.LoadFromMemory(b.data(), long(b.size()));
        EXPECT_EQ(p.names.base, c.base);
        EXPECT_EQ(p.GetCount(), int(c.ids.size()));
    }
}

TEST(FXPackage, LargestPossibleIdLeavesNoNumbersForNames) {
    std::vector<unsigned char> b = qmPackage({INT_MAX, 3}, {0, 0}, {1, 1}, {-1, -1}, "z");
    FXPackage p;
    p.LoadFromMemory(b.data(), long(b.size()));
    EXPECT_EQ(p.names.base, INT_MAX);
    EXPECT_EQ(localEntryText(p, INT_MAX), "z");
    EXPECT_EQ(p.names.BuildId("new.png"), -1);
    EXPECT_EQ(p.names.names.top, 0);
    FXStr name("new.png");
    p.AddDataFile1(&name);
    EXPECT_STREQ(name.text, "new.png");
    EXPECT_EQ(p.pendingIds.top, 0);
}

TEST(FXPackage, GetDataPtrRewindsTheSameCursor) {
    std::vector<unsigned char> b = qmPackage({2, 2, 5}, {0, 4, 8}, {4, 4, 1}, {-1, 1066, -1}, "ABCDEFGHI");
    FXPackage p;
    p.LoadFromMemory(b.data(), long(b.size()));
    FXPackageData* d = p.GetDataPtr(2);
    ASSERT_NE(d, nullptr);
    d->ReadInt();
    EXPECT_EQ(d->remaining, 0);
    FXPackageData* again = p.GetDataPtr(2);
    EXPECT_EQ(again, d);
    EXPECT_EQ(again->remaining, 4);
    EXPECT_EQ(again->current, again->start);
    EXPECT_EQ(localEntryText(p, 2), "ABCD");  // equal numbers: the first wins
    EXPECT_EQ(p.GetDataType(2), -1);
    EXPECT_EQ(p.GetDataPtr(6), nullptr);
}

TEST(FXPackage, DamagedTablesAndEntriesAreRefused) {
    std::vector<unsigned char> b = qmPackage({1, 2, 3, 4}, {0, 2, -1, 1}, {2, 5, 1, 2}, {1066, 1066, 1066, 1061}, "abcd");
    FXPackage p;
    p.LoadFromMemory(b.data(), long(b.size()));
    EXPECT_EQ(localEntryText(p, 1), "ab");
    EXPECT_EQ(p.GetDataPtr(2), nullptr);  // runs past the end
    EXPECT_EQ(p.GetDataPtr(3), nullptr);  // negative offset
    EXPECT_EQ(p.GetDataType(2), -1);
    EXPECT_EQ(localEntryText(p, 4), "bc");

    QmBytes big;  // a count far beyond the bytes that follow
    big.Sig("pck01").Int(100000).Int(1);
    for (auto& bad : {qmPackage({1, 2}, {0}, {1, 1}, {-1, -1}, "ab"), big.bytes}) {
        p.LoadFromMemory(bad.data(), long(bad.size()));
        EXPECT_TRUE(p.IsEmpty());
        EXPECT_EQ(p.GetDataPtr(1), nullptr);
    }
}

TEST(FXPackage, EntryNamesAreDecimalNumbers) {
    std::vector<unsigned char> b = qmPackage({12}, {0}, {2}, {-1}, "hi");
    FXPackage p;
    p.LoadFromMemory(b.data(), long(b.size()));
    int id = -1;
    for (const char* name : {"12", "  12abc"}) {
        ASSERT_TRUE(fxParseEntryName(name, &id));
        EXPECT_EQ(localEntryText(p, id), "hi");
    }
    id = 77;
    for (const char* name : {"abc", "", "   ", "99999999999"}) EXPECT_FALSE(fxParseEntryName(name, &id)) << name;
    EXPECT_EQ(id, 77);
}

TEST(FXPackage, LoadNamesKeepsTheBase) {
    std::string path = qmTestPath("pkg_names.bin");
    FXPackage w;
    w.names.BuildId("a.png");
    w.names.BuildId("b.png");
    ASSERT_TRUE(w.SaveNames(path.c_str()));
    FXPackage r;
    r.names.base = 40;
    r.LoadNames(path.c_str());
    EXPECT_EQ(r.names.base, 40);
    EXPECT_EQ(r.names.FindId("b.png"), 41);
}

// A load says what went wrong as a value, in the words tools show after the file's name.
TEST(FXPackage, LoadSaysWhyItFailed) {
    std::string dir = qmFreshDir("pkg_status");
    FXPackage p;
    FXPackageStatus s = p.Load((dir + "/missing.dat").c_str());
    EXPECT_EQ(s.problem, FX_PACKAGE_UNREADABLE);
    EXPECT_EQ(s.why, "cannot open (No such file or directory)");
    s = p.Load(dir.c_str());
    EXPECT_EQ(s.why, "cannot open (is a directory)");
    qmWriteText(dir + "/text.dat", "not a package at all");
    s = p.Load((dir + "/text.dat").c_str());
    EXPECT_EQ(s.problem, FX_PACKAGE_NOT_A_PACKAGE);
    EXPECT_EQ(s.why, "not a package (no 'pck01' signature)");
    qmWriteFile(dir + "/tables.dat", qmPackage({1, 2}, {0}, {1}, {-1}, "x"));
    s = p.Load((dir + "/tables.dat").c_str());
    EXPECT_EQ(s.problem, FX_PACKAGE_DAMAGED);
    EXPECT_EQ(s.why, "damaged package (its entry tables do not agree with its size)");
    EXPECT_TRUE(p.IsEmpty());

    // Cut short after its tables: it loads, the entries outside its data area refused and counted.
    std::vector<unsigned char> cut = qmPackage({3, 9, 4}, {0, 5, 11}, {5, 6, 2}, {-1, -1, -1}, "helloworld!xy");
    cut.resize(cut.size() - 8);
    qmWriteFile(dir + "/cut.dat", cut);
    s = p.Load((dir + "/cut.dat").c_str());
    EXPECT_TRUE(s.Ok());
    EXPECT_EQ(s.refused, 2);
    EXPECT_EQ(p.GetCount(), 3);
    EXPECT_NE(p.EntryAt(0), nullptr);
    EXPECT_EQ(p.EntryAt(1), nullptr);
    EXPECT_EQ(p.GetDataPtr(4), nullptr);
    EXPECT_TRUE(p.LoadFromMemory(cut.data(), long(cut.size())).Ok());
    EXPECT_EQ(p.LoadFromMemory(cut.data(), 3).problem, FX_PACKAGE_NOT_A_PACKAGE);
}

// Entries taken out leave the others on their numbers with their bytes, the data area closed up.
TEST(FXPackage, DropEntriesClosesUpTheDataArea) {
    std::vector<unsigned char> b = qmPackage({3, 9, 4, 9}, {0, 5, 11, 13}, {5, 6, 2, 1}, {1066, -1, 1061, -1},
                                             "helloworld!xyz");
    FXPackage p;
    ASSERT_TRUE(p.LoadFromMemory(b.data(), long(b.size())).Ok());
    EXPECT_EQ(p.DropEntries({9, 77}), 2);
    ASSERT_EQ(p.GetCount(), 2);
    EXPECT_EQ(p.IdAt(0), 3);
    EXPECT_EQ(p.IdAt(1), 4);
    EXPECT_EQ(p.OffsetAt(1), 5);
    EXPECT_EQ(p.DataLength(), 7);
    EXPECT_EQ(localEntryText(p, 3), "hello");
    EXPECT_EQ(localEntryText(p, 4), "xy");
    EXPECT_EQ(p.GetDataType(4), 1061);
    EXPECT_EQ(p.DropEntries({}), 0);
    EXPECT_EQ(p.GetCount(), 2);
}
