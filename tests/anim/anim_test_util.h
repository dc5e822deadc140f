// Builders shared by the frame-animation tests: animations made in memory, their records as bytes,
// packages holding them, and the pose a reference FXBezierSpline gives for a key pair.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "anim/anim.h"
#include "anim/bezier.h"
#include "anim/bezierspline.h"
#include "base/package.h"
#include "geometry/geometry_test_util.h"
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "support/test_support.h"

using QmAnimBytes = std::vector<unsigned char>;

// Frame m of the test animation: a quad and a triangle whose every vertex moves its own way from
// frame to frame (so every pair and every segment gives a different pose).
inline FXModel* qmAnimFrame(int m) {
    FXModel* model = new FXModel;
    model->name.Format("frame%d", m);
    FXMesh* quad = new FXMesh;
    qmQuad(quad, 0.05f * float(m));
    FXMesh* tri = new FXMesh;
    qmFillMesh(tri, {qmVertex({0, 0, 0}), qmVertex({1, 0, 0}), qmVertex({0, 1, 0})}, {0, 1, 2});
    int v = 0;
    for (FXMesh* mesh : {quad, tri}) {
        mesh->materialName.Format("mat%d", v);
        for (int l = 0; l < mesh->vertexCount; l++, v++) {
            tagFXVertex& x = mesh->vertices[l];
            x.pos[0] += 0.3f * float(m * m % 5) - 0.1f * float(v);
            x.pos[1] += 0.2f * float((m + v) % 3) * float(m);
            x.normal[0] = 0.1f * float((m * 7 + v) % 4);
        }
        model->meshes.Push(mesh);
    }
    return model;
}

// An animation of one frame per duration, built from qmAnimFrame; names "f0", "f1", ...
inline void qmBuildAnim(FXAnim* a, const std::vector<int>& ms) {
    for (size_t m = 0; m < ms.size(); m++) {
        a->models.Push(qmAnimFrame(int(m)));
        a->frameNames.Push(("f" + std::to_string(m)).c_str());
        a->durations.PushInt(ms[m]);
    }
}

inline QmAnimBytes qmSavedAnim(FXAnim* a, bool compact, const std::string& name) {
    std::string path = qmTestPath(name);
    bool ok = compact ? a->Save(path.c_str()) : a->Save_v02(path.c_str());
    return ok ? qmReadFile(path) : QmAnimBytes();
}

inline void qmLoadPackage(FXPackage* pkg, const std::vector<QmEntry>& entries) {
    QmAnimBytes b = qmPackageFile(entries);
    pkg->LoadFromMemory(b.data(), long(b.size()));
}

// Vertex j of the model, counted over its working meshes in order.
inline const tagFXVertex* qmVertexAt(const FXModel& m, int j) {
    for (int k = 0; k < m.meshes.Count(); k++) {
        const FXMesh* mesh = m.EnumMeshes(k);
        if (!mesh) continue;
        if (j < mesh->vertexCount) return &mesh->vertices[j];
        j -= mesh->vertexCount;
    }
    return nullptr;
}

// The pose a looping (closed unless ping-pong) FXBezierSpline per vertex gives for the pair
// (from, to) at phase, traversed backwards when reverse is set; compared with imodel bit for bit.
inline void qmExpectPose(const FXAnim& a, int from, int to, bool reverse, const std::string& where) {
    FXBezierPhaseH h;
    h.Prepare(reverse ? 1.0f - a.phase : a.phase);
    const int n = a.GetFrameCount();
    const int total = a.imodel.GetTotalVertices();
    ASSERT_GT(total, 0) << where;
    for (int j = 0; j < total; j++) {
        for (int field = 0; field < 2; field++) {
            FXBezierSpline s;
            for (int m = 0; m < n; m++) {
                const tagFXVertex* v = qmVertexAt(*a.GetModel(m), j);
                for (int k = 0; k < 3; k++) s.keys.Push(field == 0 ? v->pos[k] : v->normal[k]);
            }
            s.tension = a.tension;
            s.Precompute();
            s.closed = !a.pingPong;
            s.linear = a.linear;
            s.SetActPoints(from, to);
            float want[3];
            s.GetH(want, &h);
            const tagFXVertex* got = qmVertexAt(a.imodel, j);
            ASSERT_EQ(0, memcmp(field == 0 ? got->pos : got->normal, want, sizeof want))
                << where << " vertex " << j << (field ? " normal" : " pos");
        }
    }
}
