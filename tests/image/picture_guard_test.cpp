// Pictures DevIL would never finish decoding: a PNG cut short keeps its reader reading past the
// end for ever, from memory and from a file alike. Every cut of a whole PNG is refused before
// DevIL sees it, a whole one still decodes, and bytes of other kinds pass through unchecked.
#include <gtest/gtest.h>

#include "base/package.h"
#include "image_test_util.h"

namespace {

std::vector<unsigned char> localPng(int w, int h) {
    std::string path = qmTestPath("whole.png");
    FXCanvas c;
    qmiFill(&c, w, h, [](int x, int y) { return qmiRgba(200, x & 255, y & 255, 255); });
    EXPECT_TRUE(c.SaveToPict2(path.c_str(), 0, 0, w, h));
    return qmReadFile(path);
}

}  // namespace

TEST_F(DevilTest, APngCutShortIsRefusedFromMemoryAndFromAFile) {
    const std::vector<unsigned char> png = localPng(40, 12);
    ASSERT_GT(png.size(), 40u);
    EXPECT_TRUE(fxPngWhole(png.data(), long(png.size())));
    std::string file = qmTestPath("cut.png");
    for (size_t cut = 8; cut < png.size(); cut += 7) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(fxPngWhole(png.data(), long(cut)));
        FXPackage pkg;
        std::vector<unsigned char> bytes = qmiPackage({{3, FX_PACKAGE_TYPE_PNG, {png.begin(), png.begin() + cut}}});
        pkg.LoadFromMemory(bytes.data(), long(bytes.size()));
        FXCanvas c;
        EXPECT_FALSE(c.CreateFromPictCN(&pkg, 3));
        qmWriteFile(file, {png.begin(), png.begin() + cut});
        EXPECT_FALSE(c.CreateFromPict(file.c_str()));
    }
    // A chunk length beyond the bytes, and one beyond any size a chunk may have.
    std::vector<unsigned char> lying = png;
    lying[8] = 0x7F;
    EXPECT_FALSE(fxPngWhole(lying.data(), long(lying.size())));
    lying[8] = 0xFF;
    EXPECT_FALSE(fxPngWhole(lying.data(), long(lying.size())));

    FXCanvas whole;
    qmWriteFile(file, png);
    ASSERT_TRUE(whole.CreateFromPict(file.c_str()));
    EXPECT_EQ(whole.GetWidth() * 100 + whole.GetHeight(), 4012);
    const unsigned char other[] = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3};
    EXPECT_TRUE(fxPngWhole(other, long(sizeof other)));
    EXPECT_TRUE(fxPngWhole(png.data(), 7)) << "too short to be a PNG: DevIL decides";
}
