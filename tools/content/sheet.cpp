// The desktop sheet's poses: the bend profile, the rigid placement and the three meshes of an
// animation frame (see sheet.h).
#include "sheet.h"

#include <algorithm>

const char* const kQmcBackdropMaterial = "Material.001";
const char* const kQmcFrontMaterial = "Material.001a";
const char* const kQmcBackMaterial = "meadow_paper";

namespace {

constexpr int kProfileSteps = 4096;

// The angle of the paper at p (radians; negative lifts it towards the viewer).
double localTheta(const QMCBend& b, double p, double pEnd) {
    double th = b.waveAmp * std::sin(2 * kQmcPi * p / b.waveLength + b.wavePhase);
    if (p > b.curlStart) th -= std::min((p - b.curlStart) / b.curlRadius, b.curlMax);
    if (p > b.rollStart) {
        // Curvature 1 / r(w) with r(w) = sqrt(inner^2 + w * pitch / pi), w the length still to
        // come to the free edge: the integral has a closed form. The roll turns towards the
        // viewer, so its outside shows the paper side.
        double a = b.rollInner * b.rollInner, k = b.rollPitch / kQmcPi;
        double w0 = std::max(pEnd - b.rollStart, 0.0), w = std::max(pEnd - p, 0.0);
        th -= (2.0 / k) * (std::sqrt(a + k * w0) - std::sqrt(a + k * w));
    }
    return th;
}

QMCVec3 localPlace(const QMCSheetPose& pose, const QMCVec3& v, bool direction) {
    QMCVec3 r = direction ? v : v * pose.scale;
    double cb = std::cos(pose.pitch), sb = std::sin(pose.pitch);
    r = QMCVec3(r.x, r.y * cb - r.z * sb, r.y * sb + r.z * cb);
    double ca = std::cos(pose.yaw), sa = std::sin(pose.yaw);
    r = QMCVec3(r.x * ca - r.z * sa, r.y, r.x * sa + r.z * ca);
    if (!direction) r = r + QMCVec3(pose.tx, pose.ty, pose.tz);
    return r;
}

double localInterp(const std::vector<double>& table, double p, double pMin, double step) {
    double f = (p - pMin) / step;
    int i = int(std::floor(f));
    i = std::max(0, std::min(i, int(table.size()) - 2));
    double t = f - i;
    return table[i] + (table[i + 1] - table[i]) * t;
}

// Two triangles per cell of a (cols+1) x (rows+1) vertex grid, counter-clockwise on screen when
// seen from the front (or from the back when back is set).
void localGridIndices(std::vector<int>* out, int cols, int rows, bool back) {
    for (int j = 0; j < rows; j++) {
        for (int i = 0; i < cols; i++) {
            int tl = j * (cols + 1) + i, tr = tl + 1, bl = tl + cols + 1, br = bl + 1;
            if (!back) {
                out->insert(out->end(), {tl, bl, tr, bl, br, tr});
            } else {
                out->insert(out->end(), {tl, tr, bl, bl, tr, br});
            }
        }
    }
}

}  // namespace

QMCSheetPose qmcBlendPoses(const QMCSheetPose& a, const QMCSheetPose& b, double t) {
    QMCSheetPose r;
    r.scale = qmcLerp(a.scale, b.scale, t);
    r.yaw = qmcLerp(a.yaw, b.yaw, t);
    r.pitch = qmcLerp(a.pitch, b.pitch, t);
    r.tx = qmcLerp(a.tx, b.tx, t);
    r.ty = qmcLerp(a.ty, b.ty, t);
    r.tz = qmcLerp(a.tz, b.tz, t);
    const QMCBend &x = a.bend, &y = b.bend;
    QMCBend& o = r.bend;
    o.dirAngle = qmcLerp(x.dirAngle, y.dirAngle, t);
    o.waveAmp = qmcLerp(x.waveAmp, y.waveAmp, t);
    o.waveLength = qmcLerp(x.waveLength, y.waveLength, t);
    o.wavePhase = qmcLerp(x.wavePhase, y.wavePhase, t);
    o.curlStart = qmcLerp(x.curlStart, y.curlStart, t);
    o.curlRadius = qmcLerp(x.curlRadius, y.curlRadius, t);
    o.curlMax = qmcLerp(x.curlMax, y.curlMax, t);
    o.rollStart = qmcLerp(x.rollStart, y.rollStart, t);
    o.rollInner = qmcLerp(x.rollInner, y.rollInner, t);
    o.rollPitch = qmcLerp(x.rollPitch, y.rollPitch, t);
    return r;
}

