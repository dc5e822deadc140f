#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "base/package.h"
#include "base/trace.h"
#include "support/package_bytes.h"
#include "support/test_support.h"

namespace {

std::string localFile(const std::string& name, const std::string& text) {
    std::string path = qmTestPath(name);
    qmWriteText(path, text);
    return path;
}

std::string localEntryText(FXPackage& p, int id) {
    FXPackageData* d = p.GetDataPtr(id);
    if (!d) return "<none>";
    return std::string(reinterpret_cast<const char*>(d->start), size_t(d->size));
}

}  // namespace

TEST(FXPackageWrite, EmptyPackageIsSignatureAndFourCounts) {
    std::string out = qmTestPath("pkgw_empty.dat");
    FXPackage p;
    ASSERT_TRUE(p.Save(out.c_str(), 1));
    EXPECT_EQ(qmReadFile(out), QmBytes().Sig("pck01s").Int(0).Int(0).Int(0).Int(0).bytes);
}

TEST(FXPackageWrite, CheckFileTypesAndSizes) {
    FXPackage p;
    int size = -1, type = 0;
    struct Case {
        const char* name;
        int type;
    } cases[] = {{"Leaf.PNG", 1066}, {"leaf.jpeg", -1}, {"leaf.jpg", 1061}, {"a.TGA", 1069}, {"a.bmp", 1056},
                 {"a.gif", 1078},    {"noext", -1},     {"png", -1},        {"x.png.bak", -1},
                 // The extension is what follows the path's last '.', wherever that lies.
                 {".png", 1066},     {"pkgw.d/leaf", -1}};
    std::error_code ec;
    std::filesystem::create_directory(qmTestPath("pkgw.d"), ec);
    for (auto& c : cases) {
        std::string path = localFile(c.name, "12345");
        ASSERT_TRUE(p.CheckFile(path.c_str(), &size, &type)) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(size, 5);
    }
    EXPECT_FALSE(p.CheckFile(qmTestPath("pkgw_missing.png").c_str(), &size, &type));
}

TEST(FXPackageWrite, SameNameTwiceIsPackedOnce) {
    std::string src = localFile("pkgw_x.png", "PNGDATA");
    FXPackage p;
    p.names.base = 5;
    FXStr a(src.c_str()), b(src.c_str()), empty;
    p.AddDataFile1(&a);
    p.AddDataFile1(&b);
    p.AddDataFile1(&empty);
    EXPECT_STREQ(a.text, "5");
    EXPECT_STREQ(b.text, "5");
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(p.pendingIds.top, 1);
    std::string out = qmTestPath("pkgw_once.dat");
    ASSERT_TRUE(p.Save(out.c_str(), 0));
    EXPECT_EQ(p.GetCount(), 1);
    EXPECT_EQ(p.pendingIds.top, 0);
    // The saved package reads its new entries at once.
    EXPECT_EQ(localEntryText(p, 5), "PNGDATA");
    EXPECT_EQ(p.GetDataType(5), 1066);
}

TEST(FXPackageWrite, NamesHeaderLines) {
    FXPackage p;
    p.names.base = 100;
    for (const char* n : {"pics/a(1).tga", "x", "y", "C:\\art\\skin-2.png", "[a+b c]"}) p.names.BuildId(n);
    std::string out = qmTestPath("pkgw_names.h");
    ASSERT_TRUE(p.SaveNamesCpp(out.c_str()));
    EXPECT_EQ(qmReadText(out),
              "#define FXNAME_A_1__TGA  100\n#define FXNAME_X  101\n#define FXNAME_Y  102\n"
              "#define FXNAME_SKIN_2_PNG  103\n#define FXNAME__A_B_C_  104\n");
}

TEST(FXPackageWrite, TransposedSaveLoadsLikePlain) {
    std::string a = localFile("pkgw_t1.png", std::string(300, 'p'));
    std::string b = localFile("pkgw_t2.bin", "record bytes");
    std::string plainPath = qmTestPath("pkgw_plain.dat"), turnedPath = qmTestPath("pkgw_turned.dat");
    FXPackage w1, w2;
    for (FXPackage* w : {&w1, &w2}) {
        w->AddDataFile(3, a.c_str());
        w->AddDataFile(-2, b.c_str());
    }
    ASSERT_TRUE(w1.Save(plainPath.c_str(), 0));
    ASSERT_TRUE(w2.Save(turnedPath.c_str(), 1));
    std::vector<unsigned char> plain = qmReadFile(plainPath), turned = qmReadFile(turnedPath);
    ASSERT_EQ(turned.size(), plain.size() + 1);
    std::vector<unsigned char> body(turned.begin() + 10, turned.end()), back(body.size());
    fxPackageTranspose(back.data(), body.data(), int(body.size()));
    EXPECT_NE(body, back);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), plain.begin() + 9));

    FXPackage r1, r2;
    r1.Load(plainPath.c_str());
    r2.Load(turnedPath.c_str());
    ASSERT_EQ(r2.GetCount(), 2);
    for (int id : {3, -2}) {
        EXPECT_EQ(localEntryText(r1, id), localEntryText(r2, id));
        EXPECT_EQ(r1.GetDataType(id), r2.GetDataType(id));
    }
    EXPECT_EQ(localEntryText(r2, -2), "record bytes");
    EXPECT_EQ(r2.GetDataType(3), 1066);
}

