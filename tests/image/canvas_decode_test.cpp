// Decoding pictures and masks from files and package entries with the real DevIL library, and
// saving them back (row order, pixel formats, overwriting, JPEG quality).
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/package.h"
#include "image_test_util.h"

namespace {

uint32_t localPattern(int x, int y) { return qmiRgba(x & 255, y & 255, (x * 7 + y * 3) & 255, 255); }

// Writes a w x h RGBA picture file from f.
template <typename F>
std::string localWrite(const std::string& name, int w, int h, F f) {
    std::string path = qmTestPath(name);
    FXCanvas c;
    qmiFill(&c, w, h, f);
    EXPECT_TRUE(c.SaveToPict2(path.c_str(), 0, 0, w, h)) << name;
    return path;
}

void localLoadPackage(FXPackage* pkg, const std::vector<QmiEntry>& entries) {
    std::vector<unsigned char> bytes = qmiPackage(entries);
    pkg->LoadFromMemory(bytes.data(), long(bytes.size()));
    ASSERT_EQ(pkg->GetCount(), int(entries.size()));
}

// Counting wrappers around the decoder's entry points.
int gGen = 0, gDelete = 0, gLoadL = 0, gLoadImage = 0;
FXDevilImports gReal;
void localGen(ILsizei n, ILuint* images) {
    gGen += int(n);
    gReal.ilGenImages(n, images);
}
void localDelete(ILsizei n, const ILuint* images) {
    gDelete += int(n);
    gReal.ilDeleteImages(n, images);
}
ILboolean localLoadL(ILenum type, const void* lump, ILuint size) {
    gLoadL++;
    return gReal.ilLoadL(type, lump, size);
}
ILboolean localLoadImage(const char* file) {
    gLoadImage++;
    return gReal.ilLoadImage(file);
}

class CountingDevil {
public:
    CountingDevil() {
        gReal = fxil;
        gGen = gDelete = gLoadL = gLoadImage = 0;
        fxil.ilGenImages = localGen;
        fxil.ilDeleteImages = localDelete;
        fxil.ilLoadL = localLoadL;
        fxil.ilLoadImage = localLoadImage;
    }
    ~CountingDevil() { fxil = gReal; }
};

}  // namespace

TEST_F(DevilTest, PackageEntryDecodesIntoPowerOfTwoBuffer) {
    std::string file = localWrite("image_300x200.png", 300, 200, localPattern);
    FXPackage pkg;
    localLoadPackage(&pkg, {{9, -1, {1, 2, 3}}, {751, FX_PACKAGE_TYPE_PNG, qmReadFile(file)}});
    FXCanvas c;
    qmiFill(&c, 512, 256, [](int, int) { return 0xFFFFFFFFu; });  // stale content in the buffer
    EXPECT_TRUE(c.CreateFromPictCN(&pkg, 751));
    EXPECT_EQ(c.GetWidth(), 300);
    EXPECT_EQ(c.GetHeight(), 200);
    EXPECT_EQ(c.GetWidthF(), 300.0f);
    EXPECT_EQ(c.pixmap.bufWidth, 512);
    EXPECT_EQ(c.pixmap.bufHeight, 256);
    EXPECT_TRUE(c.opaque);
    // Top row stays top; every picture pixel arrives unchanged.
    int wrong = 0;
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 300; x++) wrong += qmiPixel(c, x, y) != localPattern(x, y);
    EXPECT_EQ(wrong, 0);
    int padding = 0;
    for (int y = 0; y < 256; y++)
        for (int x = (y < 200 ? 300 : 0); x < 512; x++) padding += qmiPixel(c, x, y) != 0;
    EXPECT_EQ(padding, 0);

    FXCanvas byName;
    EXPECT_TRUE(byName.CreateFromPictC(&pkg, "  751 frames"));
    EXPECT_EQ(qmiPixel(byName, 299, 199), localPattern(299, 199));
    EXPECT_FALSE(byName.CreateFromPictC(&pkg, "frame"));
    EXPECT_FALSE(byName.CreateFromPictCN(&pkg, 752));
    EXPECT_FALSE(byName.CreateFromPictCN(nullptr, 751));
}

