// The smaller pictures of the package: the error notice, the logo's label, the sheet's paper
// back, the demo cube's two skins, the preview pane's still, and the stand-in desktop used to
// judge the content (see pictures.h).
#include "pictures.h"

#include <algorithm>

namespace {

// A leaf: a pointed oval along its own x axis from the stalk at (0, 0), with a midrib.
void localLeaf(cairo_t* cr, double x, double y, double length, double angle, double r, double g, double b,
               double a) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    double w = length * 0.36;
    cairo_move_to(cr, 0, 0);
    cairo_curve_to(cr, length * 0.25, -w, length * 0.7, -w * 0.8, length, 0);
    cairo_curve_to(cr, length * 0.7, w * 0.8, length * 0.25, w, 0, 0);
    cairo_pattern_t* pat = cairo_pattern_create_linear(0, -w, 0, w);
    cairo_pattern_add_color_stop_rgba(pat, 0, r * 1.25, g * 1.15, b * 1.2, a);
    cairo_pattern_add_color_stop_rgba(pat, 1, r * 0.75, g * 0.8, b * 0.8, a);
    cairo_set_source(cr, pat);
    cairo_fill(cr);
    cairo_pattern_destroy(pat);
    cairo_set_line_width(cr, std::max(0.6, length * 0.025));
    qmcRgba(cr, 1, 1, 0.85, 0.45 * a);
    cairo_move_to(cr, length * 0.05, 0);
    cairo_curve_to(cr, length * 0.4, -w * 0.08, length * 0.7, -w * 0.05, length * 0.92, 0);
    cairo_stroke(cr);
    cairo_restore(cr);
}

