// The meadow: the picture that fades in over the photographed desktop and stays behind the sheet.
// A summer sky with a low sun and soft clouds, hazy hills and a tree line, and a field of grass
// and wild flowers drawn in perspective (small and dense near the horizon, tall in front), with
// a few dandelion clocks in the foreground. Painted bright: the scene lights it at about 0.73.
#include "pictures.h"

#include <algorithm>

namespace {

struct LocalScene {
    cairo_t* cr;
    double w, h;
    double horizon;  // y of the field's far edge
};

double localRidge(const double* ph, double x, double scale) {
    return std::sin(x * 2.1 * scale + ph[0]) * 0.50 + std::sin(x * 4.7 * scale + ph[1]) * 0.28 +
           std::sin(x * 11.3 * scale + ph[2]) * 0.14 + std::sin(x * 23.0 * scale + ph[3]) * 0.08;
}

void localSky(const LocalScene& s, double sunX, double sunY) {
    cairo_t* cr = s.cr;
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, s.horizon);
    cairo_pattern_add_color_stop_rgb(sky, 0.0, 0.44, 0.66, 0.90);
    cairo_pattern_add_color_stop_rgb(sky, 0.55, 0.66, 0.82, 0.96);
    cairo_pattern_add_color_stop_rgb(sky, 1.0, 0.99, 0.94, 0.82);
    cairo_set_source(cr, sky);
    cairo_rectangle(cr, 0, 0, s.w, s.horizon + 2);
    cairo_fill(cr);
    cairo_pattern_destroy(sky);
    // The sun's light spreads wide and warm.
    qmcGlow(cr, sunX, sunY, s.w * 0.55, 1.0, 0.93, 0.76, 0.45);
    qmcGlow(cr, sunX, sunY, s.w * 0.12, 1.0, 0.98, 0.90, 0.85);
    qmcGlow(cr, sunX, sunY, s.w * 0.025, 1.0, 1.0, 0.97, 1.0);
}

void localCloud(const LocalScene& s, QMCRandom* rnd, double cx, double cy, double size) {
    int puffs = 26 + rnd->Int(16);
    for (int i = 0; i < puffs; i++) {
        double dx = rnd->Range(-1, 1), dy = rnd->Range(-1, 1);
        double r = size * rnd->Range(0.18, 0.42) * (1.0 - 0.4 * std::fabs(dx));
        double x = cx + dx * size * 1.4, y = cy + dy * size * 0.25 - r * 0.3;
        // Lower puffs carry a little shade; upper ones catch the sun.
        double shade = 0.90 + 0.10 * (1 - (dy + 1) / 2);
        qmcGlow(s.cr, x, y + r * 0.25, r * 1.1, 0.80 * shade, 0.84 * shade, 0.92 * shade, 0.22);
        qmcGlow(s.cr, x, y, r, 1.0, 0.99, 0.97, 0.42);
    }
}

void localHills(const LocalScene& s, QMCRandom* rnd) {
    cairo_t* cr = s.cr;
    struct Layer {
        double base, amp, scale;
        double r, g, b;
    };
    const Layer layers[] = {
        {-0.075, 0.050, 0.8, 0.64, 0.74, 0.84},
        {-0.040, 0.040, 1.3, 0.53, 0.68, 0.68},
        {-0.015, 0.022, 2.0, 0.44, 0.61, 0.47},
    };
    for (const Layer& l : layers) {
        double ph[4];
        for (double& p : ph) p = rnd->Range(0, 2 * kQmcPi);
        cairo_move_to(cr, 0, s.horizon + 4);
        for (int i = 0; i <= 200; i++) {
            double x = s.w * i / 200.0;
            double y = s.horizon + (l.base - l.amp * localRidge(ph, x / s.w, l.scale)) * s.h;
            cairo_line_to(cr, x, y);
        }
        cairo_line_to(cr, s.w, s.horizon + 4);
        cairo_close_path(cr);
        qmcRgba(cr, l.r, l.g, l.b, 1);
        cairo_fill(cr);
    }
    // A tree line of rounded crowns along the field's edge.
    for (int i = 0; i < 220; i++) {
        double x = rnd->Range(-0.02, 1.02) * s.w;
        double band = 0.5 + 0.5 * std::sin(x / s.w * 9.0 + 1.3);
        if (rnd->Uniform() > 0.25 + 0.75 * band) continue;
        double r = s.h * rnd->Range(0.006, 0.016);
        double y = s.horizon - r * rnd->Range(0.2, 0.9);
        double g = rnd->Range(0.85, 1.1);
        qmcRgba(cr, 0.26 * g, 0.42 * g, 0.27 * g, 1);
        cairo_arc(cr, x, y, r, 0, 2 * kQmcPi);
        cairo_fill(cr);
        qmcRgba(cr, 0.45, 0.60, 0.36, 0.5);
        cairo_arc(cr, x - r * 0.25, y - r * 0.3, r * 0.5, 0, 2 * kQmcPi);
        cairo_fill(cr);
    }
    // Haze over the distance.
    cairo_pattern_t* haze = cairo_pattern_create_linear(0, s.horizon - s.h * 0.12, 0, s.horizon + s.h * 0.02);
    cairo_pattern_add_color_stop_rgba(haze, 0, 0.95, 0.93, 0.88, 0.0);
    cairo_pattern_add_color_stop_rgba(haze, 0.8, 0.96, 0.94, 0.86, 0.35);
    cairo_pattern_add_color_stop_rgba(haze, 1, 0.96, 0.94, 0.86, 0.0);
    cairo_set_source(cr, haze);
    cairo_rectangle(cr, 0, s.horizon - s.h * 0.12, s.w, s.h * 0.14);
    cairo_fill(cr);
    cairo_pattern_destroy(haze);
}