QMCSheetShape::QMCSheetShape(const QMCSheetPose& p) : pose(p) {
    ex = std::cos(pose.bend.dirAngle);
    ey = std::sin(pose.bend.dirAngle);
    double ax = kQmcAspect * std::fabs(ex), ay = std::fabs(ey);
    pMin = -(ax + ay);
    pMax = ax + ay;
    step = (pMax - pMin) / kProfileSteps;
    X.resize(kProfileSteps + 1);
    Z.resize(kProfileSteps + 1);
    theta.resize(kProfileSteps + 1);
    for (int i = 0; i <= kProfileSteps; i++) theta[i] = localTheta(pose.bend, pMin + i * step, pMax);
    // Trapezoid integration of the paper's direction from the near edge, then shifted so that the
    // sheet's centre line stays where the flat sheet had it.
    X[0] = 0;
    Z[0] = 0;
    for (int i = 1; i <= kProfileSteps; i++) {
        X[i] = X[i - 1] + 0.5 * step * (std::cos(theta[i - 1]) + std::cos(theta[i]));
        Z[i] = Z[i - 1] + 0.5 * step * (std::sin(theta[i - 1]) + std::sin(theta[i]));
    }
    double x0 = localInterp(X, 0.0, pMin, step), z0 = localInterp(Z, 0.0, pMin, step);
    for (int i = 0; i <= kProfileSteps; i++) {
        X[i] -= x0;
        Z[i] -= z0;
    }
}

QMCSheetPoint QMCSheetShape::At(double s, double t) const {
    double p = s * ex + t * ey;
    double q = -s * ey + t * ex;
    double x = localInterp(X, p, pMin, step), z = localInterp(Z, p, pMin, step);
    double th = localInterp(theta, p, pMin, step);
    QMCVec3 e(ex, ey, 0), d(-ey, ex, 0), k(0, 0, 1);
    QMCVec3 local = d * q + e * x + k * z;
    QMCVec3 normal = e * std::sin(th) - k * std::cos(th);
    QMCSheetPoint r;
    r.pos = localPlace(pose, local, false);
    r.normal = localPlace(pose, normal, true).Normalized();
    return r;
}

QMCVec3 qmcSceneFromPhysical(const QMCVec3& p) {
    return QMCVec3(p.x / kQmcAspect, p.y, p.z * kQmcDepthScale + kQmcDepthBase);
}

QMCVec3 qmcSceneNormal(const QMCVec3& n) {
    return QMCVec3(n.x * kQmcShadeGain, n.y * kQmcShadeGain, n.z * 5.0).Normalized();
}

QMCModel qmcSheetModel(const QMCSheetPose& pose, const QMCSheetGrid& grid, const std::string& mtlFile) {
    QMCModel m;
    m.mtlFile = mtlFile;
    m.parts.resize(3);

    QMCMeshPart& back = m.parts[0];
    back.material = kQmcBackdropMaterial;
    for (int j = 0; j <= grid.backRows; j++) {
        for (int i = 0; i <= grid.backCols; i++) {
            QMCVertex v;
            v.u = double(i) / grid.backCols;
            v.v = double(j) / grid.backRows;
            v.pos = QMCVec3(v.u * 2 - 1, 1 - v.v * 2, kQmcBackdropZ);
            v.normal = QMCVec3(0, 0, -1);
            back.vertices.push_back(v);
        }
    }
    localGridIndices(&back.indices, grid.backCols, grid.backRows, false);

    QMCSheetShape shape(pose);
    QMCMeshPart& front = m.parts[1];
    QMCMeshPart& paper = m.parts[2];
    front.material = kQmcFrontMaterial;
    paper.material = kQmcBackMaterial;
    for (int j = 0; j <= grid.rows; j++) {
        for (int i = 0; i <= grid.cols; i++) {
            double u = double(i) / grid.cols, v = double(j) / grid.rows;
            QMCSheetPoint pt = shape.At((u * 2 - 1) * kQmcAspect, 1 - v * 2);
            QMCVertex f;
            f.pos = qmcSceneFromPhysical(pt.pos);
            f.normal = qmcSceneNormal(pt.normal);
            f.u = u;
            f.v = v;
            front.vertices.push_back(f);
            QMCVertex b;
            b.pos = qmcSceneFromPhysical(pt.pos - pt.normal * (kQmcPaperGap * pose.scale));
            b.normal = qmcSceneNormal(pt.normal * -1.0);
            b.u = 1 - u;
            b.v = v;
            paper.vertices.push_back(b);
        }
    }
    localGridIndices(&front.indices, grid.cols, grid.rows, false);
    localGridIndices(&paper.indices, grid.cols, grid.rows, true);
    return m;
}
