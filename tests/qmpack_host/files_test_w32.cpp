// qmpack's file primitives on Windows that differ most from POSIX: new names made with
// CREATE_NEW, a replacement over a file that exists and is locked by this process.
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>

#include "qmpack/files.h"
#include "qmpack/host.h"
#include "support/test_support.h"

TEST(QmpackFilesW32, NewNamesAreFreshAndAReplacementGoesOverALockedFile) {
    std::string dir = qmFreshDir("qmpack_host");
    std::string a, b;
    ASSERT_EQ(qmpackMakeTempFile(dir + "/t-", &a), 0);
    ASSERT_EQ(qmpackMakeTempFile(dir + "/t-", &b), 0);
    EXPECT_NE(a, b);
    FXPathStat st;
    EXPECT_EQ(fxStatPath((dir + "/nothing-here").c_str(), &st), ENOENT);
    ASSERT_EQ(fxStatPath(dir.c_str(), &st), 0);
    EXPECT_EQ(int(st.kind), int(FXPathKind::Folder));

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
    EXPECT_TRUE(fxReadAt(fd, 0, head, 3));
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
