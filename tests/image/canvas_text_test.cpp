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
    font.pixelHeight = 16;  // 12 x 16 cells: each font dot is 2 x 2 pixels
    const float colour[4] = {1.0f, 0.5f, 0.0f, 1.0f};
    int w = 0, h = 0;
    ASSERT_TRUE(c.GetTextSize("Hi", &font, &w, &h));
    EXPECT_EQ(w, 24);
    EXPECT_EQ(h, 16);
    ASSERT_TRUE(c.CreateFromText("Hi", &font, colour));
    EXPECT_EQ(c.GetWidth(), 24);
    EXPECT_FALSE(c.opaque);
    EXPECT_EQ(qmiPixel(c, 0, 0), qmiRgba(255, 127, 0, 255));  // H's left stem
    EXPECT_EQ(localAlpha(c, 4, 2), 0u);                        // between the stems
    EXPECT_EQ(localAlpha(c, 4, 7), 255u);                      // the bar
    EXPECT_EQ(localAlpha(c, 10, 5), 0u);                       // the cell's blank column
    EXPECT_EQ(localAlpha(c, 16, 1), 255u);                     // i's dot
    EXPECT_EQ(localAlpha(c, 16, 2), 0u);
    int ink = 0;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 24; x++) ink += localAlpha(c, x, y) != 0;
    EXPECT_EQ(ink, 4 * (17 + 9));  // H has 17 dots, i has 9
    const float half[4] = {0.0f, 0.0f, 1.0f, 0.5f};
    ASSERT_TRUE(c.CreateFromText("Hi", &font, half));
    EXPECT_EQ(qmiPixel(c, 0, 0), qmiRgba(0, 0, 255, 127));
}

TEST(CanvasText, ScaledGlyphsHavePartialCoverage) {
    FXCanvas c;
    FXFontGDI font;
    font.pixelHeight = 12;  // 1.5 pixels per dot
    const float white[4] = {1, 1, 1, 1};
    ASSERT_TRUE(c.CreateFromText("|", &font, white));
    EXPECT_EQ(c.GetWidth(), 9);
    EXPECT_EQ(localAlpha(c, 3, 5), 255u);  // dot column 2 spans pixels 3.0 .. 4.5
    EXPECT_EQ(localAlpha(c, 4, 5), 128u);
    EXPECT_EQ(localAlpha(c, 2, 5), 0u);
    EXPECT_EQ(localAlpha(c, 4, 10), 64u);  // the last dot row ends at 10.5
}

TEST(CanvasText, WideUnknownAndEmptyText) {
    FXCanvas a, b;
    FXFontGDI font;
    const float colour[4] = {0.2f, 0.4f, 0.6f, 1.0f};
    auto same = [](const FXCanvas& x, const FXCanvas& y) {
        if (x.GetWidth() != y.GetWidth() || x.GetHeight() != y.GetHeight()) return false;
        for (int j = 0; j < x.GetHeight(); j++)
            for (int i = 0; i < x.GetWidth(); i++)
                if (qmiPixel(x, i, j) != qmiPixel(y, i, j)) return false;
        return true;
    };
    ASSERT_TRUE(a.CreateFromText("Az~", &font, colour));
    ASSERT_TRUE(b.CreateFromTextW(L"Az~", &font, colour));
    EXPECT_TRUE(same(a, b));
    ASSERT_TRUE(a.CreateFromTextW(L"\u00e9", &font, colour));  // outside the font: '?'
    ASSERT_TRUE(b.CreateFromText("?", &font, colour));
    EXPECT_TRUE(same(a, b));
    EXPECT_FALSE(a.CreateFromText("", &font, colour));  // no picture; the canvas is kept
    font.pixelHeight = 1 << 20;
    EXPECT_FALSE(a.CreateFromText("x", &font, colour));
    EXPECT_EQ(a.GetWidth(), 12);
}

TEST(Font, EveryGlyphIsWellFormedAndDistinct) {
    std::set<std::string> seen;
    for (unsigned ch = FX_FONT_FIRST; ch <= FX_FONT_LAST; ch++) {
        std::string all;
        for (int r = 0; r < FX_FONT_GLYPH_H; r++) {
            const char* row = fxFontGlyph(ch)[r];
            EXPECT_EQ(strlen(row), size_t(FX_FONT_GLYPH_W)) << char(ch) << " row " << r;
            EXPECT_EQ(strspn(row, "#."), strlen(row)) << char(ch);
            all += row;
        }
        EXPECT_EQ(all.find('#') == std::string::npos, ch == ' ') << char(ch);
        EXPECT_TRUE(seen.insert(all).second) << char(ch) << " repeats another glyph";
    }
    EXPECT_EQ(fxFontGlyph(0x7F), fxFontGlyph('?'));
}