void localField(const LocalScene& s, QMCRandom* rnd) {
    cairo_t* cr = s.cr;
    cairo_pattern_t* g = cairo_pattern_create_linear(0, s.horizon, 0, s.h);
    cairo_pattern_add_color_stop_rgb(g, 0.0, 0.70, 0.78, 0.42);
    cairo_pattern_add_color_stop_rgb(g, 0.3, 0.52, 0.70, 0.28);
    cairo_pattern_add_color_stop_rgb(g, 1.0, 0.30, 0.54, 0.18);
    cairo_set_source(cr, g);
    cairo_rectangle(cr, 0, s.horizon - 1, s.w, s.h - s.horizon + 1);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    // Soft swells of light and shade across the field.
    for (int i = 0; i < 40; i++) {
        double d = rnd->Uniform();
        double y = s.horizon + (s.h - s.horizon) * d * d;
        double x = rnd->Range(0, s.w);
        double r = s.w * (0.04 + 0.25 * d);
        bool light = rnd->Uniform() < 0.55;
        cairo_save(cr);
        cairo_translate(cr, x, y);
        cairo_scale(cr, 1.0, 0.25 + 0.2 * d);
        if (light)
            qmcGlow(cr, 0, 0, r, 0.92, 0.92, 0.55, 0.22);
        else
            qmcGlow(cr, 0, 0, r, 0.16, 0.36, 0.14, 0.22);
        cairo_restore(cr);
    }
}

// Grass blades in perspective: depth d is 0 at the horizon and 1 at the bottom edge.
void localGrass(const LocalScene& s, QMCRandom* rnd, int count, double minD, double maxD, double lengthScale,
                double alpha) {
    cairo_t* cr = s.cr;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < count; i++) {
        double d = minD + (maxD - minD) * std::sqrt(rnd->Uniform());
        double y = s.horizon + (s.h - s.horizon) * d * d + 2;
        double x = rnd->Range(-0.02, 1.02) * s.w;
        double len = s.h * lengthScale * (0.004 + 0.10 * d * d) * rnd->Range(0.6, 1.3);
        double lean = rnd->Range(-0.45, 0.45) + 0.15;
        double tone = rnd->Uniform();
        double r = qmcLerp(0.26, 0.72, tone) * rnd->Range(0.85, 1.05);
        double gr = qmcLerp(0.50, 0.82, tone) * rnd->Range(0.9, 1.05);
        double b = qmcLerp(0.14, 0.32, tone);
        cairo_set_line_width(cr, std::max(0.6, s.h * (0.0012 + 0.004 * d)));
        qmcRgba(cr, r, gr, b, alpha * rnd->Range(0.55, 0.95));
        cairo_move_to(cr, x, y);
        cairo_curve_to(cr, x + lean * len * 0.1, y - len * 0.5, x + lean * len * 0.5, y - len * 0.8,
                       x + lean * len, y - len);
        cairo_stroke(cr);
    }
}

