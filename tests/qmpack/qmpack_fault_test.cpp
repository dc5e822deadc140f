// The fault table's row for the authoring tool: the disk fills up while qmpack writes a package.
// A file-size limit stands in for the full disk (a write past it fails as on a full disk when
// SIGXFSZ is ignored, and kills the writer when it is not); either way the old package must stay
// whole, byte for byte.
#include <cstdint>
#include <vector>

#include "qmpack/qmpack_test_util.h"

namespace {

// A w x h picture of noise, which compresses to about its raw size.
void localNoisePng(const std::string& path, int w, int h) {
    std::vector<unsigned char> px(size_t(w) * h * 4);
    uint32_t x = 12345;
    for (unsigned char& b : px) {
        x = x * 1103515245u + 12345u;
        b = (unsigned char)(x >> 16);
    }
    qmWritePngRGBA(path, w, h, px.data(), w * 4, false);
}

}  // namespace

TEST(QmpackFault, AFullDiskWhileWritingLeavesTheOldPackageWhole) {
    std::string dir = qmpDir("src");
    qmpWritePng(dir + "/small.png");
    localNoisePng(dir + "/big.png", 160, 160);  // about 100 KB, beyond the limit below
    qmWriteText(dir + "/old.txt", "1 small.png\n");
    qmWriteText(dir + "/new.txt", "1 small.png\n2 big.png\n");
    qmWriteText(dir + "/more.txt", "3 big.png\n");
    std::string pkg = dir + "/p.dat";
    ASSERT_EQ(qmpRun("build " + qmpQuote(pkg) + " " + qmpQuote(dir + "/old.txt")).rc, 0);
    const std::vector<unsigned char> old = qmReadFile(pkg);
    ASSERT_FALSE(old.empty());

    // 64 blocks of 512 bytes (the shell's unit) is 32 KiB: the old package fits, the new does not.
    for (const char* limit : {"trap '' XFSZ; ulimit -f 64;", "ulimit -f 64;"}) {
        SCOPED_TRACE(limit);
        QmpRun build = qmpRun("build " + qmpQuote(pkg) + " " + qmpQuote(dir + "/new.txt"), limit);
        EXPECT_NE(build.rc, 0);
        EXPECT_EQ(qmReadFile(pkg), old) << "the old package stays whole";
        QmpRun add = qmpRun("add " + qmpQuote(pkg) + " " + qmpQuote(dir + "/more.txt"), limit);
        EXPECT_NE(add.rc, 0);
        EXPECT_EQ(qmReadFile(pkg), old);
        if (limit[0] == 't') {
            // A failed write is reported like any other failure.
            EXPECT_EQ(build.rc, 1);
            EXPECT_TRUE(qmpHas(build.err, "p.dat")) << build.err;
        }
    }
    FXPackage p;
    p.Load(pkg.c_str());
    EXPECT_EQ(p.GetCount(), 1) << "the old package still loads";
}