// A desktop-like picture: wallpaper, a top bar, two windows and a dock. Any size.
void localDesktop(cairo_t* cr, double w, double h) {
    cairo_pattern_t* bg = cairo_pattern_create_linear(0, 0, w, h);
    cairo_pattern_add_color_stop_rgb(bg, 0, 0.10, 0.20, 0.38);
    cairo_pattern_add_color_stop_rgb(bg, 0.6, 0.22, 0.30, 0.52);
    cairo_pattern_add_color_stop_rgb(bg, 1, 0.46, 0.36, 0.56);
    cairo_set_source(cr, bg);
    cairo_paint(cr);
    cairo_pattern_destroy(bg);
    // Wallpaper: broad soft waves.
    for (int i = 0; i < 5; i++) {
        double y0 = h * (0.35 + 0.12 * i);
        cairo_move_to(cr, 0, y0);
        cairo_curve_to(cr, w * 0.3, y0 - h * 0.15, w * 0.6, y0 + h * 0.12, w, y0 - h * 0.05);
        cairo_line_to(cr, w, h);
        cairo_line_to(cr, 0, h);
        cairo_close_path(cr);
        qmcRgba(cr, 0.55 + 0.08 * i, 0.65, 0.85, 0.07);
        cairo_fill(cr);
    }
    double u = h / 1080.0;
    // Top bar with a clock.
    qmcRgba(cr, 0.05, 0.06, 0.09, 0.85);
    cairo_rectangle(cr, 0, 0, w, 34 * u);
    cairo_fill(cr);
    qmcFont(cr, kQmcSansBold, 17 * u);
    qmcRgba(cr, 0.92, 0.93, 0.96, 1);
    qmcTextCentred(cr, "Tuesday 10:24", w / 2, 17 * u);
    qmcFont(cr, kQmcSans, 16 * u);
    cairo_move_to(cr, 18 * u, 23 * u);
    cairo_show_text(cr, "Files    Edit    View    Go    Help");
    // Two windows.
    struct Win {
        double x, y, ww, hh;
        const char* title;
        bool sheet;
    };
    const Win wins[] = {{0.08, 0.12, 0.46, 0.56, "Notes - garden plan.txt", false},
                        {0.42, 0.30, 0.50, 0.52, "Budget 2027", true}};
    for (const Win& wi : wins) {
        double x = wi.x * w, y = wi.y * h, ww = wi.ww * w, hh = wi.hh * h;
        qmcRgba(cr, 0, 0, 0, 0.35);
        qmcRoundedRect(cr, x + 8 * u, y + 12 * u, ww, hh, 10 * u);
        cairo_fill(cr);
        qmcRgba(cr, 0.97, 0.97, 0.98, 1);
        qmcRoundedRect(cr, x, y, ww, hh, 10 * u);
        cairo_fill(cr);
        qmcRgba(cr, 0.86, 0.88, 0.92, 1);
        cairo_rectangle(cr, x, y + 10 * u, ww, 34 * u);
        cairo_rectangle(cr, x + 10 * u, y, ww - 20 * u, 12 * u);
        cairo_fill(cr);
        const double dots[3][3] = {{0.93, 0.36, 0.33}, {0.96, 0.74, 0.25}, {0.36, 0.78, 0.38}};
        for (int i = 0; i < 3; i++) {
            qmcRgba(cr, dots[i][0], dots[i][1], dots[i][2], 1);
            cairo_arc(cr, x + (22 + 24 * i) * u, y + 22 * u, 7 * u, 0, 2 * kQmcPi);
            cairo_fill(cr);
        }
        qmcFont(cr, kQmcSansBold, 16 * u);
        qmcRgba(cr, 0.2, 0.22, 0.26, 1);
        qmcTextCentred(cr, wi.title, x + ww / 2, y + 23 * u);
        if (!wi.sheet) {
            const char* lines[] = {"Garden plan for spring",
                                   "",
                                   "- sow wild flowers along the south fence",
                                   "- cut the long grass only twice a year",
                                   "- leave the dandelions for the bees",
                                   "- plant two apple trees by the shed",
                                   "- a bench under the old oak",
                                   "",
                                   "Seeds to order: poppy, cornflower, clover,",
                                   "ox-eye daisy, buttercup, yarrow."};
            qmcFont(cr, kQmcSans, 20 * u);
            for (int i = 0; i < 10; i++) {
                qmcRgba(cr, 0.15, 0.16, 0.2, i == 0 ? 1 : 0.85);
                cairo_move_to(cr, x + 28 * u, y + (84 + 34 * i) * u);
                cairo_show_text(cr, lines[i]);
            }
        } else {
            qmcFont(cr, kQmcSans, 16 * u);
            for (int r = 0; r < 12; r++) {
                for (int c = 0; c < 6; c++) {
                    double cx = x + 12 * u + c * (ww - 24 * u) / 6, cy = y + 56 * u + r * 34 * u;
                    if (cy + 34 * u > y + hh - 8 * u) continue;
                    qmcRgba(cr, r == 0 ? 0.85 : 0.95, r == 0 ? 0.9 : 0.96, r == 0 ? 0.97 : 0.98, 1);
                    cairo_rectangle(cr, cx, cy, (ww - 24 * u) / 6 - 1, 33 * u);
                    cairo_fill(cr);
                    char cell[32];
                    static const char* const heads[6] = {"Item", "Jan", "Feb", "Mar", "Apr", "Total"};
                    if (r == 0)
                        snprintf(cell, sizeof(cell), "%s", heads[c]);
                    else if (c == 0)
                        snprintf(cell, sizeof(cell), "Line %d", r);
                    else
                        snprintf(cell, sizeof(cell), "%d.%02d", (r * 37 + c * 53) % 900 + 10, (r * c * 7) % 100);
                    qmcRgba(cr, 0.2, 0.22, 0.28, 1);
                    cairo_move_to(cr, cx + 8 * u, cy + 23 * u);
                    cairo_show_text(cr, cell);
                }
            }
        }
    }
    // A dock of rounded tiles.
    double dw = 9 * 70 * u, dx = (w - dw) / 2, dy = h - 86 * u;
    qmcRgba(cr, 0.9, 0.92, 0.98, 0.25);
    qmcRoundedRect(cr, dx, dy, dw, 74 * u, 18 * u);
    cairo_fill(cr);
    for (int i = 0; i < 9; i++) {
        double hue = i / 9.0;
        qmcRgba(cr, 0.5 + 0.4 * std::sin(hue * 6.28), 0.5 + 0.4 * std::sin(hue * 6.28 + 2.1),
                0.5 + 0.4 * std::sin(hue * 6.28 + 4.2), 1);
        qmcRoundedRect(cr, dx + (10 + 70 * i) * u, dy + 9 * u, 56 * u, 56 * u, 13 * u);
        cairo_fill(cr);
    }
}

}  // namespace

void qmcPaintSampleDesktop(cairo_t* cr, int width, int height) { localDesktop(cr, width, height); }

