// Contact sheets: pictures shrunk with a box filter, pasted into a grid with their labels drawn by
// the engine's bitmap font, and several monitors' frames composed into their layout.
#include "saver/contact_sheet.h"

#include <cstdint>
#include <cstdio>

namespace {

const int kGap = 8;  // between and around the sheet's pictures
const int kLabelPixels = 16;
const float kGround[4] = {0.12f, 0.12f, 0.12f, 1.0f};

}  // namespace

void qmShrinkPicture(const FXCanvas& src, int tw, FXCanvas* dst) {
    int w = src.GetWidth(), h = src.GetHeight();
    if (tw < 1) tw = 1;
    int th = w > 0 ? int(int64_t(h) * tw / w) : 1;
    if (th < 1) th = 1;
    if (dst->pixmap.Realloc(tw, th) <= 0 || w <= 0 || h <= 0) return;
    FXCanvas& s = const_cast<FXCanvas&>(src);
    for (int y = 0; y < th; y++) {
        int y0 = int(int64_t(y) * h / th), y1 = int(int64_t(y + 1) * h / th);
        if (y1 <= y0) y1 = y0 + 1;
        for (int x = 0; x < tw; x++) {
            int x0 = int(int64_t(x) * w / tw), x1 = int(int64_t(x + 1) * w / tw);
            if (x1 <= x0) x1 = x0 + 1;
            unsigned sum[3] = {0, 0, 0}, n = 0;
            for (int yy = y0; yy < y1; yy++)
                for (int xx = x0; xx < x1; xx++, n++) {
                    const unsigned char* p = s.pixmap.PixelBytes(xx, yy);
                    sum[0] += p[0], sum[1] += p[1], sum[2] += p[2];
                }
            unsigned char* d = dst->pixmap.PixelBytes(x, y);
            d[0] = static_cast<unsigned char>(sum[0] / n);
            d[1] = static_cast<unsigned char>(sum[1] / n);
            d[2] = static_cast<unsigned char>(sum[2] / n);
            d[3] = 255;
        }
    }
}

void qmPastePicture(const FXCanvas& src, FXCanvas* dst, int dx, int dy, bool blend) {
    FXCanvas& s = const_cast<FXCanvas&>(src);
    for (int y = 0; y < src.GetHeight(); y++) {
        if (dy + y < 0 || dy + y >= dst->GetHeight()) continue;
        for (int x = 0; x < src.GetWidth(); x++) {
            if (dx + x < 0 || dx + x >= dst->GetWidth()) continue;
            const unsigned char* p = s.pixmap.PixelBytes(x, y);
            unsigned char* d = dst->pixmap.PixelBytes(dx + x, dy + y);
            int a = blend ? p[3] : 255;
            for (int c = 0; c < 3; c++) d[c] = static_cast<unsigned char>((p[c] * a + d[c] * (255 - a)) / 255);
            d[3] = 255;
        }
    }
}

bool qmWriteContactSheet(const std::vector<QmSheetCell>& cells, int columns, const std::string& path) {
    int tw = 0, th = 0, count = 0;
    for (size_t k = 0; k < cells.size(); k++)
        if (const FXCanvas* c = cells[k].picture) {
            tw = c->GetWidth() > tw ? c->GetWidth() : tw;
            th = c->GetHeight() > th ? c->GetHeight() : th;
            count = int(k) + 1;
        }
    if (count == 0 || columns < 1) return false;
    int cols = count < columns ? count : columns;
    int rows = (count + cols - 1) / cols;
    int cellW = tw + kGap, cellH = th + kLabelPixels + kGap + 4;
    FXCanvas sheet;
    if (sheet.pixmap.Realloc(cols * cellW + kGap, rows * cellH + kGap) <= 0) return false;
    sheet.Clear(kGround);
    FXFontGDI font;
    font.pixelHeight = kLabelPixels;
    const float ink[4] = {0.9f, 0.9f, 0.9f, 1.0f};
    for (int k = 0; k < count; k++) {
        const QmSheetCell& cell = cells[size_t(k)];
        if (!cell.picture) continue;
        int x = kGap + (k % cols) * cellW, y = kGap + (k / cols) * cellH;
        qmPastePicture(*cell.picture, &sheet, x, y, false);
        FXCanvas text;
        if (!cell.label.empty() && text.CreateFromText(cell.label.c_str(), &font, ink))
            qmPastePicture(text, &sheet, x, y + th + 2, true);
    }
    sheet.opaque = true;
    return sheet.SaveToPict(path.c_str());
}

bool qmComposeLayout(const std::vector<const FXCanvas*>& frames, const std::vector<QmRect>& monitors, int width,
                     FXCanvas* out) {
    if (monitors.empty() || frames.size() != monitors.size() || width < 1) return false;
    int left = monitors[0].x, top = monitors[0].y, right = left, bottom = top;
    for (const QmRect& m : monitors) {
        left = m.x < left ? m.x : left;
        top = m.y < top ? m.y : top;
        right = m.x + m.width > right ? m.x + m.width : right;
        bottom = m.y + m.height > bottom ? m.y + m.height : bottom;
    }
    const double scale = double(width) / double(right - left);
    int height = int((bottom - top) * scale + 0.5);
    if (out->pixmap.Realloc(width, height < 1 ? 1 : height) <= 0) return false;
    out->Clear(kGround);
    for (size_t i = 0; i < monitors.size(); i++) {
        if (!frames[i]) continue;
        const QmRect& m = monitors[i];
        FXCanvas small;
        qmShrinkPicture(*frames[i], int(m.width * scale + 0.5), &small);
        qmPastePicture(small, out, int((m.x - left) * scale + 0.5), int((m.y - top) * scale + 0.5), false);
    }
    out->opaque = true;
    return true;
}