TEST_F(DevilTest, OneTranslucentPixelClearsOpaque) {
    std::string file = localWrite("image_alpha254.png", 8, 8, [](int x, int y) {
        return qmiRgba(10, 20, 30, x == 5 && y == 6 ? 254 : 255);
    });
    FXCanvas c;
    c.clearColor[0] = 1.0f;  // clear colour fills the padding
    c.clearColor[3] = 1.0f;
    c.opaque = true;
    EXPECT_TRUE(c.CreateFromPict(file.c_str()));
    EXPECT_FALSE(c.opaque);
    EXPECT_EQ(qmiPixel(c, 5, 6), qmiRgba(10, 20, 30, 254));
    // 8 x 8 is already a power of two; a 6 x 5 picture shows the padding colour.
    std::string small = localWrite("image_6x5.png", 6, 5, [](int, int) { return qmiRgba(1, 1, 1, 255); });
    EXPECT_TRUE(c.CreateFromPict(small.c_str()));
    EXPECT_TRUE(c.opaque);
    EXPECT_EQ(qmiPixel(c, 6, 0), qmiRgba(255, 0, 0, 255));
    EXPECT_EQ(qmiPixel(c, 7, 7), qmiRgba(255, 0, 0, 255));
    // Without clear on load the padding keeps what the buffer held.
    c.clearOnLoad = false;
    qmiSetPixel(&c, 7, 7, 0x01020304u);
    EXPECT_TRUE(c.CreateFromPict(small.c_str()));
    EXPECT_EQ(qmiPixel(c, 7, 7), 0x01020304u);
}

TEST_F(DevilTest, TransparencyModeFollowsTheFileName) {
    auto leaf = [](int x, int y) { return qmiRgba(x * 30, 200, y * 40, 255); };
    std::string file = localWrite("image_Tranparent_Leaf.png", 8, 4, leaf);
    FXCanvas c;
    EXPECT_TRUE(c.CreateFromPict(file.c_str()));
    EXPECT_TRUE(c.transMode);
    EXPECT_FALSE(c.opaque);
    for (int x = 0; x < 8; x++) EXPECT_EQ(qmiPixel(c, x, 3), qmiRgba(255, 255, 255, x * 30));

    // The same bytes from a package entry load as they are while the mode is off...
    FXPackage pkg;
    localLoadPackage(&pkg, {{4, FX_PACKAGE_TYPE_PNG, qmReadFile(file)}});
    FXCanvas fresh;
    EXPECT_TRUE(fresh.CreateFromPictCN(&pkg, 4));
    EXPECT_FALSE(fresh.transMode);
    EXPECT_TRUE(fresh.opaque);
    EXPECT_EQ(qmiPixel(fresh, 2, 1), leaf(2, 1));
    // ...and a package load keeps the mode a file load left behind.
    EXPECT_TRUE(c.CreateFromPictCN(&pkg, 4));
    EXPECT_EQ(qmiPixel(c, 2, 1), qmiRgba(255, 255, 255, 60));
    // Without auto-detection a file load switches the mode off.
    c.autoDetectTrans = false;
    EXPECT_TRUE(c.CreateFromPict(file.c_str()));
    EXPECT_FALSE(c.transMode);
    EXPECT_EQ(qmiPixel(c, 2, 1), leaf(2, 1));

    EXPECT_TRUE(localDetectTransFilename("data/LEAF_TRANSP.PNG"));
    EXPECT_TRUE(localDetectTransFilename("tran"));
    EXPECT_FALSE(localDetectTransFilename("tra.png"));
    EXPECT_FALSE(localDetectTransFilename("t-r-a-n.png"));
    EXPECT_FALSE(localDetectTransFilename(nullptr));
}

TEST_F(DevilTest, RecordsAndUndecodableEntriesAreRefused) {
    std::string file = localWrite("image_entry.png", 4, 4, localPattern);
    FXPackage pkg;
    localLoadPackage(&pkg, {{1, -1, qmReadFile(file)}, {2, FX_PACKAGE_TYPE_PNG, {0x89, 'P', 'N', 'G', 0, 0}},
                            {3, FX_PACKAGE_TYPE_PNG, qmReadFile(file)}});
    FXCanvas c;
    qmiFill(&c, 4, 4, [](int, int) { return qmiRgba(5, 5, 5, 5); });
    {
        CountingDevil count;
        EXPECT_FALSE(c.CreateFromPictCN(&pkg, 1));
        EXPECT_FALSE(c.LoadMaskCN(&pkg, 1));
        EXPECT_FALSE(c.LoadMaskC(&pkg, "1"));
        EXPECT_EQ(gGen + gLoadL + gLoadImage, 0);
        // A damaged picture reaches the decoder, fails, and leaves the canvas as it was.
        EXPECT_FALSE(c.CreateFromPictCN(&pkg, 2));
        EXPECT_EQ(gLoadL, 1);
        EXPECT_FALSE(c.CreateFromPict(qmTestPath("image_no_such_file.png").c_str()));
        EXPECT_FALSE(c.CreateFromPict(""));
        EXPECT_EQ(gLoadImage, 1);
        EXPECT_EQ(gDelete, gGen);
        EXPECT_EQ(qmiPixel(c, 3, 3), qmiRgba(5, 5, 5, 5));
        EXPECT_EQ(c.GetWidth(), 4);
        // A good decode makes one image and one clone and deletes both.
        gGen = gDelete = 0;
        EXPECT_TRUE(c.CreateFromPictCN(&pkg, 3));
        EXPECT_EQ(gGen, 1);
        EXPECT_EQ(gDelete, 2);
    }
    EXPECT_EQ(qmiPixel(c, 3, 2), localPattern(3, 2));
}