void localFlower(cairo_t* cr, QMCRandom* rnd, double x, double y, double size, int kind) {
    if (size < 2.2) {
        static const double dots[5][3] = {{1, 1, 0.96}, {1, 0.88, 0.25}, {0.78, 0.62, 0.92}, {0.95, 0.30, 0.22},
                                          {0.45, 0.60, 0.98}};
        qmcRgba(cr, dots[kind][0], dots[kind][1], dots[kind][2], 0.9);
        cairo_arc(cr, x, y, std::max(0.7, size * 0.6), 0, 2 * kQmcPi);
        cairo_fill(cr);
        return;
    }
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, 1.0, 0.72);  // seen a little from above
    switch (kind) {
        case 0: {  // daisy
            int petals = 12;
            for (int i = 0; i < petals; i++) {
                double a = 2 * kQmcPi * i / petals + rnd->Range(-0.1, 0.1);
                cairo_save(cr);
                cairo_rotate(cr, a);
                cairo_scale(cr, 1.0, 0.32);
                cairo_arc(cr, size * 0.55, 0, size * 0.45, 0, 2 * kQmcPi);
                cairo_restore(cr);
                qmcRgba(cr, 1, 1, 0.98, 0.95);
                cairo_fill(cr);
            }
            qmcRgba(cr, 1.0, 0.80, 0.15, 1);
            cairo_arc(cr, 0, 0, size * 0.28, 0, 2 * kQmcPi);
            cairo_fill(cr);
            break;
        }
        case 1:  // buttercup
            for (int i = 0; i < 5; i++) {
                double a = 2 * kQmcPi * i / 5;
                qmcRgba(cr, 1.0, 0.86, 0.12, 0.95);
                cairo_arc(cr, std::cos(a) * size * 0.35, std::sin(a) * size * 0.35, size * 0.38, 0, 2 * kQmcPi);
                cairo_fill(cr);
            }
            qmcRgba(cr, 1.0, 0.95, 0.55, 1);
            cairo_arc(cr, 0, 0, size * 0.18, 0, 2 * kQmcPi);
            cairo_fill(cr);
            break;
        case 2:  // clover / lilac tuft
            for (int i = 0; i < 9; i++) {
                qmcRgba(cr, 0.78 + rnd->Range(-0.05, 0.05), 0.55, 0.88, 0.85);
                cairo_arc(cr, rnd->Range(-0.4, 0.4) * size, rnd->Range(-0.5, 0.4) * size, size * 0.28, 0,
                          2 * kQmcPi);
                cairo_fill(cr);
            }
            break;
        case 3:  // poppy
            for (int i = 0; i < 4; i++) {
                double a = 2 * kQmcPi * i / 4 + 0.4;
                qmcRgba(cr, 0.92, 0.22 + 0.05 * i, 0.16, 0.92);
                cairo_arc(cr, std::cos(a) * size * 0.32, std::sin(a) * size * 0.32, size * 0.52, 0, 2 * kQmcPi);
                cairo_fill(cr);
            }
            qmcRgba(cr, 0.18, 0.12, 0.12, 1);
            cairo_arc(cr, 0, 0, size * 0.16, 0, 2 * kQmcPi);
            cairo_fill(cr);
            break;
        default:  // cornflower
            for (int i = 0; i < 8; i++) {
                double a = 2 * kQmcPi * i / 8;
                cairo_save(cr);
                cairo_rotate(cr, a);
                cairo_scale(cr, 1.0, 0.45);
                cairo_arc(cr, size * 0.5, 0, size * 0.38, 0, 2 * kQmcPi);
                cairo_restore(cr);
                qmcRgba(cr, 0.35, 0.52, 0.98, 0.92);
                cairo_fill(cr);
            }
            qmcRgba(cr, 0.25, 0.25, 0.65, 1);
            cairo_arc(cr, 0, 0, size * 0.15, 0, 2 * kQmcPi);
            cairo_fill(cr);
            break;
    }
    cairo_restore(cr);
}

