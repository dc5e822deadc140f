// Pictures DevIL 1.7.8 would mishandle, found by the picture fuzzer: a GIF whose picture lies
// outside its screen (DevIL writes outside its own buffer), headers that claim gigabytes, an
// uncompressed TGA shorter than its pixels (DevIL makes up the rest, taking seconds), a 16-bit TGA
// whose conversion DevIL sizes wrongly (its pixels end before its size says). Each is refused and
// the canvas stays as it was; a picture within the limits still decodes. Under the sanitizers any
// read or write outside a buffer fails the test.
#include <gtest/gtest.h>

#include <cstring>

#include "base/package.h"
#include "image/picture_header.h"
#include "image_test_util.h"

namespace {

const std::vector<unsigned char> kGifOutsideItsScreen = {
    'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xff, 0xff, 0xff, 0, 0, 0, 0x21, 0xf9, 4, 1, 0, 0, 0,
    0,   0x2c, 0, 0xfb, 0xff, 0xff, 0xfe, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, 0x3b};
const std::vector<unsigned char> kTgaOfGigabytes = {0, 0, 2, 0, 0, 0, 0x20, 0, 0, 0, 0, 0, 0, 0xf7, 0xff, 0xff,
                                                    0x18, 0, 0, 0, 0xff, 0, 0xff, 0, 0, 0xf7, 0xff, 0xff};
const std::vector<unsigned char> kTgaShorterThanItsPixels = {0, 0, 2, 0, 0, 0x17, 0, 0x40, 0, 0, 0, 0x0f, // 256 x 256:
                                                             0, 1, 0, 1, 0x18, 0, 0x41, 0xff, 0xff, 0xfd};
const std::vector<unsigned char> kTgaSizedWrongly = {0, 0, 0x0a, 0, 0, 0, 0, 0x41, 0, 0, 0x4d, 0, 0x46, 0,
                                                     0, 8, 0x10, 0, 0, 0, 0, 0, 0, 0xff, 0x7a, 0xff, 0xff, 0xff};

// A PNG that is only its signature and header, w x h pixels.
std::vector<unsigned char> localPngHead(unsigned w, unsigned h) {
    std::vector<unsigned char> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (unsigned v : {w, h})
        b.insert(b.end(), {(unsigned char)(v >> 24), (unsigned char)(v >> 16), (unsigned char)(v >> 8), (unsigned char)v});
    // Bit depth 8, RGBA, then the header's CRC and an empty IEND chunk.
    b.insert(b.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0, 0, 0, 0});
    return b;
}

}  // namespace

