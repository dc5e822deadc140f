// Cairo helpers shared by the pictures and the sprite frames (see paint.h).
#include "paint.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/canvas.h"
#include "image/devil.h"

QMCCanvas::QMCCanvas(int width, int height, bool alpha) : w(width), h(height) {
    image = cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height);
    context = cairo_create(image);
}

QMCCanvas::~QMCCanvas() {
    cairo_destroy(context);
    cairo_surface_destroy(image);
}

bool QMCCanvas::SavePng(const std::string& path, std::string* err) const {
    // libpng directly rather than Cairo's writer: the fastest compression keeps the hundreds of
    // mostly empty movie frames quick to write, and the alpha is stored straight.
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        *err = path + ": cannot create the picture";
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool alpha = cairo_image_surface_get_format(image) != CAIRO_FORMAT_RGB24;
    std::vector<unsigned char> row(size_t(w) * 4);
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png))) ok = false;
    if (ok) {
        png_init_io(png, f);
        png_set_compression_level(png, 1);
        png_set_filter(png, 0, PNG_FILTER_NONE);
        png_set_IHDR(png, info, w, h, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        cairo_surface_flush(image);
        const unsigned char* data = cairo_image_surface_get_data(image);
        int stride = cairo_image_surface_get_stride(image);
        for (int y = 0; y < h; y++) {
            unsigned char* out = row.data();
            const unsigned char* in = data + size_t(y) * stride;
            for (int x = 0; x < w; x++, in += 4) {
                uint32_t p;
                memcpy(&p, in, 4);
                if (alpha && (p >> 24) == 0) {
                    memset(out, 0, 4);
                    out += 4;
                    continue;
                }
                unsigned char px[4];
                PixelRaw(x, y, px);
                for (int k = 0; k < (alpha ? 4 : 3); k++) *out++ = px[k];
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    ok = (fclose(f) == 0) && ok;
    if (!ok) *err = path + ": cannot write the picture";
    return ok;
}

void QMCCanvas::Pixel(int x, int y, unsigned char* rgba) const {
    cairo_surface_flush(image);
    PixelRaw(x, y, rgba);
}

void QMCCanvas::PixelRaw(int x, int y, unsigned char* rgba) const {
    const unsigned char* row = cairo_image_surface_get_data(image) + size_t(y) * cairo_image_surface_get_stride(image);
    uint32_t p;
    memcpy(&p, row + size_t(x) * 4, 4);
    bool opaque = cairo_image_surface_get_format(image) == CAIRO_FORMAT_RGB24;
    unsigned a = opaque ? 255 : p >> 24, r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
    if (a > 0 && a < 255) {
        r = (r * 255 + a / 2) / a;
        g = (g * 255 + a / 2) / a;
        b = (b * 255 + a / 2) / a;
    }
    rgba[0] = (unsigned char)(r > 255 ? 255 : r);
    rgba[1] = (unsigned char)(g > 255 ? 255 : g);
    rgba[2] = (unsigned char)(b > 255 ? 255 : b);
    rgba[3] = (unsigned char)a;
}

void QMCCanvas::Sample(double u, double v, double* rgb) const {
    int x = std::max(0, std::min(w - 1, int(u * w))), y = std::max(0, std::min(h - 1, int(v * h)));
    unsigned char px[4];
    PixelRaw(x, y, px);
    for (int i = 0; i < 3; i++) rgb[i] = px[i] / 255.0;
}

bool QMCCanvas::SaveJpeg(const std::string& path, int quality, std::string* err) const {
    if (!fxLoadDevil()) {
        *err = path + ": the image library (DevIL) is not available to write JPEG pictures";
        return false;
    }
    FXCanvas c;
    c.pixmap.power2 = 0;
    c.pixmap.Realloc(w, h);
    cairo_surface_flush(image);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            unsigned char px[4];
            PixelRaw(x, y, px);
            px[3] = 255;
            memcpy(c.pixmap.PixelBytes(x, y), px, 4);
        }
    }
    c.SetJpegQuality(quality);
    if (!c.SaveToPict(path.c_str())) {
        *err = path + ": cannot write the JPEG picture";
        return false;
    }
    return true;
}

void qmcFont(cairo_t* cr, QMCFont font, double size) {
    bool serif = font == kQmcSerif || font == kQmcSerifBold || font == kQmcSerifItalic;
    cairo_select_font_face(cr, serif ? "DejaVu Serif" : "DejaVu Sans",
                           font == kQmcSerifItalic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           font == kQmcSansBold || font == kQmcSerifBold ? CAIRO_FONT_WEIGHT_BOLD
                                                                         : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

void qmcTextCentred(cairo_t* cr, const char* text, double x, double y) {
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text, &ext);
    cairo_move_to(cr, x - ext.width / 2 - ext.x_bearing, y - ext.height / 2 - ext.y_bearing);
    cairo_show_text(cr, text);
}

void qmcRgba(cairo_t* cr, double r, double g, double b, double a) { cairo_set_source_rgba(cr, r, g, b, a); }

void qmcGlow(cairo_t* cr, double x, double y, double radius, double r, double g, double b, double a) {
    cairo_pattern_t* pat = cairo_pattern_create_radial(x, y, 0, x, y, radius);
    cairo_pattern_add_color_stop_rgba(pat, 0, r, g, b, a);
    cairo_pattern_add_color_stop_rgba(pat, 0.35, r, g, b, a * 0.55);
    cairo_pattern_add_color_stop_rgba(pat, 0.7, r, g, b, a * 0.15);
    cairo_pattern_add_color_stop_rgba(pat, 1, r, g, b, 0);
    cairo_set_source(cr, pat);
    cairo_arc(cr, x, y, radius, 0, 2 * kQmcPi);
    cairo_fill(cr);
    cairo_pattern_destroy(pat);
}

void qmcRoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kQmcPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kQmcPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kQmcPi / 2, kQmcPi);
    cairo_arc(cr, x + r, y + r, r, kQmcPi, 3 * kQmcPi / 2);
    cairo_close_path(cr);
}

