// Synthetic content the benchmarks share: a grid mesh for the vector-map rows and a frame
// animation for the interpolation rows, made the same way wherever they are measured.
#pragma once

#include "anim/anim.h"
#include "base/other.h"
#include "geometry/mesh.h"
#include "geometry/model.h"

// A cols x cols grid of quads with distinct positions, shared normal, per-vertex texture coordinates.
inline void qmBenchGrid(FXMesh* m, int cols) {
    int side = cols + 1;
    m->Realloc(side * side, cols * cols * 6);
    for (int i = 0; i < side; i++)
        for (int j = 0; j < side; j++) {
            tagFXVertex& v = m->vertices[i * side + j];
            v = tagFXVertex{};
            v.pos[0] = float(j) / cols * 2 - 1, v.pos[1] = 1 - float(i) / cols * 2;
            v.normal[2] = -1;
            v.uv[0] = float(j) / cols, v.uv[1] = float(i) / cols;
        }
    int k = 0;
    for (int i = 0; i < cols; i++)
        for (int j = 0; j < cols; j++) {
            int tl = i * side + j, bl = tl + side;
            const int quad[6] = {tl, bl, tl + 1, bl, bl + 1, tl + 1};
            for (int q : quad) m->indices[k++] = q;
        }
}

// frames key frames of ten meshes of vertices / 10 vertices each, every vertex moving its own way
// from frame to frame (fixed seed), interpolated and started at clock 0.
inline void qmBenchAnimation(FXAnim* a, int vertices, int frames, bool linear) {
    fxSrand(5);
    for (int m = 0; m < frames; m++) {
        FXModel* model = new FXModel;
        for (int k = 0; k < 10; k++) {
            FXMesh* mesh = new FXMesh;
            mesh->Realloc(vertices / 10, 0);
            for (int l = 0; l < mesh->vertexCount; l++) {
                tagFXVertex& v = mesh->vertices[l];
                for (int c = 0; c < 3; c++) {
                    v.pos[c] = float(fxGetRandom()) * 2.0f - 1.0f;
                    v.normal[c] = float(fxGetRandom()) - 0.5f;
                }
            }
            model->meshes.Push(mesh);
        }
        a->models.Push(model);
        a->durations.PushInt(200);
    }
    a->linear = linear;
    a->UpdateInterpolation(true, false);
    a->StartAnim(0.0);
}