TEST(FXPackageWrite, UnreadableSourceRefusesTheSave) {
    std::string good = localFile("pkgw_good.png", "GOOD");
    std::string missing = qmTestPath("pkgw_gone.png");
    std::string dir = qmTestPath("pkgw_dir");
    std::error_code ec;
    std::filesystem::create_directory(dir, ec);
    std::string log = qmTestPath("pkgw_trace.log");
    bool ownLog = fxOpenTraces(log.c_str());

    for (const std::string& bad : {missing, dir}) {
        std::string out = qmTestPath("pkgw_refused.dat");
        remove(out.c_str());
        FXPackage p;
        p.AddDataFile(1, good.c_str());
        p.AddDataFile(2, bad.c_str());
        EXPECT_FALSE(p.Save(out.c_str(), 0));
        EXPECT_TRUE(qmReadFile(out).empty());
        EXPECT_EQ(p.pendingIds.top, 2);
        EXPECT_EQ(p.GetCount(), 0);

        // An existing package stays as it was.
        qmWriteText(out, "previous");
        EXPECT_FALSE(p.Save(out.c_str(), 1));
        EXPECT_EQ(qmReadText(out), "previous");
    }
    if (ownLog) {
        fxCloseTraces();
        EXPECT_NE(qmReadText(log).find(missing), std::string::npos);
    }

    // A target that cannot be written keeps the pending entries and the tables.
    FXPackage p;
    p.AddDataFile(1, good.c_str());
    EXPECT_FALSE(p.Save(qmTestPath("no_such_dir/p.dat").c_str(), 0));
    EXPECT_EQ(p.pendingIds.top, 1);
    EXPECT_EQ(p.GetCount(), 0);
}

TEST(FXPackageWrite, GrowingKeepsNumbersAndOffsets) {
    std::string a = localFile("pkgw_g1.png", "first");
    std::string b = localFile("pkgw_g2.bin", "second!");
    std::string c = localFile("pkgw_g3.jpg", "third");
    std::string out = qmTestPath("pkgw_grow.dat");

    FXPackage w;
    FXStr na(a.c_str());
    w.AddDataFile1(&na);
    w.AddDataFile(40, b.c_str());
    ASSERT_TRUE(w.Save(out.c_str(), 1));
    ASSERT_STREQ(na.text, "0");

    FXPackage g;
    g.Load(out.c_str());
    ASSERT_EQ(g.GetCount(), 2);
    EXPECT_EQ(g.names.base, 41);
    std::vector<unsigned char> oldData(g.Data(), g.Data() + g.DataLength());
    FXStr nc(c.c_str());
    g.AddDataFile1(&nc);
    EXPECT_STREQ(nc.text, "41");  // above every stored number
    ASSERT_TRUE(g.Save(out.c_str(), 1));

    FXPackage r;
    r.Load(out.c_str());
    ASSERT_EQ(r.GetCount(), 3);
    EXPECT_EQ(r.IdAt(0), 0);
    EXPECT_EQ(r.IdAt(1), 40);
    EXPECT_EQ(r.OffsetAt(0), 0);
    EXPECT_EQ(r.OffsetAt(1), 5);
    EXPECT_EQ(r.OffsetAt(2), int(oldData.size()));
    EXPECT_TRUE(std::equal(oldData.begin(), oldData.end(), r.Data()));
    EXPECT_EQ(localEntryText(r, 0), "first");
    EXPECT_EQ(localEntryText(r, 40), "second!");
    EXPECT_EQ(localEntryText(r, 41), "third");
    EXPECT_EQ(r.GetDataType(41), 1061);
    EXPECT_EQ(r.names.base, 42);
}

TEST(FXPackageWrite, TemporaryFilesAreRemoved) {
    std::string t = localFile("pkgw_tmp1", "x");
    FXPackage p;
    p.AddTmpFile(t.c_str());
    p.DeleteTmpFiles();
    EXPECT_EQ(p.tmpFiles.top, 0);
    int size = 0, type = 0;
    EXPECT_FALSE(p.CheckFile(t.c_str(), &size, &type));
}
