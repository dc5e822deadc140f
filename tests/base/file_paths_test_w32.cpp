// File-system paths on Windows: both separators, drive and network roots, a path from the root of
// the current drive.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/paths.h"

TEST(FilePathsW32, BothSeparatorsAndEveryKindOfRoot) {
    EXPECT_EQ(fxDirOf("models\\bird.xm"), "models\\");
    EXPECT_EQ(fxBaseOf("C:\\content\\models/bird.xm"), "bird.xm");
    EXPECT_EQ(fxRootLength("C:\\x"), 3u);
    EXPECT_EQ(fxRootLength("c:/x"), 3u);
    EXPECT_EQ(fxRootLength("\\\\server\\share\\x"), 15u);
    EXPECT_EQ(fxRootLength("\\x"), 1u);
    EXPECT_EQ(fxRootLength("x\\y"), 0u);
    EXPECT_EQ(fxJoinPath("C:\\content", "bird.xm"), "C:\\content/bird.xm");
    EXPECT_EQ(fxJoinPath("C:\\content\\", "D:\\bird.xm"), "D:\\bird.xm");
    EXPECT_EQ(fxAbsolutePath("C:\\a\\.\\b\\..\\c"), "C:/a/c");
    EXPECT_EQ(fxAbsolutePath("\\\\server\\share\\a\\..\\b"), "//server/share/b");
    EXPECT_EQ(fxRelativePath("C:\\a\\b", "C:/a/c/d.png"), "../c/d.png");
}

TEST(FilePathsW32, APathFromTheRootGetsTheCurrentDrive) {
    char cwd[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, cwd), 2u);
    std::string drive(cwd, 2);
    EXPECT_EQ(fxAbsolutePath("/work/x"), drive + "/work/x");
    // The same folder written both ways gives the same absolute form, so labels do not depend on it.
    EXPECT_EQ(fxRelativePath("/work", drive + "\\work\\a\\b.png"), "a/b.png");
}
