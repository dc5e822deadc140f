// The flock of seeds and motes of light (see seeds.h).
#include "seeds.h"

#include <algorithm>

namespace {

constexpr int kSeeds = 6;
constexpr int kMotes = 5;

// Where one sprite is and how it looks, in physical screen units (see sheet.h).
struct LocalSprite {
    double x, y;
    double angle;  // seeds: lean of the stalk; motes: unused
    double twist;  // seeds: turn of the parachute; motes: brightness phase
    double size;
};

struct LocalFlock {
    LocalSprite seeds[kSeeds];
    LocalSprite motes[kMotes];
};

// The flock's resting arrangement at a pose: a loose cluster around the pose's centre, placed
// where the sheet leaves the meadow free.
LocalFlock localRest(QMCPoseId pose) {
    double cx = 0, cy = 0;
    uint64_t seed = 0;
    switch (pose) {
        case kQmcPoseP:
            cx = 1.32, cy = 0.42, seed = 11;
            break;
        case kQmcPoseQ:
            cx = -1.30, cy = 0.40, seed = 23;
            break;
        case kQmcPoseR:
            cx = -1.05, cy = -0.50, seed = 37;
            break;
        case kQmcPoseS:
            cx = 1.05, cy = 0.70, seed = 41;
            break;
        case kQmcPoseFlat:
            cx = 1.32, cy = 0.42, seed = 11;
            break;
    }
    QMCRandom rnd(0x466c6f636bull + seed);
    QMCRandom shape(0x5365656473ull);  // sizes belong to the sprite, not to the pose
    LocalFlock f;
    for (int i = 0; i < kSeeds; i++) {
        double a = 2 * kQmcPi * (i + rnd.Range(-0.3, 0.3)) / kSeeds, r = 0.10 + 0.16 * rnd.Uniform();
        f.seeds[i].x = cx + std::cos(a) * r * 1.2;
        f.seeds[i].y = cy + std::sin(a) * r;
        f.seeds[i].angle = rnd.Range(-0.5, 0.5);
        f.seeds[i].twist = rnd.Range(0, 2 * kQmcPi);
        f.seeds[i].size = shape.Range(0.13, 0.19);
    }
    for (int i = 0; i < kMotes; i++) {
        f.motes[i].x = cx + rnd.Range(-0.32, 0.32);
        f.motes[i].y = cy + rnd.Range(-0.25, 0.25);
        f.motes[i].angle = 0;
        f.motes[i].twist = rnd.Range(0, 2 * kQmcPi);
        f.motes[i].size = shape.Range(0.015, 0.04);
    }
    return f;
}

// The point the flock swings through on its way, near where the sheet moves most.
void localVia(const QMCClip& clip, double* x, double* y) {
    switch (clip.animEntry) {
        case 94:  // the page turn: up past the lifting corner
            *x = 1.45, *y = -0.05;
            break;
        case 203:  // the roll: along the left side
            *x = -1.50, *y = -0.02;
            break;
        default:  // the glide: over the top of the card
            *x = 0.10, *y = 0.80;
            break;
    }
}

LocalSprite localMove(const LocalSprite& a, const LocalSprite& b, double cxA, double cyA, double vx, double vy,
                      double cxB, double cyB, double u, double e, int index, bool seed) {
    // The flock's centre follows a curve from rest to rest through the via point; each sprite
    // keeps its place in the flock, loosened in the middle of the way by its own eddies.
    double w0 = (1 - e) * (1 - e), w1 = 2 * e * (1 - e), w2 = e * e;
    double cx = w0 * cxA + w1 * vx + w2 * cxB, cy = w0 * cyA + w1 * vy + w2 * cyB;
    double lin = 1 - e;
    double ox = (a.x - cxA) * lin + (b.x - cxB) * e, oy = (a.y - cyA) * lin + (b.y - cyB) * e;
    double env = std::sin(kQmcPi * u);
    QMCRandom rnd(0x45646479ull + index * 7919 + (seed ? 0 : 104729));
    double f1 = 1 + rnd.Int(2), f2 = 1 + rnd.Int(3), p1 = rnd.Range(0, 6.3), p2 = rnd.Range(0, 6.3);
    LocalSprite s;
    s.x = cx + ox * (1 + 0.6 * env) + env * 0.10 * std::sin(2 * kQmcPi * f1 * u + p1);
    s.y = cy + oy * (1 + 0.6 * env) + env * 0.07 * std::sin(2 * kQmcPi * f2 * u + p2);
    s.angle = qmcLerp(a.angle, b.angle, e) + env * 0.45 * std::sin(2 * kQmcPi * f2 * u + p1);
    s.twist = qmcLerp(a.twist, b.twist, e) + env * 1.6 * std::sin(kQmcPi * f1 * u + p2);
    s.size = a.size;
    return s;
}

LocalFlock localFlockAt(const QMCClip& clip, double u) {
    LocalFlock a = localRest(clip.from), b = localRest(clip.to);
    if (u <= 0) return a;
    if (u >= 1) return b;
    double cxA = 0, cyA = 0, cxB = 0, cyB = 0;
    for (int i = 0; i < kSeeds; i++) {
        cxA += a.seeds[i].x / kSeeds;
        cyA += a.seeds[i].y / kSeeds;
        cxB += b.seeds[i].x / kSeeds;
        cyB += b.seeds[i].y / kSeeds;
    }
    double vx, vy;
    localVia(clip, &vx, &vy);
    double e = qmcSmooth(u);
    LocalFlock f;
    for (int i = 0; i < kSeeds; i++)
        f.seeds[i] = localMove(a.seeds[i], b.seeds[i], cxA, cyA, vx, vy, cxB, cyB, u, e, i, true);
    for (int i = 0; i < kMotes; i++)
        f.motes[i] = localMove(a.motes[i], b.motes[i], cxA, cyA, vx, vy, cxB, cyB, u, e, i, false);
    return f;
}

// Prepares a frame for its JPEG colour picture. The movie keeps the box around the visible
// pixels and splits it into a colour and a mask picture; a colour picture of sharp white shapes
// on black would cost many bytes (and darken edges when the texture is filtered). So the colour
// is taken from the flock painted over white, which is smooth, and the whole box gets alpha at
// least 1/255, which the scene's alpha test drops: the mask alone carries the shapes.
void localMergeColour(QMCCanvas* canvas, const QMCCanvas& overWhite) {
    cairo_surface_t* s = canvas->surface();
    cairo_surface_flush(s);
    overWhite.Flush();
    unsigned char* data = cairo_image_surface_get_data(s);
    const unsigned char* colour = cairo_image_surface_get_data(overWhite.surface());
    int stride = cairo_image_surface_get_stride(s), cstride = cairo_image_surface_get_stride(overWhite.surface());
    int w = canvas->width(), h = canvas->height();
    int l = w, t = h, r = -1, b = -1;
    for (int y = 0; y < h; y++) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < w; x++) {
            if (row[x] >> 24) {
                l = std::min(l, x), r = std::max(r, x);
                t = std::min(t, y), b = std::max(b, y);
            }
        }
    }
    for (int y = t; y <= b; y++) {
        uint32_t* row = reinterpret_cast<uint32_t*>(data + size_t(y) * stride);
        const uint32_t* crow = reinterpret_cast<const uint32_t*>(colour + size_t(y) * cstride);
        for (int x = l; x <= r; x++) {
            unsigned a = std::max(1u, row[x] >> 24);
            uint32_t c = crow[x], out = a << 24;
            for (int sh = 0; sh < 24; sh += 8) out |= (((c >> sh) & 255) * a + 127) / 255 << sh;
            row[x] = out;
        }
    }
    cairo_surface_mark_dirty(s);
}

}  // namespace

