// qmcontent: writes the sources of the demo package, previews its poses, and paints a stand-in
// desktop for judging the saver without a real one.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "generate.h"
#include "package.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "pictures.h"
#include "preview.h"

namespace {

int localUsage() {
    fprintf(stderr,
            "usage:\n"
            "  qmcontent generate OUTDIR [--pictures] [--models] [--movies] [--threads N]\n"
            "      write the package's sources into OUTDIR (all kinds unless some are named)\n"
            "  qmcontent package --qmpack PROGRAM --work DIR --out FILE [--jobs N]\n"
            "      write the sources into DIR/src, compile them with qmpack and build the package FILE\n"
            "  qmcontent preview OUTDIR [--desktop FILE.png]\n"
            "      rasterise every clip's key poses with its seeds into OUTDIR/<clip>.png\n"
            "  qmcontent desktop FILE.png [WIDTH HEIGHT]\n"
            "      paint a made-up desktop picture (default 1920 x 1080)\n"
            "  qmcontent topng PICTURE OUT.png\n"
            "      decode a picture as the saver does and write it as PNG, to look at it\n");
    return 2;
}

int localGenerate(int argc, char** argv) {
    if (argc < 1) return localUsage();
    QMCGenerateOptions o;
    o.outDir = argv[0];
    bool any = false;
    bool pictures = false, models = false, movies = false;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--pictures")) {
            pictures = any = true;
        } else if (!strcmp(argv[i], "--models")) {
            models = any = true;
        } else if (!strcmp(argv[i], "--movies")) {
            movies = any = true;
        } else if (!strcmp(argv[i], "--threads") && i + 1 < argc) {
            o.threads = atoi(argv[++i]);
            if (o.threads < 1) o.threads = 1;
        } else {
            return localUsage();
        }
    }
    if (any) {
        o.pictures = pictures;
        o.models = models;
        o.movies = movies;
    }
    std::string err;
    if (!qmcGenerate(o, &err)) {
        fprintf(stderr, "qmcontent: %s\n", err.c_str());
        return 1;
    }
    return 0;
}

int localPackage(int argc, char** argv) {
    QMCPackageOptions o;
    for (int i = 0; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--qmpack"))
            o.qmpack = argv[i + 1];
        else if (!strcmp(argv[i], "--work"))
            o.workDir = argv[i + 1];
        else if (!strcmp(argv[i], "--out"))
            o.out = argv[i + 1];
        else if (!strcmp(argv[i], "--jobs"))
            o.jobs = std::max(1, atoi(argv[i + 1]));
        else
            return localUsage();
    }
    if (argc % 2 || o.qmpack.empty() || o.workDir.empty() || o.out.empty()) return localUsage();
    std::string err;
    if (!qmcBuildPackage(o, &err)) {
        fprintf(stderr, "qmcontent: %s\n", err.c_str());
        return 1;
    }
    return 0;
}

