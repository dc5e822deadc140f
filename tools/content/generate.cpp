// Writes every source of the demo package (see generate.h).
#include "generate.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "choreo.h"
#include "medallion.h"
#include "pictures.h"
#include "seeds.h"

namespace {

const char* const kMedallionMaterial = "medallion_gold";

bool localPictures(const std::string& dir, std::string* err) {
    if (!qmcMakeDirs(dir, err)) return false;
    {
        QMCCanvas c(kQmcMeadowWidth, kQmcMeadowHeight, false);
        qmcPaintMeadow(c.cr(), c.width(), c.height(), kQmcMeadowSeed);
        if (!c.SaveJpeg(dir + "/meadow.jpg", 90, err)) return false;
    }
    {
        QMCCanvas c(kQmcPreviewWidth, kQmcPreviewHeight, false);
        qmcPaintPreview(c.cr(), c.width(), c.height());
        if (!c.SaveJpeg(dir + "/preview.jpg", 92, err)) return false;
    }
    {
        QMCCanvas c(kQmcNoticeWidth, kQmcNoticeHeight);
        qmcPaintErrorNotice(c.cr(), c.width(), c.height());
        if (!c.SavePng(dir + "/error_notice.png", err)) return false;
    }
    {
        QMCCanvas c(kQmcLabelWidth, kQmcLabelHeight);
        qmcPaintLabel(c.cr(), c.width(), c.height());
        if (!c.SavePng(dir + "/label.png", err)) return false;
    }
    {
        QMCCanvas c(kQmcCubeSize, kQmcCubeSize, false);
        qmcPaintCubeInner(c.cr(), kQmcCubeSize);
        if (!c.SaveJpeg(dir + "/cube_inner.jpg", 90, err)) return false;
    }
    {
        QMCCanvas c(kQmcCubeSize, kQmcCubeSize);
        qmcPaintCubeOuter(c.cr(), kQmcCubeSize);
        if (!c.SavePng(dir + "/cube_outer.png", err)) return false;
    }
    return true;
}

bool localMedallion(const std::string& dir, std::string* err) {
    if (!qmcMakeDirs(dir, err)) return false;
    QMCCanvas c(kQmcMedallionWidth, kQmcMedallionHeight, false);
    qmcPaintMedallion(c.cr(), c.width(), c.height());
    if (!c.SaveJpeg(dir + "/medallion.jpg", 92, err)) return false;
    QMCMaterial gold;
    gold.name = kMedallionMaterial;
    // The logo's placement scales x and y but not depth, which tips the coin's normals away from
    // the light as soon as it turns: a strong ambient term keeps it bright all the way round.
    for (int i = 0; i < 3; i++) {
        gold.ka[i] = 3.0;
        gold.kd[i] = 0.8;
        gold.ks[i] = 0.3;
    }
    gold.ns = 40;
    gold.map = "medallion.jpg";
    if (!qmcWriteMtl(dir + "/medallion.mtl", {gold}, err)) return false;
    return qmcWriteObj(dir + "/medallion.obj", qmcMedallionModel("medallion.mtl", kMedallionMaterial), err);
}

std::string localPoseFile(const QMCClip& clip, int k) {
    char name[64];
    snprintf(name, sizeof(name), "%s_%02d.obj", clip.name, k);
    return name;
}

bool localSheet(const std::string& dir, std::string* err) {
    if (!qmcMakeDirs(dir, err)) return false;
    {
        QMCCanvas c(kQmcPaperWidth, kQmcPaperHeight, false);
        qmcPaintPaper(c.cr(), c.width(), c.height());
        if (!c.SaveJpeg(dir + "/paper.jpg", 88, err)) return false;
    }
    // The two names the scene binds to the photograph and the meadow carry no picture of their
    // own; the paper side has its picture.
    QMCMaterial front, backdrop, paper;
    front.name = kQmcFrontMaterial;
    backdrop.name = kQmcBackdropMaterial;
    paper.name = kQmcBackMaterial;
    paper.map = "paper.jpg";
    for (int i = 0; i < 3; i++) {
        paper.ka[i] = 1.5;
        paper.kd[i] = 1.15;
    }
    if (!qmcWriteMtl(dir + "/sheet.mtl", {backdrop, front, paper}, err)) return false;
    QMCSheetGrid grid;
    for (const QMCClip& clip : qmcClips()) {
        for (int k = 0; k < clip.keyCount; k++) {
            QMCModel m = qmcSheetModel(clip.PoseAt(clip.KeyProgress(k)), grid, "sheet.mtl");
            if (!qmcWriteObj(dir + "/" + localPoseFile(clip, k), m, err)) return false;
        }
    }
    return true;
}

bool localMovies(const std::string& dir, int threads, std::string* err) {
    for (int k = 0; k < 3; k++) {
        const QMCClip& clip = qmcClip(k);
        std::string folder = dir + "/" + clip.name;
        if (!qmcMakeDirs(folder, err)) return false;
        std::atomic<int> next(0);
        std::mutex failLock;
        std::string failure;
        auto worker = [&]() {
            QMCCanvas c(kQmcMovieWidth, kQmcMovieHeight);
            for (int f = next++; f < clip.movieFrames; f = next++) {
                qmcPaintMovieFrame(&c, clip, f);
                char name[32];
                snprintf(name, sizeof(name), "/frame_%03d.png", f);
                std::string e;
                if (!c.SavePng(folder + name, &e)) {
                    std::lock_guard<std::mutex> g(failLock);
                    failure = e;
                }
            }
        };
        std::vector<std::thread> pool;
        for (int t = 1; t < threads; t++) pool.emplace_back(worker);
        worker();
        for (std::thread& t : pool) t.join();
        if (!failure.empty()) {
            *err = failure;
            return false;
        }
    }
    return true;
}

}  // namespace

bool qmcGenerate(const QMCGenerateOptions& o, std::string* err) {
    if (!qmcMakeDirs(o.outDir, err)) return false;
    if (o.pictures && !localPictures(o.outDir + "/pictures", err)) return false;
    if (o.models && !localMedallion(o.outDir + "/medallion", err)) return false;
    if (o.models && !localSheet(o.outDir + "/sheet", err)) return false;
    if (o.movies && !localMovies(o.outDir + "/movies", o.threads, err)) return false;
    return true;
}