void localFlowers(const LocalScene& s, QMCRandom* rnd, int count, double maxD) {
    // Flowers grow in drifts: each drift favours one kind.
    for (int i = 0; i < count; i++) {
        double d = maxD * std::sqrt(rnd->Uniform());
        double y = s.horizon + (s.h - s.horizon) * d * d + 3;
        double x = rnd->Range(0, 1) * s.w;
        double drift = std::sin(x / s.w * 7.0 + d * 5.0) * 0.5 + 0.5;
        int kind = rnd->Uniform() < 0.45 ? 0 : int(drift * 3.99 + rnd->Range(0, 1.2)) % 5;
        double size = s.h * (0.0015 + 0.022 * d * d) * rnd->Range(0.7, 1.3);
        if (d > 0.35) {
            // A stem under the nearer flowers.
            cairo_set_line_width(s.cr, std::max(0.6, size * 0.12));
            qmcRgba(s.cr, 0.30, 0.50, 0.20, 0.8);
            cairo_move_to(s.cr, x, y + size * 2.5);
            cairo_line_to(s.cr, x + rnd->Range(-0.3, 0.3) * size, y);
            cairo_stroke(s.cr);
        }
        localFlower(s.cr, rnd, x, y, size, kind);
    }
}

void localForeground(const LocalScene& s, QMCRandom* rnd) {
    cairo_t* cr = s.cr;
    // Dandelion clocks on tall stalks, left and right, softly lit from behind.
    struct Clock {
        double x, y, r;
    };
    const Clock clocks[] = {{0.075, 0.70, 0.050}, {0.145, 0.79, 0.034}, {0.915, 0.74, 0.042}, {0.55, 0.86, 0.022}};
    for (const Clock& c : clocks) {
        double x = c.x * s.w, y = c.y * s.h, r = c.r * s.h;
        cairo_set_line_width(cr, r * 0.07);
        qmcRgba(cr, 0.40, 0.55, 0.26, 0.95);
        cairo_move_to(cr, x + r * 0.3, s.h + 5);
        cairo_curve_to(cr, x + r * 0.2, y + (s.h - y) * 0.5, x - r * 0.1, y + r * 1.2, x, y + r * 0.2);
        cairo_stroke(cr);
        qmcDandelionClock(cr, rnd, x, y, r, 1.0);
    }
    // Tall blades along the bottom edge, some out of focus.
    localGrass(s, rnd, 420, 0.93, 1.0, 2.2, 0.85);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < 60; i++) {
        double x = rnd->Range(0, s.w), len = s.h * rnd->Range(0.06, 0.16);
        cairo_set_line_width(cr, s.h * rnd->Range(0.008, 0.016));
        qmcRgba(cr, 0.26, 0.46, 0.16, 0.35);
        double lean = rnd->Range(-0.5, 0.5);
        cairo_move_to(cr, x, s.h + 4);
        cairo_curve_to(cr, x, s.h - len * 0.5, x + lean * len * 0.4, s.h - len * 0.8, x + lean * len, s.h - len);
        cairo_stroke(cr);
    }
}

void localLight(const LocalScene& s, double sunX, double sunY) {
    cairo_t* cr = s.cr;
    // Warm light from the sun's side over everything, and a faint lift in the shadows.
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SCREEN);
    qmcGlow(cr, sunX, sunY, s.w * 0.9, 1.0, 0.90, 0.65, 0.22);
    cairo_restore(cr);
}

}  // namespace

void qmcPaintMeadow(cairo_t* cr, int width, int height, uint64_t seed) {
    QMCRandom rnd(seed);
    LocalScene s{cr, double(width), double(height), height * 0.50};
    double sunX = width * 0.76, sunY = height * 0.17;
    localSky(s, sunX, sunY);
    const double clouds[][3] = {{0.16, 0.14, 0.09}, {0.42, 0.08, 0.06}, {0.58, 0.27, 0.07}, {0.92, 0.33, 0.05},
                                {0.30, 0.33, 0.045}};
    for (const auto& c : clouds) localCloud(s, &rnd, c[0] * width, c[1] * height, c[2] * width);
    localHills(s, &rnd);
    localField(s, &rnd);
    double scale = double(width) * height / (1600.0 * 900.0);
    localGrass(s, &rnd, int(16000 * scale), 0.0, 0.45, 1.0, 0.7);
    localFlowers(s, &rnd, int(1400 * scale), 0.93);
    localGrass(s, &rnd, int(9000 * scale), 0.45, 0.95, 1.0, 0.8);
    localFlowers(s, &rnd, int(140 * scale), 0.97);
    localForeground(s, &rnd);
    localLight(s, sunX, sunY);
}