void qmcPaintErrorNotice(cairo_t* cr, int width, int height) {
    double w = width, h = height;
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    qmcRgba(cr, 0.08, 0.10, 0.12, 0.90);
    qmcRoundedRect(cr, 1, 1, w - 2, h - 2, 12);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.5);
    qmcRgba(cr, 0.95, 0.78, 0.30, 0.9);
    cairo_stroke(cr);
    // A warning sign: an amber disc with an exclamation mark.
    double cx = 46, cy = h / 2;
    qmcRgba(cr, 0.98, 0.74, 0.18, 1);
    cairo_arc(cr, cx, cy, 24, 0, 2 * kQmcPi);
    cairo_fill(cr);
    qmcFont(cr, kQmcSansBold, 34);
    qmcRgba(cr, 0.1, 0.1, 0.1, 1);
    qmcTextCentred(cr, "!", cx, cy);
    qmcFont(cr, kQmcSansBold, 20);
    qmcRgba(cr, 1, 1, 1, 1);
    cairo_move_to(cr, 88, h / 2 - 10);
    cairo_show_text(cr, "This graphics device lacks multitexturing.");
    qmcFont(cr, kQmcSans, 15);
    qmcRgba(cr, 0.85, 0.88, 0.90, 1);
    cairo_move_to(cr, 88, h / 2 + 20);
    const char* detail = "QuietMeadows needs it to draw its scene; a newer graphics driver may help.";
    cairo_text_extents_t ext;
    cairo_text_extents(cr, detail, &ext);
    if (ext.x_advance > w - 104) qmcFont(cr, kQmcSans, 15 * (w - 104) / ext.x_advance);
    cairo_show_text(cr, detail);
}

void qmcPaintLabel(cairo_t* cr, int width, int height) {
    double w = width, h = height;
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    qmcFont(cr, kQmcSerifItalic, h * 0.50);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, "QuietMeadows", &ext);
    double scale = std::min(1.0, (w * 0.92) / ext.width);
    qmcFont(cr, kQmcSerifItalic, h * 0.50 * scale);
    // A dark halo keeps the light letters readable over the light meadow.
    for (int i = 0; i < 8; i++) {
        double a = 2 * kQmcPi * i / 8;
        qmcRgba(cr, 0.05, 0.12, 0.05, 0.20);
        qmcTextCentred(cr, "QuietMeadows", w / 2 + std::cos(a) * 3, h / 2 + std::sin(a) * 3);
    }
    qmcRgba(cr, 1, 1, 0.96, 1);
    qmcTextCentred(cr, "QuietMeadows", w / 2, h / 2);
}

void qmcPaintPaper(cairo_t* cr, int width, int height) {
    double w = width, h = height;
    QMCRandom rnd(0x5061706572ull);
    cairo_pattern_t* pat = cairo_pattern_create_radial(w / 2, h / 2, 0, w / 2, h / 2, w * 0.7);
    cairo_pattern_add_color_stop_rgb(pat, 0, 1.0, 0.97, 0.88);
    cairo_pattern_add_color_stop_rgb(pat, 1, 0.95, 0.90, 0.78);
    cairo_set_source(cr, pat);
    cairo_paint(cr);
    cairo_pattern_destroy(pat);
    // Fibres.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < 2600; i++) {
        double x = rnd.Range(0, w), y = rnd.Range(0, h), a = rnd.Range(0, kQmcPi), l = rnd.Range(2, 9);
        cairo_set_line_width(cr, rnd.Range(0.4, 1.0));
        double t = rnd.Uniform() < 0.5 ? 0.55 : 1.0;
        qmcRgba(cr, t * 0.75, t * 0.70, t * 0.58, 0.10);
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x + std::cos(a) * l, y + std::sin(a) * l);
        cairo_stroke(cr);
    }
    // A faint printed mark in the middle: a seed and the name. The sheet shows this 2:1 picture on
    // a 16:9 page, so the mark is drawn wider to look round there.
    cairo_save(cr);
    cairo_translate(cr, w / 2, h / 2);
    cairo_scale(cr, (w / h) / kQmcAspect, 1.0);
    qmcDandelionSeed(cr, 0, h * 0.10, h * 0.36, 0.15, 0.55, 0.4);
    cairo_restore(cr);
    cairo_save(cr);
    cairo_translate(cr, w / 2, h * 0.74);
    cairo_scale(cr, (w / h) / kQmcAspect, 1.0);
    qmcFont(cr, kQmcSerifItalic, h * 0.07);
    qmcRgba(cr, 0.45, 0.52, 0.38, 0.30);
    qmcTextCentred(cr, "QuietMeadows", 0, 0);
    cairo_restore(cr);
}

