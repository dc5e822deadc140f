// Text drawn with the built-in font: extent, coverage, alpha and the font table itself.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "image/font5x7.h"
#include "image_test_util.h"

namespace {

unsigned localAlpha(const FXCanvas& c, int x, int y) { return qmiPixel(c, x, y) >> 24; }

}  // namespace

TEST(CanvasText, HiHasInkWhereTheGlyphsAre) {
    FXCanvas c;
    FXFontGDI font;
    font.pixelHeight = 16;  // cells of 12 x 16: each font dot is 2 x 2 pixels
    const float colour[4] = {1.0f, 0.5f, 0.0f, 1.0f};
    int w = 0, h = 0;
    ASSERT_TRUE(c.GetTextSize("Hi", &font, &w, &h));
    EXPECT_EQ(w, 24);
    EXPECT_EQ(h, 16);
    ASSERT_TRUE(c.CreateFromText("Hi", &font, colour));
    EXPECT_EQ(c.GetWidth(), 24);
    EXPECT_EQ(c.GetHeight(), 16);
    EXPECT_FALSE(c.opaque);
    // H: both stems over the seven glyph rows, the bar on row 3, nothing between the stems.
    EXPECT_EQ(qmiPixel(c, 0, 0), qmiRgba(255, 127, 0, 255));
    EXPECT_EQ(localAlpha(c, 9, 13), 255u);
    EXPECT_EQ(localAlpha(c, 4, 2), 0u);
    EXPECT_EQ(localAlpha(c, 4, 7), 255u);
    EXPECT_EQ(localAlpha(c, 0, 14), 0u);  // the blank bottom row of the cell
    EXPECT_EQ(localAlpha(c, 10, 5), 0u);  // the blank right column
    // i: its dot at glyph column 2, row 0; the gap under it on row 1.
    EXPECT_EQ(localAlpha(c, 12 + 4, 1), 255u);
    EXPECT_EQ(localAlpha(c, 12 + 4, 2), 0u);
    EXPECT_EQ(localAlpha(c, 12 + 0, 1), 0u);
    int ink = 0;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 24; x++) ink += localAlpha(c, x, y) != 0;
    EXPECT_EQ(ink, 4 * (17 + 9));  // H has 17 dots, i has 9

    // The colour's alpha scales the coverage.
    const float half[4] = {0.0f, 0.0f, 1.0f, 0.5f};
    ASSERT_TRUE(c.CreateFromText("Hi", &font, half));
    EXPECT_EQ(qmiPixel(c, 0, 0), qmiRgba(0, 0, 255, 127));
}

TEST(CanvasText, ScaledGlyphsHavePartialCoverage) {
    FXCanvas c;
    FXFontGDI font;
    font.pixelHeight = 12;  // 1.5 pixels per font dot
    const float white[4] = {1, 1, 1, 1};
    ASSERT_TRUE(c.CreateFromText("|", &font, white));
    EXPECT_EQ(c.GetWidth(), 9);
    // Dot column 2 covers pixels 3.0 .. 4.5: pixel 3 fully, pixel 4 half.
    EXPECT_EQ(localAlpha(c, 3, 5), 255u);
    EXPECT_EQ(localAlpha(c, 4, 5), 128u);
    EXPECT_EQ(localAlpha(c, 2, 5), 0u);
    // Row 6 of the glyph ends at 10.5: pixel row 10 is half covered.
    EXPECT_EQ(localAlpha(c, 3, 10), 128u);
    EXPECT_EQ(localAlpha(c, 4, 10), 64u);
}

TEST(CanvasText, WideAndUnknownCharactersAndEmptyText) {
    FXCanvas a, b, q;
    FXFontGDI font;
    const float colour[4] = {0.2f, 0.4f, 0.6f, 1.0f};
    ASSERT_TRUE(a.CreateFromText("Az~", &font, colour));
    ASSERT_TRUE(b.CreateFromTextW(L"Az~", &font, colour));
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    int differ = 0;
    for (int y = 0; y < a.GetHeight(); y++)
        for (int x = 0; x < a.GetWidth(); x++) differ += qmiPixel(a, x, y) != qmiPixel(b, x, y);
    EXPECT_EQ(differ, 0);
    // Characters outside the font draw as '?'.
    ASSERT_TRUE(a.CreateFromTextW(L"\u00e9", &font, colour));
    ASSERT_TRUE(q.CreateFromText("?", &font, colour));
    for (int y = 0; y < q.GetHeight(); y++)
        for (int x = 0; x < q.GetWidth(); x++) differ += qmiPixel(a, x, y) != qmiPixel(q, x, y);
    EXPECT_EQ(differ, 0);
    int w = -1, h = -1;
    EXPECT_TRUE(a.GetTextWSize(L"abc", &font, &w, &h));
    EXPECT_EQ(w, 36);
    EXPECT_EQ(h, 16);
    // Empty text gives no picture and leaves the canvas as it was.
    EXPECT_FALSE(a.CreateFromText("", &font, colour));
    EXPECT_FALSE(a.CreateFromText(nullptr, &font, colour));
    EXPECT_EQ(a.GetWidth(), 12);
    font.pixelHeight = 1 << 20;
    EXPECT_FALSE(a.CreateFromText("x", &font, colour));
    EXPECT_EQ(a.GetWidth(), 12);
}

TEST(Font, EveryGlyphIsWellFormedAndDistinct) {
    std::set<std::string> seen;
    for (unsigned ch = FX_FONT_FIRST; ch <= FX_FONT_LAST; ch++) {
        const char* const* g = fxFontGlyph(ch);
        std::string all;
        for (int r = 0; r < FX_FONT_GLYPH_H; r++) {
            ASSERT_NE(g[r], nullptr);
            EXPECT_EQ(strlen(g[r]), size_t(FX_FONT_GLYPH_W)) << char(ch) << " row " << r;
            EXPECT_EQ(strspn(g[r], "#."), strlen(g[r])) << char(ch);
            all += g[r];
        }
        EXPECT_EQ(all.find('#') == std::string::npos, ch == ' ') << char(ch);
        EXPECT_TRUE(seen.insert(all).second) << char(ch) << " repeats another glyph";
    }
    EXPECT_EQ(fxFontGlyph(0x7F), fxFontGlyph('?'));
    EXPECT_EQ(fxFontGlyph(31), fxFontGlyph('?'));
}