void qmcDandelionClock(cairo_t* cr, QMCRandom* rnd, double x, double y, double radius, double alpha) {
    qmcGlow(cr, x, y, radius * 1.25, 1, 1, 0.97, 0.30 * alpha);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    int rays = int(radius * 3.2) + 24;
    for (int i = 0; i < rays; i++) {
        // Rays point in all directions of a sphere; seen from the side they shorten.
        double a = rnd->Range(0, 2 * kQmcPi);
        double len = radius * (0.55 + 0.45 * std::sqrt(rnd->Uniform()));
        double ex = x + std::cos(a) * len, ey = y + std::sin(a) * len;
        cairo_set_line_width(cr, std::max(0.5, radius * 0.018));
        qmcRgba(cr, 1, 1, 0.96, 0.55 * alpha);
        cairo_move_to(cr, x + std::cos(a) * radius * 0.12, y + std::sin(a) * radius * 0.12);
        cairo_line_to(cr, ex, ey);
        cairo_stroke(cr);
        // A tuft at the end of each ray.
        qmcGlow(cr, ex, ey, radius * 0.10, 1, 1, 1, 0.55 * alpha);
    }
    qmcGlow(cr, x, y, radius * 0.2, 0.72, 0.66, 0.45, 0.9 * alpha);
}

void qmcDandelionSeed(cairo_t* cr, double x, double y, double size, double angle, double alpha, double twist) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    // The seed body below, the long beak, the parachute of fine hairs on top.
    double beak = size * 0.62, top = -beak;
    qmcGlow(cr, 0, top - size * 0.16, size * 0.62, 1, 0.98, 0.90, 0.20 * alpha);
    cairo_set_line_width(cr, std::max(0.6, size * 0.018));
    qmcRgba(cr, 0.93, 0.90, 0.80, 0.85 * alpha);
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, 0, top);
    cairo_stroke(cr);
    cairo_save(cr);
    cairo_scale(cr, 0.35, 1.0);
    cairo_arc(cr, 0, size * 0.11, size * 0.13, 0, 2 * kQmcPi);
    cairo_restore(cr);
    qmcRgba(cr, 0.58, 0.50, 0.34, 0.95 * alpha);
    cairo_fill(cr);
    const int hairs = 28;
    for (int i = 0; i < hairs; i++) {
        // Hairs spread over a wide cone; the twist turns the cone so the silhouette breathes.
        double a = (double(i) / (hairs - 1) - 0.5) * 2.5;
        double depth = std::cos(a * 2.3 + twist);
        double len = size * (0.42 + 0.06 * depth);
        double ex = std::sin(a) * len, ey = top - std::cos(a) * len * 0.78;
        cairo_set_line_width(cr, std::max(0.45, size * 0.012));
        qmcRgba(cr, 1, 1, 0.97, (0.42 + 0.22 * depth) * alpha);
        cairo_move_to(cr, 0, top);
        cairo_curve_to(cr, ex * 0.3, top - len * 0.35, ex * 0.8, ey + len * 0.05, ex, ey);
        cairo_stroke(cr);
        qmcGlow(cr, ex, ey, size * 0.045, 1, 1, 1, 0.5 * alpha);
    }
    cairo_restore(cr);
}
