// The project's stand-in DevIL (devil/), bound by the engine as it binds the real library: row
// order by file kind, the type codes, saving rules and scaling. The picture tests of tests/image
// also run against it (StandInDevil.ImageTests).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/package.h"
#include "image/devil.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<unsigned char>;

class StandInDevil : public testing::Test {
protected:
    ILuint image = 0;
    void SetUp() override {
        fxUnloadDevil();
        fxSetDevilLibraryNames(QM_STANDIN_IL, QM_STANDIN_ILU);
        ASSERT_TRUE(fxLoadDevil());
        fxil.ilGenImages(1, &image);
        fxil.ilBindImage(image);
    }
    void TearDown() override {
        if (fxDevilLoaded()) fxil.ilDeleteImages(1, &image);
        fxUnloadDevil();
        fxSetDevilLibraryNames(nullptr, nullptr);
    }
    // The bound image's pixel (x, y) of row order as delivered, as "r,g,b".
    static std::string Pixel(int x, int y) {
        int w = fxil.ilGetInteger(FX_IL_IMAGE_WIDTH), c = fxil.ilGetInteger(FX_IL_IMAGE_BYTES_PER_PIXEL);
        const ILubyte* p = fxil.ilGetData() + (size_t(y) * w + x) * c;
        return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
    }
};

// A 1 x 2 picture, red on top and blue below, as a 24-bit BMP of the given height sign.
Bytes localBmp(bool topDown) {
    Bytes b = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0};
    int32_t h = topDown ? -2 : 2;
    for (int k = 0; k < 4; k++) b.push_back(static_cast<unsigned char>((uint32_t(h) >> (8 * k)) & 0xFF));
    Bytes rest = {1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    b.insert(b.end(), rest.begin(), rest.end());
    // Pixel rows of 4 bytes (3 + padding), blue-green-red, in file order.
    Bytes red = {0, 0, 255, 0}, blue = {255, 0, 0, 0};
    const Bytes& first = topDown ? red : blue;
    const Bytes& second = topDown ? blue : red;
    b.insert(b.end(), first.begin(), first.end());
    b.insert(b.end(), second.begin(), second.end());
    return b;
}

// The same picture as an uncompressed 24-bit TGA, bottom-up or with the top-left origin bit.
Bytes localTga(bool topDown) {
    Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 24, static_cast<unsigned char>(topDown ? 0x20 : 0)};
    Bytes red = {0, 0, 255}, blue = {255, 0, 0};
    const Bytes& first = topDown ? red : blue;
    const Bytes& second = topDown ? blue : red;
    b.insert(b.end(), first.begin(), first.end());
    b.insert(b.end(), second.begin(), second.end());
    return b;
}

// A 1 x 1 GIF whose one pixel is colour 0 of its table: orange.
const Bytes kGif = {'G', 'I', 'F', '8', '7', 'a', 1, 0, 1, 0, 0x80, 0, 0, 255, 128, 0, 0, 0, 0,
                    ',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, ';'};

}  // namespace

