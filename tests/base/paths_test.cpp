// The engine's path helpers on a POSIX system: the trailing-separator rule, joins and relative
// forms of record names in the short buffers, and the working directory, which is read, never set.
#include "base/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

TEST(Paths, TrailingSeparatorRule) {
    char a[FX_MAX_PATH] = "C:/x/y";
    fxAddPathEnding(a, sizeof(a));
    EXPECT_STREQ(a, "C:/x/y/");
    char b[FX_MAX_PATH] = "C:\\x";
    fxAddPathEnding(b, sizeof(b));
    EXPECT_STREQ(b, "C:\\x\\");
    char c[FX_MAX_PATH] = "x";
    fxAddPathEnding(c, sizeof(c));
    EXPECT_STREQ(c, "x/");  // no separator at all: the native one
    char d[FX_MAX_PATH] = "";
    fxAddPathEnding(d, sizeof(d));
    EXPECT_STREQ(d, "/");
    char mixed[FX_MAX_PATH] = "C:\\x/y";
    fxAddPathEnding(mixed, sizeof(mixed));
    EXPECT_STREQ(mixed, "C:\\x/y\\");  // any backslash: a backslash
    char e[FX_MAX_PATH] = "/a/";
    fxAddPathEnding(e, sizeof(e));
    EXPECT_STREQ(e, "/a/");
    char tight[4] = "abc";
    EXPECT_FALSE(fxAddPathEnding(tight, sizeof(tight)));
    EXPECT_STREQ(tight, "abc");
    fxRemovePathEnding(e);
    fxRemovePathLeading(e);
    EXPECT_STREQ(e, "a");
}

TEST(Paths, ExistenceAndTheWorkingDirectoryLeftAlone) {
    std::string dir = qmTestPath("paths_dir");
    mkdir(dir.c_str(), 0755);
    std::string sub = dir + "/sub";
    mkdir(sub.c_str(), 0755);
    char before[FX_MAX_PATH], after[FX_MAX_PATH];
    ASSERT_TRUE(fxPlatformGetCurrentDir(before, sizeof before));
    EXPECT_TRUE(fxPathExists(sub.c_str()));
    EXPECT_FALSE(fxPathExists((dir + "/missing").c_str()));
    // Names are made from folders the caller holds; nothing moves the working directory.
    EXPECT_EQ(fxAbsolutePath(fxJoinPath(dir, "sub/../sub")), sub);
    ASSERT_TRUE(fxPlatformGetCurrentDir(after, sizeof after));
    EXPECT_STREQ(before, after);
}

TEST(Paths, CombineDropsOneLeadingSeparatorAndFolds) {
    EXPECT_STREQ(fxCombinePaths("C:\\data\\", "\\sub\\a.bin"), "C:\\data\\sub\\a.bin");
    EXPECT_STREQ(fxCombinePaths("/data", "/sub/a.bin"), "/data/sub/a.bin");
    EXPECT_STREQ(fxCombinePaths("/data/x", "../y/./b.png"), "/data/y/b.png");
    EXPECT_STREQ(fxCombinePaths("", "a.png"), "a.png");
    EXPECT_STREQ(fxCombinePaths("/data/", ""), "/data/");
    EXPECT_EQ(fxCombinePaths("", ""), nullptr);
    std::string big(300, 'd');
    EXPECT_EQ(fxCombinePaths(big.c_str(), "a"), nullptr);
    // Nothing lies above the top folder; a relative result keeps the climbs it cannot fold.
    EXPECT_STREQ(fxCombinePaths("/", "../a"), "/a");
    EXPECT_STREQ(fxCombinePaths("/data", "../../../a/b"), "/a/b");
    EXPECT_STREQ(fxCombinePaths("C:\\", "..\\a"), "C:\\a");
    EXPECT_STREQ(fxCombinePaths("x", "../../a"), "../a");
}

TEST(Paths, RelativeForms) {
    EXPECT_STREQ(fxBuildRelativePath("/data/art", false, "/data/art/sub/a.png", true), "sub/a.png");
    EXPECT_STREQ(fxBuildRelativePath("/data/art/", false, "/data/other/a.png", true), "../other/a.png");
    EXPECT_STREQ(fxBuildRelativePath("/data/art/model.xm", true, "/data/art/a.png", true), "a.png");
    const char* to = "/x/a.png";
    EXPECT_EQ(fxBuildRelativePath("rel/dir", false, to, true), to);
    EXPECT_EQ(fxBuildRelativePath("D:\\a", false, "C:\\a\\b", true), std::string("C:\\a\\b"));
    EXPECT_STREQ(fxBuildRelativePath("/", false, "/../x/a.png", true), "x/a.png");
}

// Relative paths are read from the working directory; a `from` that climbs out of it reaches `to`
// again through the working directory's own name.
TEST(Paths, RelativeFormsFromAFolderAboveTheWorkingDirectory) {
    std::string dir = qmTestPath("paths_rel");
    std::string work = dir + "/work";
    mkdir(dir.c_str(), 0755);
    mkdir(work.c_str(), 0755);
    char old[FX_MAX_PATH];
    ASSERT_TRUE(fxPlatformGetCurrentDir(old, sizeof old));
    ASSERT_EQ(chdir(work.c_str()), 0);  // the test's own move: the relative forms read it
    struct Case {
        const char *from, *to;
        bool fromIsFile;
        const char* expected;
    } cases[] = {
        {"..", "a/b.png", false, "work/a/b.png"},
        {"../other/", "a/b.png", false, "../work/a/b.png"},
        {"../other/model.xm", "a/b.png", true, "../work/a/b.png"},
        {"../..", "b.png", false, nullptr},  // through the test folder's own name
        {"../other", "../other/sub/b.png", false, "sub/b.png"},  // shared climbs need no name
        {"sub", "../b.png", false, "../../b.png"},
    };
    for (const Case& c : cases) {
        std::string got = fxBuildRelativePath(c.from, c.fromIsFile, c.to, true);
        // Read back from `from`, the relative form names the same file as `to`.
        std::string fromDir = c.fromIsFile ? std::string(c.from).substr(0, std::string(c.from).rfind('/')) : c.from;
        std::string viaFrom = fxCombinePaths((work + "/" + fromDir).c_str(), got.c_str());
        std::string direct = fxCombinePaths(work.c_str(), c.to);
        EXPECT_EQ(viaFrom, direct) << c.from << " -> " << c.to << ": " << got;
        if (c.expected) {
            EXPECT_EQ(got, c.expected) << c.from;
        }
    }
    ASSERT_EQ(chdir(old), 0);
}

TEST(Paths, SplitAndRebuild) {
    EXPECT_STREQ(fxChangeExt("C:\\a\\b.xm", ".bak"), "C:\\a\\b.bak");
    EXPECT_STREQ(fxAppenfFname("C:\\a\\b.png", "_1"), "C:\\a\\b_1.png");
    EXPECT_STREQ(fxChangeExt("/a/b.c/name", "png"), "/a/b.c/name.png");
    EXPECT_STREQ(fxAppenfFname("name", "_2"), "name_2");
    EXPECT_STREQ(fxGetFilename("/a/b/c.png"), "c.png");
    EXPECT_STREQ(fxGetFilename("C:\\art\\skin-2.png"), "skin-2.png");
    EXPECT_STREQ(fxGetFilename("plain"), "plain");
}
