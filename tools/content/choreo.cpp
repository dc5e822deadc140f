// The poses and the clips' motions (see choreo.h). Motions ease in and out (smoother steps), so
// the sheet comes to rest at every pose and a clip change never jerks.
#include "choreo.h"

#include <algorithm>
#include <cstdio>

namespace {

// The largest p of the sheet along a bend direction: a curl or roll that starts there has not
// reached the paper yet.
double localFarEdge(double dirAngle) {
    return kQmcAspect * std::fabs(std::cos(dirAngle)) + std::fabs(std::sin(dirAngle));
}

// The page-turn direction of clip 0: towards the bottom-right corner.
const double kCurlDir = std::atan2(-1.0, kQmcAspect);
const double kRollDir = -kQmcPi / 2;

QMCSheetPose localRigidBlend(const QMCSheetPose& a, const QMCSheetPose& b, double t) {
    QMCSheetPose r = qmcBlendPoses(a, b, t);
    r.bend = QMCBend();
    return r;
}

// Clip 0: the card turns its bottom-right corner over like a page, towards the viewer.
QMCSheetPose localPageTurn(double u) {
    QMCSheetPose p = qmcPose(kQmcPoseP), s = qmcPose(kQmcPoseS);
    double e = qmcSmooth(u);
    QMCSheetPose r = localRigidBlend(p, s, e);
    r.bend.dirAngle = kCurlDir;
    r.bend.curlStart = qmcLerp(localFarEdge(kCurlDir), s.bend.curlStart, e);
    r.bend.curlRadius = s.bend.curlRadius;
    r.bend.curlMax = s.bend.curlMax;
    // A breath of wind across the page while it turns.
    r.bend.waveAmp = 0.10 * std::sin(kQmcPi * u);
    r.bend.waveLength = 2.8;
    r.bend.wavePhase = -2 * kQmcPi * 0.8 * u;
    return r;
}

// Clip 1: the card rolls up from its bottom edge into a scroll, towards the viewer.
QMCSheetPose localRollUp(double u) {
    QMCSheetPose q = qmcPose(kQmcPoseQ), rr = qmcPose(kQmcPoseR);
    // u runs from R (rolled) to Q (flat).
    double e = qmcSmooth(u);
    QMCSheetPose r = localRigidBlend(rr, q, e);
    r.bend.dirAngle = kRollDir;
    r.bend.rollStart = qmcLerp(rr.bend.rollStart, localFarEdge(kRollDir), e);
    r.bend.rollInner = rr.bend.rollInner;
    r.bend.rollPitch = rr.bend.rollPitch;
    return r;
}

// Clip 2: the card glides from P to Q and turns over once in the breeze, showing its paper side
// half way, while a ripple runs through it like a flag's.
QMCSheetPose localGlide(double u) {
    QMCSheetPose p = qmcPose(kQmcPoseP), q = qmcPose(kQmcPoseQ);
    double e = qmcSmooth(u);
    QMCSheetPose r = localRigidBlend(p, q, e);
    r.yaw += 2 * kQmcPi * e;
    double env = std::sin(kQmcPi * u);
    r.ty += 0.10 * env;
    r.tz += 0.6 * env;
    r.bend.dirAngle = 0;
    r.bend.waveAmp = 0.30 * env * env;
    r.bend.waveLength = 2.6;
    r.bend.wavePhase = -2 * kQmcPi * 1.5 * u;
    return r;
}

// The opening: from the flat desktop to P (two keys; the scene draws a straight line between).
QMCSheetPose localOpening(double u) {
    QMCSheetPose a = qmcPose(kQmcPoseFlat), b = qmcPose(kQmcPoseP);
    return localRigidBlend(a, b, u);
}

}  // namespace

QMCSheetPose qmcPose(QMCPoseId id) {
    QMCSheetPose p;
    switch (id) {
        case kQmcPoseFlat:
            break;
        case kQmcPoseP:
            p.scale = 0.68;
            p.yaw = 0.20;
            p.pitch = -0.12;
            p.tx = -0.20;
            p.ty = 0.10;
            p.tz = 0.8;
            break;
        case kQmcPoseQ:
            p.scale = 0.64;
            p.yaw = -0.38;
            p.pitch = 0.10;
            p.tx = 0.36;
            p.ty = 0.14;
            p.tz = 0.9;
            break;
        case kQmcPoseR:
            p = qmcPose(kQmcPoseQ);
            p.ty += 0.16;
            p.pitch = 0.18;
            p.bend.dirAngle = kRollDir;
            p.bend.rollStart = -0.15;
            p.bend.rollInner = 0.14;
            p.bend.rollPitch = 0.05;
            break;
        case kQmcPoseS:
            p = qmcPose(kQmcPoseP);
            p.yaw = 0.30;
            p.tx = -0.28;
            p.ty = 0.14;
            p.bend.dirAngle = kCurlDir;
            p.bend.curlStart = 0.78;
            p.bend.curlRadius = 0.24;
            p.bend.curlMax = kQmcPi;
            break;
    }
    return p;
}

int QMCClip::KeyFrame(int k) const {
    if (movieFrames <= 1 || keyCount <= 1) return 0;
    double u = double(k) / (keyCount - 1);
    if (linear) {
        // Straight lines between keys cut corners where the motion turns fastest, and move at one
        // speed along each line. Keys at equal steps of the mean of time and eased progress sit
        // closest where the sheet turns fastest, and still close enough at the ends that the
        // speed rises and falls in small steps.
        double target = u, lo = 0, hi = 1;
        for (int i = 0; i < 60; i++) {
            double mid = (lo + hi) / 2;
            ((qmcSmooth(mid) + mid) / 2 < target ? lo : hi) = mid;
        }
        u = (lo + hi) / 2;
    }
    int f = int(std::lround(u * (movieFrames - 1)));
    // Keys rise by at least one frame (the eased steps are never that close for these clips).
    return std::max(f, k);
}

double QMCClip::KeyProgress(int k) const {
    if (keyCount <= 1) return 0;
    if (movieFrames > 1) return double(KeyFrame(k)) / (movieFrames - 1);
    return double(k) / (keyCount - 1);
}

QMCSheetPose QMCClip::PoseAt(double u) const {
    if (u <= 0) return qmcPose(from);
    if (u >= 1) return qmcPose(to);
    return motion(u);
}

const std::vector<QMCClip>& qmcClips() {
    static const std::vector<QMCClip> clips = {
        {"opening", 91, -1, kQmcPoseFlat, kQmcPoseP, false, 0, 2, false, 7000, localOpening},
        {"clip0", 94, 177, kQmcPoseP, kQmcPoseS, false, 100, 11, true, 0, localPageTurn},
        {"clip1", 203, 88, kQmcPoseR, kQmcPoseQ, false, 110, 12, true, 0, localRollUp},
        {"clip2", 200, 748, kQmcPoseP, kQmcPoseQ, true, 120, 25, false, 0, localGlide},
    };
    return clips;
}

const QMCClip& qmcOpening() { return qmcClips()[0]; }
const QMCClip& qmcClip(int k) { return qmcClips()[k + 1]; }
