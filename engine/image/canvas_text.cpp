// Text on a canvas without a display: one line drawn with the built-in 5 x 7 font (font5x7.h),
// its 6 x 8 cell scaled to the font's pixel height. Each canvas pixel gets the ink coverage of
// its square (exact area, so scaled glyphs have soft edges), and the coverage times the colour's
// alpha becomes the pixel's alpha over the colour's red, green and blue.
#include <cstring>
#include <cwchar>

#include "image/canvas.h"
#include "image/font5x7.h"

namespace {

const int kDefaultPixelHeight = 16;
const int kMaxPixelHeight = 1024;
const int kMaxTextWidth = 16384;

struct FXTextMetrics {
    int advance = 0;  // pixels per character
    int height = 0;
};

bool localMetrics(const FXFontGDI* font, FXTextMetrics* m) {
    int h = font ? font->pixelHeight : kDefaultPixelHeight;
    if (h <= 0) h = kDefaultPixelHeight;
    if (h > kMaxPixelHeight) return false;
    m->height = h;
    m->advance = (FX_FONT_CELL_W * h + FX_FONT_CELL_H / 2) / FX_FONT_CELL_H;
    if (m->advance < 1) m->advance = 1;
    return true;
}

// Length of a line of text in characters.
size_t localLength(const char* s) { return strlen(s); }
size_t localLength(const wchar_t* s) { return wcslen(s); }
unsigned localCode(char c) { return static_cast<unsigned char>(c); }
unsigned localCode(wchar_t c) { return static_cast<unsigned>(c); }

template <typename C>
bool localTextSize(const C* text, const FXFontGDI* font, int* w, int* h, FXTextMetrics* m) {
    if (!text || !localMetrics(font, m)) return false;
    size_t n = localLength(text);
    if (n > size_t(kMaxTextWidth)) return false;
    long width = long(n) * m->advance;
    if (width > kMaxTextWidth) return false;
    if (w) *w = int(width);
    if (h) *h = m->height;
    return true;
}

// Overlap of the pixel span [p, p + 1) with ink cell c of a glyph whose cells are `scale`
// pixels long, in pixels.
float localOverlap(int p, int c, float scale) {
    float lo = float(c) * scale, hi = float(c + 1) * scale;
    float a = lo > float(p) ? lo : float(p);
    float b = hi < float(p + 1) ? hi : float(p + 1);
    return b > a ? b - a : 0.0f;
}

// Ink coverage 0..255 of pixel (x, y) inside a glyph cell of advance x height pixels.
int localCoverage(const char* const* glyph, int x, int y, const FXTextMetrics& m) {
    float sx = float(m.advance) / FX_FONT_CELL_W;
    float sy = float(m.height) / FX_FONT_CELL_H;
    int c0 = int(float(x) / sx), c1 = int(float(x + 1) / sx);
    int r0 = int(float(y) / sy), r1 = int(float(y + 1) / sy);
    float area = 0.0f;
    for (int r = r0; r <= r1 && r < FX_FONT_GLYPH_H; r++) {
        float wy = localOverlap(y, r, sy);
        if (wy <= 0.0f) continue;
        const char* row = glyph[r];
        for (int c = c0; c <= c1 && c < FX_FONT_GLYPH_W && row[c]; c++)
            if (row[c] == '#') area += wy * localOverlap(x, c, sx);
    }
    int v = int(area * 255.0f + 0.5f);
    return v > 255 ? 255 : v;
}

template <typename C>
bool localRender(FXCanvas* canvas, const C* text, const FXFontGDI* font, const float* colour) {
    FXTextMetrics m;
    int w = 0, h = 0;
    if (!localTextSize(text, font, &w, &h, &m) || w == 0 || h == 0) return false;
    FXPixmap& pm = canvas->pixmap;
    if (pm.Realloc(w, h) <= 0) return false;
    pm.Clear(0);  // the padding stays transparent black
    unsigned rgb = fxColToInt1(colour);
    unsigned char red = rgb & 0xFF, green = (rgb >> 8) & 0xFF, blue = (rgb >> 16) & 0xFF;
    float alphaScale = colour[3];
    canvas->opaque = true;
    for (int i = 0; text[i]; i++) {
        const char* const* glyph = fxFontGlyph(localCode(text[i]));
        for (int y = 0; y < h; y++) {
            unsigned char* p = pm.PixelBytes(i * m.advance, y);
            for (int x = 0; x < m.advance; x++, p += 4) {
                float a = float(localCoverage(glyph, x, y, m)) * alphaScale;
                int alpha = !(a > 0.0f) ? 0 : a >= 255.0f ? 255 : int(a);
                if (alpha <= 254) canvas->opaque = false;
                p[0] = red;
                p[1] = green;
                p[2] = blue;
                p[3] = static_cast<unsigned char>(alpha);
            }
        }
    }
    return true;
}

}  // namespace

bool FXCanvas::CreateFromText(const char* text, FXFontGDI* font, const float* colour) {
    return localRender(this, text, font, colour);
}

bool FXCanvas::CreateFromTextW(const wchar_t* text, FXFontGDI* font, const float* colour) {
    return localRender(this, text, font, colour);
}

bool FXCanvas::GetTextSize(const char* text, FXFontGDI* font, int* w, int* h) {
    FXTextMetrics m;
    return localTextSize(text, font, w, h, &m);
}

bool FXCanvas::GetTextWSize(const wchar_t* text, FXFontGDI* font, int* w, int* h) {
    FXTextMetrics m;
    return localTextSize(text, font, w, h, &m);
}