void qmcPaintFlock(cairo_t* cr, int width, int height, const QMCClip& clip, double u, bool mirrored) {
    LocalFlock f = localFlockAt(clip, u);
    double unit = height / 2.0;  // pixels per physical unit
    auto px = [&](double x) { return (x / kQmcAspect + 1) / 2 * width; };
    auto py = [&](double y) { return (1 - y) / 2 * height; };
    cairo_save(cr);
    if (mirrored) {
        cairo_translate(cr, width, 0);
        cairo_scale(cr, -1, 1);
    }
    for (const LocalSprite& m : f.motes) {
        double glow = 0.55 + 0.25 * std::sin(m.twist);
        qmcGlow(cr, px(m.x), py(m.y), m.size * unit * 2.2, 1.0, 0.90, 0.55, 0.35 * glow);
        qmcGlow(cr, px(m.x), py(m.y), m.size * unit * 0.7, 1.0, 0.97, 0.80, 0.75 * glow);
    }
    for (const LocalSprite& s : f.seeds) {
        qmcDandelionSeed(cr, px(s.x), py(s.y), s.size * unit, s.angle, 1.0, s.twist);
    }
    cairo_restore(cr);
}

void qmcPaintMovieFrame(QMCCanvas* canvas, const QMCClip& clip, int frame) {
    cairo_t* cr = canvas->cr();
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_restore(cr);
    double u = clip.movieFrames > 1 ? double(frame) / (clip.movieFrames - 1) : 0;
    qmcPaintFlock(cr, canvas->width(), canvas->height(), clip, u, true);
    QMCCanvas overWhite(canvas->width(), canvas->height(), false);
    cairo_set_source_rgb(overWhite.cr(), 1, 1, 1);
    cairo_paint(overWhite.cr());
    qmcPaintFlock(overWhite.cr(), canvas->width(), canvas->height(), clip, u, true);
    localMergeColour(canvas, overWhite);
}
