// The preview rasteriser (see preview.h).
#include "preview.h"

#include <algorithm>

#include "seeds.h"

namespace {

struct LocalTri {
    double depth;
    double x[3], y[3];
    double rgb[3];
};

}  // namespace

void qmcPreviewClip(QMCCanvas* out, const QMCClip& clip, double u, const QMCPreviewPictures& pics) {
    QMCModel model = qmcSheetModel(clip.PoseAt(u), QMCSheetGrid(), "sheet.mtl");
    double w = out->width(), h = out->height();
    // The light after the opening: 0.7 from the viewer plus a little ambient.
    const double diffuse = 0.7, ambient = 0.028;
    std::vector<LocalTri> tris;
    for (const QMCMeshPart& part : model.parts) {
        const QMCCanvas* pic = part.material == kQmcBackdropMaterial ? pics.meadow
                               : part.material == kQmcFrontMaterial  ? pics.photo
                                                                     : pics.paper;
        for (size_t i = 0; i + 2 < part.indices.size(); i += 3) {
            LocalTri t;
            QMCVec3 n(0, 0, 0);
            double u0 = 0, v0 = 0;
            t.depth = 0;
            for (int k = 0; k < 3; k++) {
                const QMCVertex& v = part.vertices[part.indices[i + k]];
                t.x[k] = (v.pos.x + 1) / 2 * w;
                t.y[k] = (1 - v.pos.y) / 2 * h;
                t.depth += v.pos.z / 3;
                n = n + v.normal;
                u0 += v.u / 3;
                v0 += v.v / 3;
            }
            // The scene stretches depth five times; the eye sees the normal with z shrunk.
            QMCVec3 eye = QMCVec3(n.x, n.y, n.z / 5).Normalized();
            double shade = ambient + diffuse * std::max(0.0, -eye.z);
            pic->Sample(u0, v0, t.rgb);
            for (double& c : t.rgb) c = std::min(1.0, c * shade);
            tris.push_back(t);
        }
    }
    std::stable_sort(tris.begin(), tris.end(), [](const LocalTri& a, const LocalTri& b) { return a.depth > b.depth; });
    cairo_t* cr = out->cr();
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    for (const LocalTri& t : tris) {
        cairo_move_to(cr, t.x[0], t.y[0]);
        cairo_line_to(cr, t.x[1], t.y[1]);
        cairo_line_to(cr, t.x[2], t.y[2]);
        cairo_close_path(cr);
        cairo_set_source_rgb(cr, t.rgb[0], t.rgb[1], t.rgb[2]);
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 0.8);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
    if (clip.movieFrames > 0) qmcPaintFlock(cr, out->width(), out->height(), clip, u, false);
}