TEST_F(DevilTest, MaskSetsAlphaFromItsBlueChannel) {
    std::string big = localWrite("image_mask64.png", 64, 64, [](int, int) { return qmiRgba(0, 0, 255, 255); });
    std::string mask = localWrite("image_mask16.png", 16, 16,
                                  [](int x, int y) { return qmiRgba(255 - x, 7, x * 16 + y, 255); });
    FXCanvas c;
    auto base = [](int x, int y) { return qmiRgba(x, y, 100, 255); };
    qmiFill(&c, 32, 32, base);
    EXPECT_FALSE(c.LoadMask(big.c_str()));
    EXPECT_EQ(qmiPixel(c, 31, 31), base(31, 31));
    EXPECT_TRUE(c.opaque);

    EXPECT_TRUE(c.LoadMask(mask.c_str()));
    int wrong = 0;
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) {
            unsigned alpha = (x < 16 && y < 16) ? unsigned(x * 16 + y) : 0u;
            wrong += qmiPixel(c, x, y) != ((base(x, y) & 0x00FFFFFFu) | (alpha << 24));
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(c.opaque);

    // An all-opaque mask covering the picture makes it opaque again; from a package entry.
    std::string full = localWrite("image_mask32.png", 32, 32, [](int, int) { return qmiRgba(0, 0, 255, 255); });
    FXPackage pkg;
    localLoadPackage(&pkg, {{8, FX_PACKAGE_TYPE_PNG, qmReadFile(full)}});
    EXPECT_TRUE(c.LoadMaskC(&pkg, "8"));
    EXPECT_TRUE(c.opaque);
    EXPECT_EQ(qmiPixel(c, 20, 20), base(20, 20));
}

TEST_F(DevilTest, SavesKeepRowOrderAndFormats) {
    FXCanvas c;
    auto pic = [](int x, int y) { return qmiRgba(40 * x + 1, 60 * y + 2, 3, x == 2 && y == 0 ? 0 : 128 + x); };
    qmiFill(&c, 5, 3, pic);
    std::string rgb = qmTestPath("image_save_rgb.png");
    ASSERT_TRUE(c.SaveToPict(rgb.c_str()));
    FXCanvas back;
    ASSERT_TRUE(back.CreateFromPict(rgb.c_str()));
    ASSERT_EQ(back.GetWidth(), 5);
    ASSERT_EQ(back.GetHeight(), 3);
    EXPECT_TRUE(back.opaque);  // three bytes per pixel: no alpha
    EXPECT_EQ(qmiPixel(back, 1, 0), qmiRgba(41, 2, 3, 255));
    EXPECT_EQ(qmiPixel(back, 4, 2), qmiRgba(161, 122, 3, 255));
    EXPECT_EQ(qmiPixel(back, 2, 0), qmiRgba(0, 0, 0, 255));  // alpha 0 is written black

    std::string rgba = qmTestPath("image_save_rgba.png");
    ASSERT_TRUE(c.SaveToPict2(rgba.c_str(), 1, 0, 4, 2));
    ASSERT_TRUE(back.CreateFromPict(rgba.c_str()));
    ASSERT_EQ(back.GetWidth(), 3);
    ASSERT_EQ(back.GetHeight(), 2);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++) EXPECT_EQ(qmiPixel(back, x, y), pic(x + 1, y)) << x << "," << y;

    std::string rect = qmTestPath("image_save_rect.png");
    ASSERT_TRUE(c.SaveToPict1(rect.c_str(), 3, 1, 5, 3));
    ASSERT_TRUE(back.CreateFromPict(rect.c_str()));
    EXPECT_EQ(qmiPixel(back, 0, 0), qmiRgba(121, 62, 3, 255));
    EXPECT_EQ(qmiPixel(back, 1, 1), qmiRgba(161, 122, 3, 255));

    std::string mask = qmTestPath("image_save_mask.png");
    ASSERT_TRUE(c.SaveToMask1(mask.c_str(), 0, 1, 5, 3));
    ASSERT_TRUE(back.CreateFromPict(mask.c_str()));
    EXPECT_EQ(back.GetHeight(), 2);
    EXPECT_EQ(qmiPixel(back, 4, 1), qmiRgba(132, 132, 132, 255));
    ASSERT_TRUE(c.SaveToMask(mask.c_str()));  // overwrites
    ASSERT_TRUE(back.CreateFromPict(mask.c_str()));
    EXPECT_EQ(back.GetHeight(), 3);
    EXPECT_EQ(qmiPixel(back, 2, 0), qmiRgba(0, 0, 0, 255));
    EXPECT_EQ(qmiPixel(back, 3, 0), qmiRgba(131, 131, 131, 255));

    // Rectangles outside the picture or empty are refused and write nothing.
    std::string none = qmTestPath("image_save_none.png");
    remove(none.c_str());
    EXPECT_FALSE(c.SaveToPict1(none.c_str(), 0, 0, 6, 3));
    EXPECT_FALSE(c.SaveToPict2(none.c_str(), -1, 0, 2, 2));
    EXPECT_FALSE(c.SaveToMask1(none.c_str(), 2, 2, 2, 3));
    EXPECT_FALSE(c.SaveToPict("") );
    FXCanvas empty;
    EXPECT_FALSE(empty.SaveToPict(none.c_str()));
    EXPECT_TRUE(qmReadFile(none).empty());
}