void qmcPaintCubeInner(cairo_t* cr, int size) {
    double s = size, c = s / 2, r = s / 2;
    // Outside the disc (reflections from behind) the sphere map is never looked up by the faces
    // that face the viewer; keep it a calm green.
    qmcRgba(cr, 0.70, 0.86, 0.60, 1);
    cairo_paint(cr);
    cairo_save(cr);
    cairo_arc(cr, c, c, r, 0, 2 * kQmcPi);
    cairo_clip(cr);
    // Sky over the upper part of the ball, meadow below a bent horizon.
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, s);
    cairo_pattern_add_color_stop_rgb(sky, 0, 0.50, 0.78, 1.0);
    cairo_pattern_add_color_stop_rgb(sky, 0.5, 0.80, 0.93, 1.0);
    cairo_pattern_add_color_stop_rgb(sky, 0.56, 1.0, 1.0, 0.90);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);
    cairo_move_to(cr, 0, c + r * 0.10);
    cairo_curve_to(cr, s * 0.3, c + r * 0.02, s * 0.7, c + r * 0.02, s, c + r * 0.10);
    cairo_line_to(cr, s, s);
    cairo_line_to(cr, 0, s);
    cairo_close_path(cr);
    cairo_pattern_t* field = cairo_pattern_create_linear(0, c, 0, s);
    cairo_pattern_add_color_stop_rgb(field, 0, 0.85, 1.0, 0.50);
    cairo_pattern_add_color_stop_rgb(field, 1, 0.45, 0.90, 0.30);
    cairo_set_source(cr, field);
    cairo_fill(cr);
    cairo_pattern_destroy(field);
    QMCRandom rnd(0x43756265ull);
    for (int i = 0; i < 500; i++) {
        double d = rnd.Uniform();
        double x = rnd.Range(0, s), y = c + r * (0.08 + 0.9 * d * d);
        double k = rnd.Uniform() < 0.5 ? 1.0 : 0.0;
        qmcRgba(cr, 1, 1 - 0.1 * k, 0.9 - 0.6 * k, 0.8);
        cairo_arc(cr, x, y, 0.8 + 2.2 * d, 0, 2 * kQmcPi);
        cairo_fill(cr);
    }
    for (int i = 0; i < 4; i++)
        qmcGlow(cr, s * (0.2 + 0.2 * i), s * (0.18 + 0.07 * (i % 2)), s * 0.12, 1, 1, 1, 0.6);
    qmcGlow(cr, s * 0.3, s * 0.28, s * 0.22, 1, 1, 0.92, 0.9);
    // The ball's bright rim.
    cairo_pattern_t* rim = cairo_pattern_create_radial(c, c, r * 0.7, c, c, r);
    cairo_pattern_add_color_stop_rgba(rim, 0, 1, 1, 1, 0);
    cairo_pattern_add_color_stop_rgba(rim, 1, 1, 1, 1, 0.55);
    cairo_set_source(cr, rim);
    cairo_paint(cr);
    cairo_pattern_destroy(rim);
    cairo_restore(cr);
}

void qmcPaintCubeOuter(cairo_t* cr, int size) {
    double s = size, b = s * 0.085;
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    // The window: clear glass with a faint green edge and two soft streaks of reflected sky, so
    // the sphere-mapped inner skin shows through as the glass's depth.
    cairo_save(cr);
    qmcRoundedRect(cr, b, b, s - 2 * b, s - 2 * b, b * 1.1);
    cairo_clip(cr);
    cairo_pattern_t* edge = cairo_pattern_create_radial(s / 2, s / 2, s * 0.28, s / 2, s / 2, s * 0.62);
    cairo_pattern_add_color_stop_rgba(edge, 0, 0.85, 1.0, 0.85, 0.0);
    cairo_pattern_add_color_stop_rgba(edge, 1, 0.70, 0.92, 0.66, 0.45);
    cairo_set_source(cr, edge);
    cairo_paint(cr);
    cairo_pattern_destroy(edge);
    for (int k = 0; k < 2; k++) {
        double off = k == 0 ? 0.18 : 0.42, width = k == 0 ? 0.16 : 0.07;
        cairo_move_to(cr, s * off, 0);
        cairo_line_to(cr, s * (off + width), 0);
        cairo_line_to(cr, 0, s * (off + width) * 1.6);
        cairo_line_to(cr, 0, s * off * 1.6);
        cairo_close_path(cr);
        qmcRgba(cr, 1, 1, 1, k == 0 ? 0.22 : 0.16);
        cairo_fill(cr);
    }
    qmcDandelionSeed(cr, s * 0.56, s * 0.74, s * 0.36, -0.2, 0.55, 0.8);
    cairo_restore(cr);
    // A slim frame of pale wood around it, with a leafy sprig in each corner.
    cairo_rectangle(cr, 0, 0, s, s);
    qmcRoundedRect(cr, b, b, s - 2 * b, s - 2 * b, b * 1.1);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_pattern_t* wood = cairo_pattern_create_linear(0, 0, s, s);
    cairo_pattern_add_color_stop_rgba(wood, 0, 1.0, 0.95, 0.80, 1);
    cairo_pattern_add_color_stop_rgba(wood, 0.5, 0.93, 0.84, 0.62, 1);
    cairo_pattern_add_color_stop_rgba(wood, 1, 0.85, 0.74, 0.52, 1);
    cairo_set_source(cr, wood);
    cairo_fill(cr);
    cairo_pattern_destroy(wood);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_set_line_width(cr, s * 0.006);
    qmcRgba(cr, 0.62, 0.50, 0.30, 0.8);
    qmcRoundedRect(cr, b, b, s - 2 * b, s - 2 * b, b * 1.1);
    cairo_stroke(cr);
    qmcRgba(cr, 1, 1, 0.95, 0.8);
    cairo_rectangle(cr, s * 0.004, s * 0.004, s * 0.992, s * 0.992);
    cairo_stroke(cr);
    for (int k = 0; k < 4; k++) {
        cairo_save(cr);
        cairo_translate(cr, s / 2, s / 2);
        cairo_rotate(cr, k * kQmcPi / 2);
        cairo_translate(cr, -s / 2, -s / 2);
        localLeaf(cr, b * 0.45, b * 0.55, b * 2.0, 0.12, 0.30, 0.58, 0.22, 1.0);
        localLeaf(cr, b * 0.55, b * 0.45, b * 1.7, 1.45, 0.36, 0.64, 0.24, 1.0);
        localLeaf(cr, b * 0.6, b * 0.6, b * 1.2, 0.78, 0.55, 0.74, 0.26, 1.0);
        cairo_restore(cr);
    }
}

