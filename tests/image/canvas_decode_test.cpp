// Decoding pictures and masks from files and package entries with the real DevIL library, and
// saving them back (row order, pixel formats, overwriting, JPEG quality).
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/package.h"
#include "image_test_util.h"

namespace {

uint32_t localPattern(int x, int y) { return qmiRgba(x & 255, y & 255, (x * 7 + y * 3) & 255, 255); }

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

// Counts decoder calls while it lives.
int gGen = 0, gDelete = 0, gLoads = 0;
FXDevilImports gReal;
struct CountingDevil {
    CountingDevil() {
        gReal = fxil;
        gGen = gDelete = gLoads = 0;
        fxil.ilGenImages = [](ILsizei n, ILuint* i) { gGen += int(n), gReal.ilGenImages(n, i); };
        fxil.ilDeleteImages = [](ILsizei n, const ILuint* i) { gDelete += int(n), gReal.ilDeleteImages(n, i); };
        fxil.ilLoadL = [](ILenum t, const void* p, ILuint s) { return gLoads++, gReal.ilLoadL(t, p, s); };
        fxil.ilLoadImage = [](const char* f) { return gLoads++, gReal.ilLoadImage(f); };
    }
    ~CountingDevil() { fxil = gReal; }
};

}  // namespace

TEST_F(DevilTest, PackageEntryDecodesIntoPowerOfTwoBuffer) {
    std::string file = localWrite("image_300x200.png", 300, 200, localPattern);
    FXPackage pkg;
    localLoadPackage(&pkg, {{9, -1, {1, 2, 3}}, {751, FX_PACKAGE_TYPE_PNG, qmReadFile(file)}});
    FXCanvas c;
    qmiFill(&c, 512, 256, [](int, int) { return 0xFFFFFFFFu; });  // stale content
    ASSERT_TRUE(c.CreateFromPictCN(&pkg, 751));
    EXPECT_EQ(c.GetWidth(), 300);
    EXPECT_EQ(c.GetHeight(), 200);
    EXPECT_EQ(c.pixmap.bufWidth, 512);
    EXPECT_EQ(c.pixmap.bufHeight, 256);
    EXPECT_TRUE(c.opaque);
    int wrong = 0, padding = 0;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 512; x++) {
            if (x < 300 && y < 200)
                wrong += qmiPixel(c, x, y) != localPattern(x, y);  // top row stays on top
            else
                padding += qmiPixel(c, x, y) != 0;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(padding, 0);

    FXCanvas byName;
    EXPECT_TRUE(byName.CreateFromPictC(&pkg, "  751 frames"));
    EXPECT_EQ(qmiPixel(byName, 299, 199), localPattern(299, 199));
    EXPECT_FALSE(byName.CreateFromPictC(&pkg, "frame"));
    EXPECT_FALSE(byName.CreateFromPictCN(&pkg, 752));
}

TEST_F(DevilTest, OpacityAndClearColour) {
    std::string file = localWrite("image_alpha254.png", 6, 5, [](int x, int y) {
        return qmiRgba(10, 20, 30, x == 5 && y == 4 ? 254 : 255);
    });
    FXCanvas c;
    c.clearColor[0] = c.clearColor[3] = 1.0f;
    EXPECT_TRUE(c.CreateFromPict(file.c_str()));
    EXPECT_FALSE(c.opaque);
    EXPECT_EQ(qmiPixel(c, 5, 4), qmiRgba(10, 20, 30, 254));
    EXPECT_EQ(qmiPixel(c, 7, 7), qmiRgba(255, 0, 0, 255));  // padding holds the clear colour
    c.clearOnLoad = false;
    qmiSetPixel(&c, 7, 7, 0x01020304u);
    EXPECT_TRUE(c.CreateFromPict(file.c_str()));
    EXPECT_EQ(qmiPixel(c, 7, 7), 0x01020304u);
}

