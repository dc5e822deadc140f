// The engine's built-in bitmap font: printable ASCII (32..126) as 5 x 7 glyphs drawn in a 6 x 8
// cell (one blank column on the right, one blank row at the bottom). Rows are strings of '#'
// (ink) and '.' (paper), top row first.
#pragma once

enum {
    FX_FONT_GLYPH_W = 5,
    FX_FONT_GLYPH_H = 7,
    FX_FONT_CELL_W = 6,
    FX_FONT_CELL_H = 8,
    FX_FONT_FIRST = 32,
    FX_FONT_LAST = 126,
};

// The seven rows of the glyph for code point ch; characters outside the font draw as '?'.
const char* const* fxFontGlyph(unsigned ch);