void qmcPaintPreview(cairo_t* cr, int width, int height) {
    double w = width, h = height;
    // The meadow, drawn as if on a 16:9 screen and cut to this shape.
    cairo_save(cr);
    double mw = h * kQmcAspect;
    cairo_translate(cr, (w - mw) / 2, 0);
    qmcPaintMeadow(cr, int(mw), height, 0x4d656164ull);
    cairo_restore(cr);
    // The desktop as a card floating over it, with a soft shadow and a turned corner.
    double cw = w * 0.64, ch = cw * 9 / 16, cx = w * 0.16, cy = h * 0.12;
    qmcRgba(cr, 0.05, 0.12, 0.05, 0.25);
    cairo_rectangle(cr, cx + 6, cy + 9, cw, ch);
    cairo_fill(cr);
    cairo_save(cr);
    cairo_move_to(cr, cx, cy);
    cairo_line_to(cr, cx + cw, cy);
    cairo_line_to(cr, cx + cw, cy + ch * 0.62);
    cairo_line_to(cr, cx + cw * 0.78, cy + ch);
    cairo_line_to(cr, cx, cy + ch);
    cairo_close_path(cr);
    cairo_clip(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, cw / 1920.0, ch / 1080.0);
    localDesktop(cr, 1920, 1080);
    cairo_restore(cr);
    // The turned corner shows the paper's back.
    cairo_move_to(cr, cx + cw, cy + ch * 0.62);
    cairo_line_to(cr, cx + cw * 0.80, cy + ch * 0.70);
    cairo_line_to(cr, cx + cw * 0.78, cy + ch);
    cairo_close_path(cr);
    cairo_pattern_t* back = cairo_pattern_create_linear(cx + cw, cy + ch * 0.62, cx + cw * 0.78, cy + ch);
    cairo_pattern_add_color_stop_rgb(back, 0, 0.98, 0.96, 0.90);
    cairo_pattern_add_color_stop_rgb(back, 1, 0.80, 0.77, 0.68);
    cairo_set_source(cr, back);
    cairo_fill(cr);
    cairo_pattern_destroy(back);
    // Seeds drifting off, and the name.
    qmcDandelionSeed(cr, w * 0.83, h * 0.30, h * 0.09, 0.3, 1.0, 0.2);
    qmcDandelionSeed(cr, w * 0.90, h * 0.18, h * 0.07, -0.2, 0.9, 1.1);
    qmcDandelionSeed(cr, w * 0.76, h * 0.15, h * 0.055, 0.5, 0.8, 2.0);
    qmcFont(cr, kQmcSerifItalic, h * 0.11);
    qmcRgba(cr, 0.05, 0.15, 0.05, 0.35);
    qmcTextCentred(cr, "QuietMeadows", w / 2 + 2, h * 0.86 + 2);
    qmcRgba(cr, 1, 1, 0.96, 1);
    qmcTextCentred(cr, "QuietMeadows", w / 2, h * 0.86);
}
