// Windows paths in qmpack: both separators, drive and network roots, a path from the root of the
// current drive, and the file primitives that differ most from POSIX (new names made with
// CREATE_NEW, a replacement over a file that exists and is locked by this process).
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>

#include "qmpack/files.h"
#include "qmpack/host.h"
#include "support/test_support.h"

TEST(QmpackPathsW32, BothSeparatorsAndEveryKindOfRoot) {
    EXPECT_EQ(qmpackDirOf("models\\bird.xm"), "models\\");
    EXPECT_EQ(qmpackBaseOf("C:\\content\\models/bird.xm"), "bird.xm");
    EXPECT_EQ(qmpackRootLength("C:\\x"), 3u);
    EXPECT_EQ(qmpackRootLength("c:/x"), 3u);
    EXPECT_EQ(qmpackRootLength("\\\\server\\share\\x"), 15u);
    EXPECT_EQ(qmpackRootLength("\\x"), 1u);
    EXPECT_EQ(qmpackRootLength("x\\y"), 0u);
    EXPECT_EQ(qmpackJoin("C:\\content", "bird.xm"), "C:\\content/bird.xm");
    EXPECT_EQ(qmpackJoin("C:\\content\\", "D:\\bird.xm"), "D:\\bird.xm");
    EXPECT_EQ(qmpackAbsolute("C:\\a\\.\\b\\..\\c"), "C:/a/c");
    EXPECT_EQ(qmpackAbsolute("\\\\server\\share\\a\\..\\b"), "//server/share/b");
    EXPECT_EQ(qmpackRelativePath("C:\\a\\b", "C:/a/c/d.png"), "../c/d.png");
}

TEST(QmpackPathsW32, APathFromTheRootGetsTheCurrentDrive) {
    char cwd[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, cwd), 2u);
    std::string drive(cwd, 2);
    EXPECT_EQ(qmpackAbsolute("/work/x"), drive + "/work/x");
    // The same folder written both ways gives the same absolute form, so labels do not depend on it.
    EXPECT_EQ(qmpackRelativePath("/work", drive + "\\work\\a\\b.png"), "a/b.png");
}

TEST(QmpackFilesW32, NewNamesAreFreshAndAReplacementGoesOverALockedFile) {
    std::string dir = qmFreshDir("qmpack_host");
    std::string a, b;
    ASSERT_EQ(qmpackMakeTempFile(dir + "/t-", &a), 0);
    ASSERT_EQ(qmpackMakeTempFile(dir + "/t-", &b), 0);
    EXPECT_NE(a, b);
    QMPackStat st;
    EXPECT_EQ(qmpackStatPath(dir + "/nothing-here", &st), ENOENT);
    ASSERT_EQ(qmpackStatPath(dir, &st), 0);
    EXPECT_EQ(int(st.kind), int(QMPackKind::Folder));

    std::string target = dir + "/target.dat";
    qmWriteText(target, "old");
    const std::string fresh("new\r\n\x1a and after");  // read in text mode this would be cut short
    qmWriteText(a, fresh);
    bool same = false;
    int error = 0;
    int fd = qmpackLockFile(target, &same, &error);
    ASSERT_GE(fd, 0) << error;
    EXPECT_TRUE(same);
    char head[3] = {};
    EXPECT_TRUE(qmpackReadAt(fd, 0, head, 3));
    EXPECT_EQ(std::string(head, 3), "old");
    qmpackStopReading(fd);
    EXPECT_EQ(qmpackFlushFile(a), 0);
    EXPECT_EQ(qmpackReplaceFile(a, target), 0);
    qmpackUnlockFile(fd);
    std::vector<unsigned char> bytes;
    std::string why;
    ASSERT_TRUE(qmpackReadFile(target, &bytes, &why)) << why;
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), fresh);
    EXPECT_EQ(qmpackRemoveFile(b), 0);
    EXPECT_EQ(qmpackRemoveFile(target), 0);
}