int localPreview(int argc, char** argv) {
    if (argc != 1 && !(argc == 3 && !strcmp(argv[1], "--desktop"))) return localUsage();
    std::string dir = argv[0], err;
    if (!qmcMakeDirs(dir, &err)) {
        fprintf(stderr, "qmcontent: %s\n", err.c_str());
        return 1;
    }
    const int W = 640, H = 360;
    QMCCanvas photo(1280, 720, false), meadow(kQmcMeadowWidth, kQmcMeadowHeight, false),
        paper(kQmcPaperWidth, kQmcPaperHeight, false);
    if (argc == 3) {
        cairo_surface_t* s = cairo_image_surface_create_from_png(argv[2]);
        if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
            fprintf(stderr, "qmcontent: %s: cannot read the picture\n", argv[2]);
            return 1;
        }
        cairo_scale(photo.cr(), 1280.0 / cairo_image_surface_get_width(s), 720.0 / cairo_image_surface_get_height(s));
        cairo_set_source_surface(photo.cr(), s, 0, 0);
        cairo_paint(photo.cr());
        cairo_surface_destroy(s);
    } else {
        cairo_scale(photo.cr(), 1280.0 / 1920, 720.0 / 1080);
        qmcPaintSampleDesktop(photo.cr(), 1920, 1080);
    }
    qmcPaintMeadow(meadow.cr(), meadow.width(), meadow.height(), kQmcMeadowSeed);
    qmcPaintPaper(paper.cr(), paper.width(), paper.height());
    photo.Flush();
    meadow.Flush();
    paper.Flush();
    QMCPreviewPictures pics{&photo, &meadow, &paper};
    for (const QMCClip& clip : qmcClips()) {
        // Every key pose, and the motion between them at a finer step, four to a row.
        int shots = std::max(clip.keyCount, 9);
        int cols = 4, rows = (shots + cols - 1) / cols;
        QMCCanvas sheet(cols * W, rows * H, false);
        for (int i = 0; i < shots; i++) {
            QMCCanvas frame(W, H, false);
            double u = double(i) / (shots - 1);
            qmcPreviewClip(&frame, clip, u, pics);
            cairo_set_source_surface(sheet.cr(), frame.surface(), (i % cols) * W, (i / cols) * H);
            cairo_paint(sheet.cr());
        }
        if (!sheet.SavePng(dir + "/" + clip.name + ".png", &err)) {
            fprintf(stderr, "qmcontent: %s\n", err.c_str());
            return 1;
        }
    }
    return 0;
}

int localDesktop(int argc, char** argv) {
    if (argc != 1 && argc != 3) return localUsage();
    int w = argc == 3 ? atoi(argv[1]) : 1920, h = argc == 3 ? atoi(argv[2]) : 1080;
    if (w < 64 || h < 64 || w > 8192 || h > 8192) return localUsage();
    QMCCanvas c(w, h, false);
    qmcPaintSampleDesktop(c.cr(), w, h);
    std::string err;
    if (!c.SavePng(argv[0], &err)) {
        fprintf(stderr, "qmcontent: %s\n", err.c_str());
        return 1;
    }
    return 0;
}

int localToPng(int argc, char** argv) {
    if (argc != 2) return localUsage();
    FXCanvas in;
    if (!fxLoadDevil() || !in.CreateFromPict(argv[0])) {
        fprintf(stderr, "qmcontent: %s: cannot decode the picture\n", argv[0]);
        return 1;
    }
    QMCCanvas out(in.GetWidth(), in.GetHeight());
    cairo_surface_flush(out.surface());
    unsigned char* data = cairo_image_surface_get_data(out.surface());
    int stride = cairo_image_surface_get_stride(out.surface());
    for (int y = 0; y < in.GetHeight(); y++) {
        for (int x = 0; x < in.GetWidth(); x++) {
            const unsigned char* p = in.pixmap.PixelBytes(x, y);
            unsigned a = p[3];
            uint32_t v = a << 24 | (p[0] * a / 255) << 16 | (p[1] * a / 255) << 8 | (p[2] * a / 255);
            memcpy(data + size_t(y) * stride + size_t(x) * 4, &v, 4);
        }
    }
    cairo_surface_mark_dirty(out.surface());
    std::string err;
    if (!out.SavePng(argv[1], &err)) {
        fprintf(stderr, "qmcontent: %s\n", err.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return localUsage();
    if (!strcmp(argv[1], "generate")) return localGenerate(argc - 2, argv + 2);
    if (!strcmp(argv[1], "package")) return localPackage(argc - 2, argv + 2);
    if (!strcmp(argv[1], "preview")) return localPreview(argc - 2, argv + 2);
    if (!strcmp(argv[1], "desktop")) return localDesktop(argc - 2, argv + 2);
    if (!strcmp(argv[1], "topng")) return localToPng(argc - 2, argv + 2);
    return localUsage();
}
