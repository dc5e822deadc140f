// The desktop sheet: the photographed desktop as a sheet of paper over the meadow. A pose is a
// developable bend of the flat sheet (curl, roll, wave: every bend line runs across the sheet in
// one direction, so the paper never stretches) followed by a rigid placement (scale, turn, tilt,
// shift). Poses are computed in "physical" units, where the screen is kQmcAspect wide and 2 high
// and depth uses the same unit, so shapes and shading look right on a 16:9 screen; the model
// written for the scene maps them onto the view's -1..1 square and its narrow depth range.
//
// An animation frame holds three meshes: the meadow backdrop (a full-view grid far back, named
// kQmcBackdropMaterial, which the scene binds to the photograph under the meadow picture), the
// sheet's front (kQmcFrontMaterial: the photograph) and its back (kQmcBackMaterial: paper),
// which lies a hair behind the front so each side shows from its own direction.
#pragma once

#include "content.h"

extern const char* const kQmcBackdropMaterial;  // "Material.001"
extern const char* const kQmcFrontMaterial;     // "Material.001a"
extern const char* const kQmcBackMaterial;      // the paper side

// Bends along one direction e across the sheet. p is the coordinate along e (0 at the sheet's
// centre line); the angle of the paper against the flat sheet is the sum of the three terms.
struct QMCBend {
    double dirAngle = 0;  // e, radians from +X (physical)
    // A wave: amplitude (radians) * sin(2 pi p / length + phase).
    double waveAmp = 0, waveLength = 2, wavePhase = 0;
    // A curl towards the viewer from p = curlStart, around a cylinder of curlRadius, up to curlMax.
    double curlStart = 1e9, curlRadius = 0.3, curlMax = kQmcPi;
    // A roll towards the viewer from p = rollStart to the sheet's far edge, wound as a spiral whose
    // innermost turn has radius rollInner and which grows by rollPitch per turn.
    double rollStart = 1e9, rollInner = 0.06, rollPitch = 0.03;
};

struct QMCSheetPose {
    double scale = 1;
    double yaw = 0;    // about the vertical axis; positive turns the right edge away
    double pitch = 0;  // about the horizontal axis; positive tips the top edge away
    double tx = 0, ty = 0, tz = 0;
    QMCBend bend;
};

// Component-wise blend of two poses (bend parameters included).
QMCSheetPose qmcBlendPoses(const QMCSheetPose& a, const QMCSheetPose& b, double t);

struct QMCSheetGrid {
    int cols = 44, rows = 36;  // sheet cells
    int backCols = 8, backRows = 6;  // backdrop cells
};

// Depth mapping from physical units to the scene model: z = Z * kQmcDepthScale + kQmcDepthBase.
constexpr double kQmcDepthScale = 0.1;
constexpr double kQmcDepthBase = 0.0;
constexpr double kQmcBackdropZ = 0.38;
constexpr double kQmcPaperGap = 0.006;  // physical distance of the back side behind the front
constexpr double kQmcShadeGain = 1.35;   // > 1 exaggerates the shading of tilted paper

// A point of the posed sheet: physical position and front-side normal.
struct QMCSheetPoint {
    QMCVec3 pos;
    QMCVec3 normal;
};
// The posed sheet at material coordinates (s, t), s in [-kQmcAspect, kQmcAspect], t in [-1, 1].
class QMCSheetShape {
public:
    explicit QMCSheetShape(const QMCSheetPose& pose);
    QMCSheetPoint At(double s, double t) const;

private:
    QMCSheetPose pose;
    double ex, ey;          // e
    double pMin, pMax, step;
    std::vector<double> X, Z, theta;  // the bend profile on a fine grid of p
};

// The animation frame for a pose: backdrop, front and back meshes in scene coordinates.
QMCModel qmcSheetModel(const QMCSheetPose& pose, const QMCSheetGrid& grid, const std::string& mtlFile);

// Scene coordinates of a physical point, and the normal to hand the scene for a physical normal
// (the model pass stretches depth five times; this undoes it for the lighting).
QMCVec3 qmcSceneFromPhysical(const QMCVec3& p);
QMCVec3 qmcSceneNormal(const QMCVec3& n);
