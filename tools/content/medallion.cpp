// The logo medallion: a gold-rimmed coin with green enamel faces. The front carries the name
// around a small meadow under the sun; the back a dandelion seed in a wreath of leaves. The
// model is a bevelled disc: front face, bevel ring, edge band, bevel ring, back face.
#include "medallion.h"

#include <algorithm>

#include "pictures.h"

namespace {

constexpr int kSegments = 96;
constexpr double kRadius = 0.9;
constexpr double kHalfThickness = 0.07;
constexpr double kFlat = 0.86;  // the flat face ends here (fraction of the radius), then the bevel

// Texture of a point of a face: the front face uses the left half of the picture, the back face
// the right half, mirrored so that it reads the right way round once the coin has turned.
void localFaceUv(double x, double y, bool back, double* u, double* v) {
    *u = back ? 0.75 - 0.25 * x / kRadius : 0.25 + 0.25 * x / kRadius;
    *v = 0.5 - 0.5 * y / kRadius;
}

void localFace(QMCMeshPart* m, bool back) {
    int base = int(m->vertices.size());
    double side = back ? 1 : -1;
    const double rings[] = {0.0, 0.3, 0.6, kFlat, 0.94, 1.0};
    const int ringCount = 6;
    for (int r = 0; r < ringCount; r++) {
        double rr = rings[r] * kRadius;
        int n = r == 0 ? 1 : kSegments;
        for (int i = 0; i < n; i++) {
            double a = 2 * kQmcPi * i / kSegments;
            QMCVertex v;
            v.pos = QMCVec3(std::cos(a) * rr, std::sin(a) * rr, side * kHalfThickness);
            if (rings[r] > kFlat) {
                // The bevel falls away towards the edge band.
                double t = (rings[r] - kFlat) / (1 - kFlat);
                v.pos.z = side * kHalfThickness * (1 - 0.45 * t * t);
                double tilt = 0.25 + 0.5 * t;
                v.normal = QMCVec3(std::cos(a) * std::sin(tilt), std::sin(a) * std::sin(tilt), side * std::cos(tilt));
            } else {
                v.normal = QMCVec3(0, 0, side);
            }
            localFaceUv(v.pos.x, v.pos.y, back, &v.u, &v.v);
            m->vertices.push_back(v);
        }
    }
    auto ring = [&](int r, int i) { return r == 0 ? base : base + 1 + (r - 1) * kSegments + (i % kSegments); };
    for (int r = 0; r < ringCount - 1; r++) {
        for (int i = 0; i < kSegments; i++) {
            int a = ring(r, i), b = ring(r, i + 1), c = ring(r + 1, i), d = ring(r + 1, i + 1);
            // Counter-clockwise as seen from the face's own side.
            if (r == 0) {
                if (!back)
                    m->indices.insert(m->indices.end(), {a, c, d});
                else
                    m->indices.insert(m->indices.end(), {a, d, c});
                continue;
            }
            if (!back)
                m->indices.insert(m->indices.end(), {a, c, d, a, d, b});
            else
                m->indices.insert(m->indices.end(), {a, d, c, a, b, d});
        }
    }
}

void localEdge(QMCMeshPart* m) {
    int base = int(m->vertices.size());
    double zEdge = kHalfThickness * 0.55;
    for (int i = 0; i <= kSegments; i++) {
        double a = 2 * kQmcPi * i / kSegments;
        for (int k = 0; k < 2; k++) {
            QMCVertex v;
            v.pos = QMCVec3(std::cos(a) * kRadius, std::sin(a) * kRadius, k == 0 ? -zEdge : zEdge);
            v.normal = QMCVec3(std::cos(a), std::sin(a), 0);
            // The band shows the rim's gold, with ridges along it.
            v.u = 0.25 + 0.25 * 0.97 * std::cos(a);
            v.v = 0.5 - 0.5 * 0.97 * std::sin(a) + (k == 0 ? 0 : 0.004);
            m->vertices.push_back(v);
        }
    }
    for (int i = 0; i < kSegments; i++) {
        int a = base + 2 * i, b = a + 1, c = a + 2, d = a + 3;
        m->indices.insert(m->indices.end(), {a, c, b, b, c, d});
    }
}

void localRim(cairo_t* cr, double cx, double cy, double r) {
    cairo_pattern_t* gold = cairo_pattern_create_linear(cx - r, cy - r, cx + r, cy + r);
    cairo_pattern_add_color_stop_rgb(gold, 0, 1.0, 0.93, 0.62);
    cairo_pattern_add_color_stop_rgb(gold, 0.45, 0.86, 0.66, 0.26);
    cairo_pattern_add_color_stop_rgb(gold, 0.7, 0.98, 0.84, 0.46);
    cairo_pattern_add_color_stop_rgb(gold, 1, 0.62, 0.44, 0.16);
    cairo_set_source(cr, gold);
    cairo_arc(cr, cx, cy, r, 0, 2 * kQmcPi);
    cairo_fill(cr);
    cairo_pattern_destroy(gold);
    // Milled ridges on the rim.
    cairo_set_line_width(cr, r * 0.006);
    for (int i = 0; i < 180; i++) {
        double a = 2 * kQmcPi * i / 180;
        qmcRgba(cr, 0.45, 0.32, 0.10, 0.35);
        cairo_move_to(cr, cx + std::cos(a) * r * 0.93, cy + std::sin(a) * r * 0.93);
        cairo_line_to(cr, cx + std::cos(a) * r, cy + std::sin(a) * r);
        cairo_stroke(cr);
    }
}

void localEnamel(cairo_t* cr, double cx, double cy, double r) {
    cairo_pattern_t* g = cairo_pattern_create_radial(cx - r * 0.3, cy - r * 0.35, r * 0.1, cx, cy, r);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.38, 0.66, 0.40);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.10, 0.34, 0.20);
    cairo_set_source(cr, g);
    cairo_arc(cr, cx, cy, r, 0, 2 * kQmcPi);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_set_line_width(cr, r * 0.02);
    qmcRgba(cr, 1.0, 0.88, 0.52, 1);
    cairo_arc(cr, cx, cy, r, 0, 2 * kQmcPi);
    cairo_stroke(cr);
}