TEST_F(DevilTest, SavedFileStoresTheTopRowLast) {
    // A BMP keeps its rows bottom-up: the file's last row must be the canvas's top row.
    FXCanvas c;
    qmiFill(&c, 4, 2, [](int, int y) { return y == 0 ? qmiRgba(200, 10, 20, 255) : qmiRgba(5, 6, 7, 255); });
    std::string bmp = qmTestPath("image_rows.bmp");
    ASSERT_TRUE(c.SaveToPict(bmp.c_str()));
    std::vector<unsigned char> b = qmReadFile(bmp);
    ASSERT_GE(b.size(), 54u);
    uint32_t dataAt = fxGetU32(&b[10]);
    ASSERT_EQ(fxGetI32(&b[22]), 2);  // positive height: bottom-up
    ASSERT_EQ(fxGetU16(&b[28]), 24);
    ASSERT_GE(b.size(), dataAt + 2 * 12u);
    const unsigned char* first = &b[dataAt];
    const unsigned char* last = &b[dataAt + 12];  // rows of 4 * 3 bytes, already 4-aligned
    EXPECT_EQ(first[0], 7);  // blue, green, red
    EXPECT_EQ(first[2], 5);
    EXPECT_EQ(last[0], 20);
    EXPECT_EQ(last[2], 200);
}

TEST_F(DevilTest, JpegDecodesAndQualityShapesTheFile) {
    FXCanvas c;
    auto smooth = [](int x, int y) { return qmiRgba(x * 2, y * 2, 128, 255); };
    qmiFill(&c, 64, 48, smooth);
    std::string fine = qmTestPath("image_fine.jpg");
    std::string coarse = qmTestPath("image_coarse.jpg");
    c.SetJpegQuality(95);
    ASSERT_TRUE(c.SaveToPict(fine.c_str()));
    c.SetJpegQuality(5);
    ASSERT_TRUE(c.SaveToPict(coarse.c_str()));
    EXPECT_LT(qmReadFile(coarse).size(), qmReadFile(fine).size());

    FXPackage pkg;
    localLoadPackage(&pkg, {{1061, FX_PACKAGE_TYPE_JPG, qmReadFile(fine)}});
    FXCanvas back;
    ASSERT_TRUE(back.CreateFromPictCN(&pkg, 1061));
    ASSERT_EQ(back.GetWidth(), 64);
    ASSERT_EQ(back.GetHeight(), 48);
    EXPECT_TRUE(back.opaque);
    int far = 0;
    for (int y = 0; y < 48; y += 5)
        for (int x = 0; x < 64; x += 7) {
            uint32_t got = qmiPixel(back, x, y), want = smooth(x, y);
            for (int k = 0; k < 3; k++) far += abs(int((got >> (8 * k)) & 255) - int((want >> (8 * k)) & 255)) > 6;
        }
    EXPECT_EQ(far, 0);
    ASSERT_TRUE(back.CreateFromPict(fine.c_str()));
    EXPECT_EQ(back.GetHeight(), 48);
}
