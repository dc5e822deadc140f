// qmpack's path arithmetic over the platform layer (host.h): the parts of a path, joining,
// absolute forms with "." and ".." folded, and relative paths between folders. These decide the
// labels a package records, so they must come out the same on every system.
#include <gtest/gtest.h>

#include "qmpack/files.h"
#include "qmpack/host.h"

TEST(QmpackPaths, PartsJoinAndExtensions) {
    EXPECT_EQ(qmpackDirOf("models/bird.xm"), "models/");
    EXPECT_EQ(qmpackBaseOf("models/bird.xm"), "bird.xm");
    EXPECT_EQ(qmpackDirOf("bird.xm"), "");
    EXPECT_EQ(qmpackBaseOf("a/b/"), "");
    EXPECT_EQ(qmpackExtOf("pictures/Meadow.JPG"), "jpg");
    EXPECT_EQ(qmpackExtOf("a.b/noext"), "");
    EXPECT_EQ(qmpackExtOf(".hidden"), "");
    EXPECT_EQ(qmpackJoin("content", "bird.xm"), "content/bird.xm");
    EXPECT_EQ(qmpackJoin("content/", "bird.xm"), "content/bird.xm");
    EXPECT_EQ(qmpackJoin("", "bird.xm"), "bird.xm");
    EXPECT_EQ(qmpackJoin("content", "/abs/bird.xm"), "/abs/bird.xm");
    EXPECT_EQ(qmpackRootLength("relative/x"), 0u);
}

TEST(QmpackPaths, AbsoluteFormsFoldDotsAndKeepTheRoot) {
    std::string root = qmpackAbsolute("/");
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(qmpackRootLength(root), root.size()) << root;
    EXPECT_EQ(qmpackAbsolute("/a/./b/../c//d/"), root + "a/c/d");
    EXPECT_EQ(qmpackAbsolute("/../../x"), root + "x");
    // A relative path hangs below the working directory.
    std::string here = qmpackAbsolute(".");
    EXPECT_GT(qmpackRootLength(here), 0u);
    EXPECT_EQ(qmpackAbsolute("sub/../file"), (here == root ? root : here + "/") + "file");
}

TEST(QmpackPaths, RelativePathsBetweenFolders) {
    EXPECT_EQ(qmpackRelativePath("/a/b", "/a/b/c.png"), "c.png");
    EXPECT_EQ(qmpackRelativePath("/a/b", "/a/c/d.png"), "../c/d.png");
    EXPECT_EQ(qmpackRelativePath("/a/b/", "/x.png"), "../../x.png");
    EXPECT_EQ(qmpackRelativePath("/a", "/a/b/../c.png"), "c.png");
}
