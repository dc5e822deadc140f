// File-system paths of any length (the engine's, which qmpack uses): the parts of a path,
// joining, absolute forms with "." and ".." folded, and relative paths between folders. These
// decide the labels a package records, so they must come out the same on every system.
#include <gtest/gtest.h>

#include "base/paths.h"

TEST(FilePaths, PartsJoinAndExtensions) {
    EXPECT_EQ(fxDirOf("models/bird.xm"), "models/");
    EXPECT_EQ(fxBaseOf("models/bird.xm"), "bird.xm");
    EXPECT_EQ(fxDirOf("bird.xm"), "");
    EXPECT_EQ(fxBaseOf("a/b/"), "");
    EXPECT_EQ(fxExtOf("pictures/Meadow.JPG"), "jpg");
    EXPECT_EQ(fxExtOf("a.b/noext"), "");
    EXPECT_EQ(fxExtOf(".hidden"), "");
    EXPECT_EQ(fxJoinPath("content", "bird.xm"), "content/bird.xm");
    EXPECT_EQ(fxJoinPath("content/", "bird.xm"), "content/bird.xm");
    EXPECT_EQ(fxJoinPath("", "bird.xm"), "bird.xm");
    EXPECT_EQ(fxJoinPath("content", "/abs/bird.xm"), "/abs/bird.xm");
    EXPECT_EQ(fxRootLength("relative/x"), 0u);
}

TEST(FilePaths, AbsoluteFormsFoldDotsAndKeepTheRoot) {
    std::string root = fxAbsolutePath("/");
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(fxRootLength(root), root.size()) << root;
    EXPECT_EQ(fxAbsolutePath("/a/./b/../c//d/"), root + "a/c/d");
    EXPECT_EQ(fxAbsolutePath("/../../x"), root + "x");
    // A relative path hangs below the working directory.
    std::string here = fxAbsolutePath(".");
    EXPECT_GT(fxRootLength(here), 0u);
    EXPECT_EQ(fxAbsolutePath("sub/../file"), (here == root ? root : here + "/") + "file");
}

TEST(FilePaths, RelativePathsBetweenFolders) {
    EXPECT_EQ(fxRelativePath("/a/b", "/a/b/c.png"), "c.png");
    EXPECT_EQ(fxRelativePath("/a/b", "/a/c/d.png"), "../c/d.png");
    EXPECT_EQ(fxRelativePath("/a/b/", "/x.png"), "../../x.png");
    EXPECT_EQ(fxRelativePath("/a", "/a/b/../c.png"), "c.png");
}