TEST_F(DevilTest, PicturesTheLibraryWouldMishandleAreRefused) {
    struct Case {
        const char* what;
        int type;
        std::vector<unsigned char> bytes;
        const char* says;  // in the trace log ("" when the decoded image is refused)
    } cases[] = {
        {"a GIF outside its screen", FX_PACKAGE_TYPE_GIF, kGifOutsideItsScreen, "a GIF whose blocks or pictures"},
        {"a TGA of gigabytes", FX_PACKAGE_TYPE_TGA, kTgaOfGigabytes, "63232 x 65535 pixels, more than a picture"},
        {"a TGA shorter than its pixels", FX_PACKAGE_TYPE_TGA, kTgaShorterThanItsPixels, "a TGA shorter than its pixels"},
        {"a TGA DevIL sizes wrongly", FX_PACKAGE_TYPE_TGA, kTgaSizedWrongly, ""},
        {"a PNG of 16384 x 16384", FX_PACKAGE_TYPE_PNG, localPngHead(16384, 16384), "16384 x 16384 pixels"},
        {"a PNG of 5000 x 5000", FX_PACKAGE_TYPE_PNG, localPngHead(5000, 5000), "(8192 a side, 16777216 in all)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FXPackage pkg;
        std::vector<unsigned char> file = qmiPackage({{7, c.type, c.bytes}});
        ASSERT_TRUE(pkg.LoadFromMemory(file.data(), long(file.size())).Ok());
        FXCanvas canvas;
        qmiFill(&canvas, 2, 2, [](int, int) { return qmiRgba(9, 9, 9, 9); });
        bool decoded = false, masked = false;
        std::string log = qmTraced([&] {
            decoded = canvas.CreateFromPictCN(&pkg, 7);
            masked = canvas.LoadMaskCN(&pkg, 7);
        });
        if (!*c.says && decoded) {
            // Refused only where the library's account of what it decoded disagrees with itself; a
            // library that decodes it whole (the stand-in) gives a whole picture.
            EXPECT_GT(canvas.GetWidth(), 0);
            EXPECT_GE(canvas.pixmap.allocated, canvas.GetWidth() * canvas.GetHeight());
            continue;
        }
        EXPECT_FALSE(decoded);
        EXPECT_FALSE(masked);
        EXPECT_NE(log.find(c.says), std::string::npos) << log;
        EXPECT_EQ(qmiPixel(canvas, 1, 1), qmiRgba(9, 9, 9, 9));
    }
    EXPECT_TRUE(fxGifFramesInside(kTgaOfGigabytes.data(), long(kTgaOfGigabytes.size()))) << "not a GIF: unchecked";
    std::vector<unsigned char> cut(kGifOutsideItsScreen.begin(), kGifOutsideItsScreen.begin() + 20);
    EXPECT_FALSE(fxGifFramesInside(cut.data(), long(cut.size())));
    cut[5] = 'A';  // the image library takes "GIF89A" as a GIF too
    EXPECT_FALSE(fxGifFramesInside(cut.data(), long(cut.size())));
    // A BMP height of -2^31 (top first, of a size no file holds) is refused, not negated.
    const std::vector<unsigned char> bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0,
                                            0, 0, 1, 0, 0, 0, 0, 0, 0, 0x80, 1, 0, 24, 0, 0, 0};
    FXPictureHeader header;
    std::string problem;
    EXPECT_FALSE(fxReadPictureHeader(
        [&](long long at, size_t n, unsigned char* out) {
            if (at < 0 || size_t(at) + n > bmp.size()) return false;
            memcpy(out, bmp.data() + at, n);
            return true;
        },
        (long long)bmp.size(), "bmp", &header, &problem));
    EXPECT_EQ(problem, "BMP picture with an impossible height");
    FXPictureHeader limit;
    limit.width = kFXMaxPictureSide;
    limit.height = int(kFXMaxPicturePixels / kFXMaxPictureSide);
    EXPECT_EQ(fxPictureTooLarge(limit), "");
    limit.height++;
    EXPECT_NE(fxPictureTooLarge(limit), "");
}

TEST_F(DevilTest, APictureWithinTheLimitsStillDecodes) {
    // A GIF whose 1 x 1 picture lies at (0, 0) of its 1 x 1 screen passes the GIF check.
    const std::vector<unsigned char> gif = {'G', 'I', 'F', '8', '7', 'a', 1, 0, 1, 0, 0x80, 0, 0, 255, 128, 0, 0, 0,
                                            0, ',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, ';'};
    EXPECT_TRUE(fxGifFramesInside(gif.data(), long(gif.size())));
    // An uncompressed TGA that holds all its pixels (2 x 1, 24 bits) passes the size checks and
    // decodes.
    const std::vector<unsigned char> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0x20,
                                            0, 0, 255, 255, 0, 0};
    FXPackage pkg;
    std::vector<unsigned char> file = qmiPackage({{7, FX_PACKAGE_TYPE_TGA, tga}});
    ASSERT_TRUE(pkg.LoadFromMemory(file.data(), long(file.size())).Ok());
    FXCanvas canvas;
    EXPECT_TRUE(canvas.CreateFromPictCN(&pkg, 7));
    EXPECT_EQ(canvas.GetWidth(), 2);
    EXPECT_EQ(canvas.GetHeight(), 1);
    EXPECT_EQ(qmiPixel(canvas, 0, 0), qmiRgba(255, 0, 0, 255)) << "BGR: red first";
    EXPECT_EQ(qmiPixel(canvas, 1, 0), qmiRgba(0, 0, 255, 255));
}