// Text along a circle's upper arc, centred on the top.
void localArcText(cairo_t* cr, const char* text, double cx, double cy, double r) {
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text, &ext);
    double total = ext.x_advance / r;  // radians the text covers
    double a = -kQmcPi / 2 - total / 2;
    for (const char* p = text; *p; p++) {
        char ch[2] = {*p, 0};
        cairo_text_extents_t ce;
        cairo_text_extents(cr, ch, &ce);
        double mid = a + ce.x_advance / 2 / r;
        cairo_save(cr);
        cairo_translate(cr, cx + std::cos(mid) * r, cy + std::sin(mid) * r);
        cairo_rotate(cr, mid + kQmcPi / 2);
        cairo_move_to(cr, -ce.x_advance / 2, 0);
        cairo_show_text(cr, ch);
        cairo_restore(cr);
        a += ce.x_advance / r;
    }
}

void localFront(cairo_t* cr, double cx, double cy, double r) {
    localRim(cr, cx, cy, r);
    double fr = r * kFlat * 0.98;
    localEnamel(cr, cx, cy, fr);
    cairo_save(cr);
    cairo_arc(cr, cx, cy, fr * 0.62, 0, 2 * kQmcPi);
    cairo_clip(cr);
    // A small meadow under the sun inside an inner ring.
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, cy - fr * 0.6, 0, cy + fr * 0.1);
    cairo_pattern_add_color_stop_rgb(sky, 0, 0.55, 0.78, 0.95);
    cairo_pattern_add_color_stop_rgb(sky, 1, 0.98, 0.93, 0.74);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);
    qmcGlow(cr, cx + fr * 0.22, cy - fr * 0.18, fr * 0.35, 1, 0.95, 0.7, 0.9);
    qmcRgba(cr, 1.0, 0.85, 0.35, 1);
    cairo_arc(cr, cx + fr * 0.22, cy - fr * 0.18, fr * 0.09, 0, 2 * kQmcPi);
    cairo_fill(cr);
    const double hills[][3] = {{0.02, 0.55, 0.70}, {0.14, 0.42, 0.58}, {0.26, 0.30, 0.40}};
    for (const auto& hl : hills) {
        cairo_move_to(cr, cx - fr, cy + fr);
        cairo_line_to(cr, cx - fr, cy + fr * hl[0]);
        cairo_curve_to(cr, cx - fr * 0.4, cy + fr * (hl[0] - 0.18), cx + fr * 0.3, cy + fr * (hl[0] + 0.12), cx + fr,
                       cy + fr * (hl[0] - 0.08));
        cairo_line_to(cr, cx + fr, cy + fr);
        cairo_close_path(cr);
        qmcRgba(cr, 0.25 * hl[1] / 0.55, hl[1], 0.25 * hl[2], 1);
        cairo_fill(cr);
    }
    QMCRandom rnd(0x436f696eull);
    qmcDandelionClock(cr, &rnd, cx - fr * 0.26, cy + fr * 0.02, fr * 0.14, 1.0);
    cairo_set_line_width(cr, fr * 0.015);
    qmcRgba(cr, 0.25, 0.45, 0.18, 1);
    cairo_move_to(cr, cx - fr * 0.26, cy + fr * 0.16);
    cairo_line_to(cr, cx - fr * 0.24, cy + fr * 0.45);
    cairo_stroke(cr);
    cairo_restore(cr);
    cairo_set_line_width(cr, fr * 0.025);
    qmcRgba(cr, 1.0, 0.86, 0.48, 1);
    cairo_arc(cr, cx, cy, fr * 0.62, 0, 2 * kQmcPi);
    cairo_stroke(cr);
    // The name around the top, a line of leaves along the bottom.
    qmcFont(cr, kQmcSerifBold, fr * 0.19);
    qmcRgba(cr, 0.25, 0.18, 0.04, 0.6);
    localArcText(cr, "QuietMeadows", cx + fr * 0.01, cy + fr * 0.012, fr * 0.72);
    qmcRgba(cr, 1.0, 0.90, 0.58, 1);
    localArcText(cr, "QuietMeadows", cx, cy, fr * 0.72);
    for (int i = -3; i <= 3; i++) {
        double a = kQmcPi / 2 + i * 0.19;
        double x = cx + std::cos(a) * fr * 0.80, y = cy + std::sin(a) * fr * 0.80;
        cairo_save(cr);
        cairo_translate(cr, x, y);
        cairo_rotate(cr, a);
        cairo_scale(cr, 1.0, 0.45);
        qmcRgba(cr, 1.0, 0.88, 0.52, 1);
        cairo_arc(cr, 0, 0, fr * 0.06, 0, 2 * kQmcPi);
        cairo_fill(cr);
        cairo_restore(cr);
    }
}