TEST_F(DevilTest, TransparencyModeFollowsTheFileName) {
    auto leaf = [](int x, int y) { return qmiRgba(x * 30, 200, y * 40, 255); };
    std::string file = localWrite("image_Tranparent_Leaf.png", 8, 4, leaf);
    FXCanvas c, fresh;
    EXPECT_TRUE(c.CreateFromPict(file.c_str()));
    EXPECT_TRUE(c.transMode);
    EXPECT_FALSE(c.opaque);
    EXPECT_EQ(qmiPixel(c, 7, 3), qmiRgba(255, 255, 255, 210));
    // The same bytes from a package entry load as they are while the mode is off...
    FXPackage pkg;
    localLoadPackage(&pkg, {{4, FX_PACKAGE_TYPE_PNG, qmReadFile(file)}});
    EXPECT_TRUE(fresh.CreateFromPictCN(&pkg, 4));
    EXPECT_TRUE(fresh.opaque);
    EXPECT_EQ(qmiPixel(fresh, 2, 1), leaf(2, 1));
    // ...and a package load keeps the mode an earlier file load left.
    EXPECT_TRUE(c.CreateFromPictCN(&pkg, 4));
    EXPECT_EQ(qmiPixel(c, 2, 1), qmiRgba(255, 255, 255, 60));
    c.autoDetectTrans = false;
    EXPECT_TRUE(c.CreateFromPict(file.c_str()));
    EXPECT_EQ(qmiPixel(c, 2, 1), leaf(2, 1));
    EXPECT_FALSE(localDetectTransFilename("t-r-a-n.png"));
}

TEST_F(DevilTest, RecordsAndUndecodableEntriesAreRefused) {
    std::string file = localWrite("image_entry.png", 4, 4, localPattern);
    FXPackage pkg;
    localLoadPackage(&pkg, {{1, -1, qmReadFile(file)}, {2, FX_PACKAGE_TYPE_PNG, {0x89, 'P', 'N', 'G', 0, 0}},
                            {3, FX_PACKAGE_TYPE_PNG, qmReadFile(file)}});
    FXCanvas c;
    qmiFill(&c, 4, 4, [](int, int) { return qmiRgba(5, 5, 5, 5); });
    CountingDevil count;
    EXPECT_FALSE(c.CreateFromPictCN(&pkg, 1));
    EXPECT_FALSE(c.LoadMaskC(&pkg, "1"));
    EXPECT_EQ(gGen + gLoads, 0);  // a record never reaches the decoder
    EXPECT_FALSE(c.CreateFromPictCN(&pkg, 2));
    EXPECT_FALSE(c.CreateFromPict(qmTestPath("image_no_such_file.png").c_str()));
    EXPECT_EQ(gLoads, 1);  // a file that cannot be opened never reaches the decoder either
    EXPECT_EQ(gDelete, gGen);
    EXPECT_EQ(qmiPixel(c, 3, 3), qmiRgba(5, 5, 5, 5));
    // A good decode makes one image and one clone and deletes both.
    gGen = gDelete = 0;
    EXPECT_TRUE(c.CreateFromPictCN(&pkg, 3));
    EXPECT_EQ(gGen, 1);
    EXPECT_EQ(gDelete, 2);
}

TEST_F(DevilTest, MaskSetsAlphaFromItsBlueChannel) {
    auto blue = [](int, int) { return qmiRgba(0, 0, 255, 255); };
    std::string big = localWrite("image_mask64.png", 64, 64, blue);
    std::string full = localWrite("image_mask32.png", 32, 32, blue);
    std::string mask =
        localWrite("image_mask16.png", 16, 16, [](int x, int y) { return qmiRgba(255 - x, 7, x * 16 + y, 255); });
    FXCanvas c;
    auto base = [](int x, int y) { return qmiRgba(x, y, 100, 255); };
    qmiFill(&c, 32, 32, base);
    EXPECT_FALSE(c.LoadMask(big.c_str()));
    EXPECT_EQ(qmiPixel(c, 31, 31), base(31, 31));
    EXPECT_TRUE(c.LoadMask(mask.c_str()));
    int wrong = 0;
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) {
            unsigned alpha = (x < 16 && y < 16) ? unsigned(x * 16 + y) : 0u;
            wrong += qmiPixel(c, x, y) != ((base(x, y) & 0x00FFFFFFu) | (alpha << 24));
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(c.opaque);
    // A fully opaque mask over the whole picture, from a package entry, makes it opaque again.
    FXPackage pkg;
    localLoadPackage(&pkg, {{8, FX_PACKAGE_TYPE_PNG, qmReadFile(full)}});
    EXPECT_TRUE(c.LoadMaskCN(&pkg, 8));
    EXPECT_TRUE(c.opaque);
}

