// FXMesh authoring operations that sample pictures: colour maps, bump maps and the removal of
// triangles that lie wholly on transparent texels of the mesh's own texture.
#include "base/trace.h"
#include "geometry/mesh.h"
#include "geometry/vertexio.h"
#include "image/canvas.h"
#include "image/material.h"

namespace {

float localSampleV(const FXMesh* m, float v) { return m->flipV ? 1.0f - v : v; }

// A picture that failed to load has no pixels; sampling it would yield no colour at all.
bool localHasPixels(const FXCanvas* c) { return c && c->pixmap.data && c->pixmap.width > 0 && c->pixmap.height > 0; }

}  // namespace

void FXMesh::ApplyColorMap(FXCanvas* canvas, const float* mul) {
    if (!localHasPixels(canvas)) return;
    for (int i = 0; i < vertexCount; i++) {
        tagFXVertex& v = vertices[i];
        float c[4];
        canvas->GetColor(v.uv[0], localSampleV(this, v.uv[1]), c);
        for (int k = 0; k < 4; k++) v.color[k] = c[k] * mul[k];
    }
}

void FXMesh::ApplyFrontColorMap(FXCanvas* canvas, const float* mul) {
    if (!localHasPixels(canvas)) return;
    for (int i = 0; i < vertexCount; i++) {
        tagFXVertex& v = vertices[i];
        float c[4];
        canvas->GetColor((v.pos[0] + 1.0f) * 0.5f, localSampleV(this, (1.0f - v.pos[1]) * 0.5f), c);
        for (int k = 0; k < 4; k++) v.color[k] = c[k] * mul[k];
    }
}

void FXMesh::ApplyBumpMap(FXCanvas* canvas, float scale) {
    if (!localHasPixels(canvas)) return;
    for (int i = 0; i < vertexCount; i++) {
        tagFXVertex& v = vertices[i];
        float c[4];
        canvas->GetColor(v.uv[0], localSampleV(this, v.uv[1]), c);
        float d = scale * c[2];
        if (d > 0.0f) {
            for (int k = 0; k < 3; k++) v.pos[k] += v.normal[k] * d;
            v.mark = 1;
        } else {
            v.mark = 0;
        }
    }
}

bool FXMesh::TestTriangleTransp(int, const int32_t* corners, float threshold) {
    if (!material || !material->textureSource) return true;
    for (int k = 0; k < 3; k++) {
        int i = corners[k];
        if (i < 0 || i >= vertexCount) continue;
        float c[4];
        material->textureSource->GetColor(vertices[i].uv[0], vertices[i].uv[1], c);
        if (c[3] > threshold) return true;
    }
    return false;
}

void FXMesh::DiscardTrianglesTransp(int unused, float threshold) {
    if (indexCount <= 0 || !material || !material->hasTexture || !material->textureSource) return;
    if (!fxMeshIndicesValid(this)) return;
    const int whole = indexCount - indexCount % 3;
    int kept = 0;
    for (int t = 0; t < whole; t += 3) {
        if (!TestTriangleTransp(unused, indices + t, threshold)) continue;
        for (int k = 0; k < 3; k++) indices[kept + k] = indices[t + k];
        kept += 3;
    }
    if (kept == whole) {
        trc("DiscardTriangles (no effect) cnt:%d\n", indexCount);
        return;
    }
    trc("DiscardTriangles from:%d  to:%d\n", indexCount, kept);
    indexCount = kept;
    DiscardVertices();
}