void localBack(cairo_t* cr, double cx, double cy, double r) {
    localRim(cr, cx, cy, r);
    double fr = r * kFlat * 0.98;
    localEnamel(cr, cx, cy, fr);
    // A wreath of leaves around a large seed.
    for (int i = 0; i < 22; i++) {
        double a = 2 * kQmcPi * i / 22;
        double x = cx + std::cos(a) * fr * 0.78, y = cy + std::sin(a) * fr * 0.78;
        cairo_save(cr);
        cairo_translate(cr, x, y);
        cairo_rotate(cr, a + kQmcPi / 2 + 0.5);
        cairo_scale(cr, 1.0, 0.42);
        qmcRgba(cr, 1.0, 0.86, 0.48, 1);
        cairo_arc(cr, 0, 0, fr * 0.1, 0, 2 * kQmcPi);
        cairo_fill(cr);
        cairo_restore(cr);
    }
    cairo_save(cr);
    qmcDandelionSeed(cr, cx, cy + fr * 0.42, fr * 1.05, 0.0, 1.0, 0.0);
    cairo_restore(cr);
}

}  // namespace

void qmcPaintMedallion(cairo_t* cr, int width, int height) {
    double half = width / 2.0;
    qmcRgba(cr, 0.82, 0.64, 0.28, 1);
    cairo_paint(cr);
    localFront(cr, half / 2, height / 2.0, std::min(half, double(height)) / 2);
    localBack(cr, half + half / 2, height / 2.0, std::min(half, double(height)) / 2);
}

QMCModel qmcMedallionModel(const std::string& mtlFile, const std::string& material) {
    QMCModel m;
    m.mtlFile = mtlFile;
    m.parts.resize(1);
    QMCMeshPart& p = m.parts[0];
    p.material = material;
    localFace(&p, false);
    localFace(&p, true);
    localEdge(&p);
    return m;
}