TEST_F(DevilTest, SavesKeepRowOrderAndFormats) {
    FXCanvas c, back;
    auto pic = [](int x, int y) { return qmiRgba(40 * x + 1, 60 * y + 2, 3, x == 2 && y == 0 ? 0 : 128 + x); };
    qmiFill(&c, 5, 3, pic);
    std::string rgb = qmTestPath("image_save_rgb.png"), rgba = qmTestPath("image_save_rgba.png");
    ASSERT_TRUE(c.SaveToPict(rgb.c_str()));
    ASSERT_TRUE(back.CreateFromPict(rgb.c_str()));
    EXPECT_TRUE(back.opaque);  // three bytes per pixel
    EXPECT_EQ(qmiPixel(back, 4, 2), qmiRgba(161, 122, 3, 255));
    EXPECT_EQ(qmiPixel(back, 2, 0), qmiRgba(0, 0, 0, 255));  // alpha 0 is written black
    ASSERT_TRUE(c.SaveToPict1(rgb.c_str(), 3, 1, 5, 3));       // overwrites
    ASSERT_TRUE(back.CreateFromPict(rgb.c_str()));
    EXPECT_EQ(back.GetWidth(), 2);
    EXPECT_EQ(qmiPixel(back, 0, 0), qmiRgba(121, 62, 3, 255));
    ASSERT_TRUE(c.SaveToPict2(rgba.c_str(), 1, 0, 4, 2));
    ASSERT_TRUE(back.CreateFromPict(rgba.c_str()));
    ASSERT_EQ(back.GetHeight(), 2);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++) EXPECT_EQ(qmiPixel(back, x, y), pic(x + 1, y)) << x << "," << y;
    ASSERT_TRUE(c.SaveToMask1(rgba.c_str(), 0, 1, 5, 3));
    ASSERT_TRUE(back.CreateFromPict(rgba.c_str()));
    EXPECT_EQ(qmiPixel(back, 4, 1), qmiRgba(132, 132, 132, 255));
    ASSERT_TRUE(c.SaveToMask(rgba.c_str()));
    ASSERT_TRUE(back.CreateFromPict(rgba.c_str()));
    EXPECT_EQ(qmiPixel(back, 2, 0), qmiRgba(0, 0, 0, 255));

    // Rectangles outside the picture or empty are refused and write nothing.
    std::string none = qmTestPath("image_save_none.png");
    remove(none.c_str());
    EXPECT_FALSE(c.SaveToPict1(none.c_str(), 0, 0, 6, 3));
    EXPECT_FALSE(c.SaveToPict2(none.c_str(), -1, 0, 2, 2));
    EXPECT_FALSE(c.SaveToMask1(none.c_str(), 2, 2, 2, 3));
    EXPECT_FALSE(FXCanvas().SaveToPict(none.c_str()));
    EXPECT_TRUE(qmReadFile(none).empty());
}

TEST_F(DevilTest, JpegDecodesAndQualityShapesTheFile) {
    FXCanvas c, back;
    auto smooth = [](int x, int y) { return qmiRgba(x * 2, y * 2, 128, 255); };
    qmiFill(&c, 64, 48, smooth);
    std::string fine = qmTestPath("image_fine.jpg"), coarse = qmTestPath("image_coarse.jpg");
    c.SetJpegQuality(95);
    ASSERT_TRUE(c.SaveToPict(fine.c_str()));
    c.SetJpegQuality(5);
    ASSERT_TRUE(c.SaveToPict(coarse.c_str()));
    EXPECT_LT(qmReadFile(coarse).size(), qmReadFile(fine).size());
    FXPackage pkg;
    localLoadPackage(&pkg, {{1061, FX_PACKAGE_TYPE_JPG, qmReadFile(fine)}});
    ASSERT_TRUE(back.CreateFromPictCN(&pkg, 1061));
    ASSERT_EQ(back.GetWidth(), 64);
    ASSERT_EQ(back.GetHeight(), 48);
    int far = 0;
    for (int y = 0; y < 48; y += 5)
        for (int x = 0; x < 64; x += 7)
            for (int k = 0; k < 3; k++)
                far += abs(int((qmiPixel(back, x, y) >> (8 * k)) & 255) - int((smooth(x, y) >> (8 * k)) & 255)) > 6;
    EXPECT_EQ(far, 0);
}