TEST_F(StandInDevil, RowsComeInTheFilesOwnOrder) {
    // Stored bottom-up (BMP with a positive height, TGA without the top-left bit): row 0 is the
    // bottom row, as DevIL delivers it. Stored top-down: row 0 is the top row.
    struct Case {
        const char* what;
        Bytes bytes;
        ILenum type;
        const char* row0;
    } cases[] = {
        {"bmp bottom-up", localBmp(false), FX_PACKAGE_TYPE_BMP, "0,0,255"},
        {"bmp top-down", localBmp(true), FX_PACKAGE_TYPE_BMP, "255,0,0"},
        {"tga bottom-up", localTga(false), FX_PACKAGE_TYPE_TGA, "0,0,255"},
        {"tga top-down", localTga(true), FX_PACKAGE_TYPE_TGA, "255,0,0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(fxil.ilLoadL(c.type, c.bytes.data(), ILuint(c.bytes.size())));
        EXPECT_EQ(fxil.ilGetInteger(FX_IL_IMAGE_WIDTH), 1);
        EXPECT_EQ(fxil.ilGetInteger(FX_IL_IMAGE_HEIGHT), 2);
        EXPECT_EQ(fxil.ilGetInteger(FX_IL_IMAGE_FORMAT), int(FX_IL_RGB));
        EXPECT_EQ(Pixel(0, 0), c.row0);
    }
    ASSERT_TRUE(fxil.ilLoadL(FX_PACKAGE_TYPE_GIF, kGif.data(), ILuint(kGif.size())));
    ASSERT_TRUE(fxil.ilConvertImage(FX_IL_RGBA, FX_IL_UNSIGNED_BYTE));
    EXPECT_EQ(Pixel(0, 0), "255,128,0");
    // From a file the name gives the kind.
    std::string file = qmTestPath("standin_bottom_up.bmp");
    qmWriteFile(file, localBmp(false));
    ASSERT_TRUE(fxil.ilLoadImage(file.c_str()));
    EXPECT_EQ(Pixel(0, 0), "0,0,255");
}

TEST_F(StandInDevil, TheTypeCodeDecidesAndBadBytesFail) {
    Bytes bmp = localBmp(false);
    EXPECT_FALSE(fxil.ilLoadL(FX_PACKAGE_TYPE_PNG, bmp.data(), ILuint(bmp.size())));
    EXPECT_FALSE(fxil.ilLoadL(FX_PACKAGE_TYPE_JPG, bmp.data(), ILuint(bmp.size())));
    EXPECT_FALSE(fxil.ilLoadL(FX_PACKAGE_TYPE_TGA, bmp.data(), ILuint(bmp.size())));
    EXPECT_FALSE(fxil.ilLoadL(12345, bmp.data(), ILuint(bmp.size())));
    Bytes cut(bmp.begin(), bmp.begin() + 40);
    EXPECT_FALSE(fxil.ilLoadL(FX_PACKAGE_TYPE_BMP, cut.data(), ILuint(cut.size())));
    EXPECT_FALSE(fxil.ilLoadL(FX_PACKAGE_TYPE_BMP, nullptr, 0));
    EXPECT_FALSE(fxil.ilLoadImage(qmTestPath("standin_no_such_file.png").c_str()));
}

TEST_F(StandInDevil, SavesPutRowZeroAtTheBottomAndNeverOverwriteUnasked) {
    // Row 0 red, row 1 blue: the file shows blue on top.
    unsigned char rows[] = {255, 0, 0, 0, 0, 255};
    ASSERT_TRUE(fxil.ilTexImage(1, 2, 1, 3, FX_IL_RGB, FX_IL_UNSIGNED_BYTE, rows));
    EXPECT_FALSE(fxil.ilTexImage(1, 2, 1, 4, FX_IL_RGB, FX_IL_UNSIGNED_BYTE, rows));  // bpp and format disagree
    for (const char* name : {"standin_save.png", "standin_save.bmp", "standin_save.tga"}) {
        SCOPED_TRACE(name);
        std::string file = qmTestPath(name);
        qmWriteFile(file, {'o', 'l', 'd'});
        fxil.ilDisable(FX_IL_FILE_OVERWRITE);
        EXPECT_FALSE(fxil.ilSaveImage(file.c_str()));
        EXPECT_EQ(qmReadFile(file), (Bytes{'o', 'l', 'd'}));
        fxil.ilEnable(FX_IL_FILE_OVERWRITE);
        ASSERT_TRUE(fxil.ilSaveImage(file.c_str()));
        ILuint back = 0;
        fxil.ilGenImages(1, &back);
        fxil.ilBindImage(back);
        ASSERT_TRUE(fxil.ilLoadImage(file.c_str()));
        // PNG delivers the top row first; BMP and TGA were written bottom-up and stay so.
        bool bottomUp = strstr(name, ".png") == nullptr;
        EXPECT_EQ(Pixel(0, 0), bottomUp ? "255,0,0" : "0,0,255");
        fxil.ilDeleteImages(1, &back);
        fxil.ilBindImage(image);
    }
    EXPECT_FALSE(fxil.ilSaveImage(qmTestPath("standin_save.xyz").c_str()));
}

TEST_F(StandInDevil, ConvertsCopiesAndScales) {
    unsigned char rgba[] = {10, 20, 30, 40, 50, 60, 70, 80};
    ASSERT_TRUE(fxil.ilTexImage(2, 1, 1, 4, FX_IL_RGBA, FX_IL_UNSIGNED_BYTE, rgba));
    ILuint clone = fxil.ilCloneCurImage();
    ASSERT_NE(clone, 0u);
    fxil.ilBindImage(clone);
    ASSERT_TRUE(fxil.ilConvertImage(FX_IL_RGB, FX_IL_UNSIGNED_BYTE));
    EXPECT_EQ(fxil.ilGetInteger(FX_IL_IMAGE_BYTES_PER_PIXEL), 3);
    EXPECT_EQ(Pixel(1, 0), "50,60,70");
    unsigned char out[8] = {};
    // A region reaching past the image is cut to it.
    EXPECT_EQ(fxil.ilCopyPixels(1, 0, 0, 5, 5, 1, FX_IL_RGBA, FX_IL_UNSIGNED_BYTE, out), 4u);
    EXPECT_EQ(Bytes(out, out + 4), (Bytes{50, 60, 70, 255}));
    EXPECT_EQ(fxil.ilCopyPixels(2, 0, 0, 1, 1, 1, FX_IL_RGBA, FX_IL_UNSIGNED_BYTE, out), 0u);
    unsigned char grey[] = {200};
    fxil.ilSetPixels(0, 0, 0, 1, 1, 1, FX_IL_LUMINANCE, FX_IL_UNSIGNED_BYTE, grey);
    EXPECT_EQ(Pixel(0, 0), "200,200,200");
    ASSERT_TRUE(fxil.iluScale(4, 3, 1));
    EXPECT_EQ(fxil.ilGetInteger(FX_IL_IMAGE_WIDTH), 4);
    EXPECT_EQ(fxil.ilGetInteger(FX_IL_IMAGE_HEIGHT), 3);
    // The grey left pixel stays brighter on the left than the dark right one on the right.
    const ILubyte* scaled = fxil.ilGetData();
    EXPECT_GT(scaled[0], 150);
    EXPECT_LT(scaled[3 * 3], 100);
    EXPECT_FALSE(fxil.iluScale(0, 3, 1));
    fxil.ilDeleteImages(1, &clone);
    fxil.ilBindImage(image);
    EXPECT_EQ(Pixel(0, 0), "10,20,30");  // the original is untouched
}
