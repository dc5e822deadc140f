// Writing every source of the demo package into one folder:
//
//   pictures/   error_notice.png (0), preview.jpg (1), label.png (5), cube_inner.jpg (749),
//               cube_outer.png (750), meadow.jpg (751)
//   medallion/  medallion.obj, medallion.mtl and its picture (4)
//   sheet/      sheet.mtl, paper.jpg and one OBJ per key pose: opening_00.obj ... clip2_24.obj
//   movies/     clip0/, clip1/, clip2/: one PNG per movie frame, with alpha
#pragma once

#include <string>

struct QMCGenerateOptions {
    std::string outDir;
    bool pictures = true;
    bool models = true;
    bool movies = true;
    int threads = 2;  // movie frames are painted in parallel
};

bool qmcGenerate(const QMCGenerateOptions& options, std::string* err);

// Sizes of the pictures.
constexpr int kQmcMeadowWidth = 1600, kQmcMeadowHeight = 900;
constexpr int kQmcPreviewWidth = 400, kQmcPreviewHeight = 300;
constexpr int kQmcNoticeWidth = 720, kQmcNoticeHeight = 96;
constexpr int kQmcLabelWidth = 512, kQmcLabelHeight = 128;
constexpr int kQmcPaperWidth = 1024, kQmcPaperHeight = 512;
constexpr int kQmcCubeSize = 512;
constexpr int kQmcMedallionWidth = 1024, kQmcMedallionHeight = 512;
constexpr uint64_t kQmcMeadowSeed = 0x4d656164ull;
