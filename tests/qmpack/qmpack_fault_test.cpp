// The fault table's row for the authoring tool: the disk fills up while qmpack writes a package.
// A file-size limit stands in for the full disk (a write past it fails with EFBIG as on a full
// disk; qmpack ignores SIGXFSZ, which would otherwise kill it mid-write, also when the shell does
// not). Either way the old package stays whole, byte for byte, the failure is reported and no
// temporary file stays behind.
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
    std::string tmp = qmFreshDir("full_tmp");
    ASSERT_EQ(qmpRun("build " + qmpQuote(pkg) + " " + qmpQuote(dir + "/old.txt")).rc, 0);
    const std::vector<unsigned char> old = qmReadFile(pkg);
    ASSERT_FALSE(old.empty());

    // 64 blocks of 512 bytes (the shell's unit) is 32 KiB: the old package fits, the new does not.
    const std::vector<std::string> files = qmpFolderFiles(dir);
    for (std::string limit : {"trap '' XFSZ; ulimit -f 64;", "ulimit -f 64;"}) {
        SCOPED_TRACE(limit);
        limit += " TMPDIR=" + qmpQuote(tmp);
        QmpRun build = qmpRun("build " + qmpQuote(pkg) + " " + qmpQuote(dir + "/new.txt"), limit);
        EXPECT_NE(build.rc, 0);
        EXPECT_EQ(qmReadFile(pkg), old) << "the old package stays whole";
        QmpRun add = qmpRun("add " + qmpQuote(pkg) + " " + qmpQuote(dir + "/more.txt"), limit);
        EXPECT_NE(add.rc, 0);
        EXPECT_EQ(qmReadFile(pkg), old);
        // A failed write is reported like any other failure, and its temporary files go.
        for (const QmpRun& r : {build, add}) {
            EXPECT_EQ(r.rc, 1);
            EXPECT_TRUE(qmpHas(r.err, "p.dat")) << r.err;
        }
        EXPECT_EQ(qmpFolderFiles(dir), files) << "no temporary package (or its .part) stays behind";
        EXPECT_EQ(qmpFolderFiles(tmp), std::vector<std::string>{}) << "no scratch file stays behind";
    }
    FXPackage p;
    p.Load(pkg.c_str());
    EXPECT_EQ(p.GetCount(), 1) << "the old package still loads";
}
