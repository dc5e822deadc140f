// FXMesh authoring operations that work on geometry alone: normals, bounds and unitizing, the front
// texture projection, clean-up of unused vertices and axis transforms. Operations that read
// indices check them first and leave a mesh with a stray index unchanged.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/trace.h"
#include "geometry/mesh.h"
#include "geometry/vertexio.h"

namespace {

float localLength(const float* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

}  // namespace

// ---- normals ----

void FXMesh::ComputeNormalsZ(bool selective, float zScale) {
    const int triangles = indexCount / 3;
    if (triangles < 1 || vertexCount <= 0 || !fxMeshIndicesValid(this)) return;
    for (int i = 0; i < vertexCount; i++) memset(vertices[i].normalSum, 0, sizeof vertices[i].normalSum);
    for (int t = 0; t < triangles; t++) {
        tagFXVertex* c[3] = {&vertices[indices[3 * t]], &vertices[indices[3 * t + 1]], &vertices[indices[3 * t + 2]]};
        if (selective && !c[0]->mark && !c[1]->mark && !c[2]->mark) continue;
        float e1[3], e2[3];
        for (int k = 0; k < 3; k++) {
            e1[k] = c[0]->pos[k] - c[1]->pos[k];
            e2[k] = c[0]->pos[k] - c[2]->pos[k];
        }
        e1[2] *= zScale;
        e2[2] *= zScale;
        float n[3] = {e2[1] * e1[2] - e2[2] * e1[1], e2[2] * e1[0] - e1[2] * e2[0], e1[1] * e2[0] - e2[1] * e1[0]};
        float len = localLength(n);
        if (len == 0.0f) continue;  // no area: contributes nothing
        for (float& x : n) x /= len;
        for (tagFXVertex* v : c) {
            v->mark = 1;
            for (int k = 0; k < 3; k++) v->normalSum[k] += n[k];
        }
    }
    Normalize(selective);
}

void FXMesh::Normalize(bool selective) {
    for (int i = 0; i < vertexCount; i++) {
        tagFXVertex& v = vertices[i];
        if (selective && !v.mark) continue;
        float len = localLength(v.normalSum);
        if (len == 0.0f) continue;
        for (int k = 0; k < 3; k++) v.normal[k] = v.normalSum[k] / len;
    }
}

// ---- texture projections ----

void FXMesh::ComputeFrontTexCoords() {
    for (int i = 0; i < vertexCount; i++) {
        tagFXVertex& v = vertices[i];
        v.uv[0] = (v.pos[0] + 1.0f) * 0.5f;
        v.uv[1] = (1.0f - v.pos[1]) * 0.5f;
    }
}

void FXMesh::CopyTexCoords(const FXMesh* src) {
    if (!src) return;
    int n = vertexCount < src->vertexCount ? vertexCount : src->vertexCount;
    for (int i = 0; i < n; i++) memcpy(vertices[i].uv, src->vertices[i].uv, sizeof vertices[i].uv);
}

// ---- bounds and unitizing ----

void FXMesh::FindMaxims(float* box) const {
    for (int k = 0; k < 6; k++) box[k] = 0.0f;
    bool first = true;
    FindMultiMaxims(&first, box);
}

void FXMesh::FindMultiMaxims(bool* first, float* box) const {
    for (int i = 0; i < vertexCount; i++) {
        const float* p = vertices[i].pos;
        for (int k = 0; k < 3; k++) {
            if (*first || p[k] < box[2 * k]) box[2 * k] = p[k];
            if (*first || p[k] > box[2 * k + 1]) box[2 * k + 1] = p[k];
        }
        *first = false;
    }
}

namespace {

// Moves the box centre to the origin and scales each axis by its factor.
void localCentreScale(FXMesh* m, const float* box, const float* scale) {
    float centre[3];
    for (int k = 0; k < 3; k++) centre[k] = (box[2 * k] + box[2 * k + 1]) * 0.5f;
    for (int i = 0; i < m->vertexCount; i++)
        for (int k = 0; k < 3; k++) m->vertices[i].pos[k] = (m->vertices[i].pos[k] - centre[k]) * scale[k];
}

// 2 / extent, an extent of 0 counting as 2 (no scaling).
float localStretch(const float* box, int axis) {
    float extent = box[2 * axis + 1] - box[2 * axis];
    return extent == 0.0f ? 1.0f : 2.0f / extent;
}

}  // namespace

void FXMesh::UnitizeMaxims(const float* box) {
    float largest = 0.0f;
    for (int k = 0; k < 3; k++) {
        float extent = box[2 * k + 1] - box[2 * k];
        if (extent > largest) largest = extent;
    }
    // A box without extent (a single point) is only centred.
    float s = largest > 0.0f ? 2.0f / largest : 1.0f;
    float scale[3] = {s, s, s};
    localCentreScale(this, box, scale);
}

void FXMesh::UnitizeMaximsStretch(const float* box) {
    float scale[3] = {localStretch(box, 0), localStretch(box, 1), localStretch(box, 2)};
    localCentreScale(this, box, scale);
}

void FXMesh::UnitizeMaximsStretch1(const float* box) {
    float scale[3] = {localStretch(box, 0), localStretch(box, 1), 1.0f};
    localCentreScale(this, box, scale);
}

void FXMesh::Unitize() {
    float box[6];
    FindMaxims(box);
    UnitizeMaxims(box);
}

// ---- positions ----

void FXMesh::FlipHoriz() {
    for (int i = 0; i < vertexCount; i++) vertices[i].pos[0] = -vertices[i].pos[0];
}

void FXMesh::ExtendPositions(float d) {
    for (int i = 0; i < vertexCount; i++) {
        tagFXVertex& v = vertices[i];
        for (int k = 0; k < 3; k++) v.pos[k] += v.normal[k] * d;
        v.mark = 1;
    }
}

void FXMesh::Transform(int ix, int iy, int iz, bool negX, bool negY, bool negZ) {
    const int axis[3] = {ix, iy, iz};
    for (int a : axis)
        if (a < 0 || a > 2) return;
    const bool neg[3] = {negX, negY, negZ};
    for (int i = 0; i < vertexCount; i++) {
        tagFXVertex& v = vertices[i];
        float p[3], n[3];
        for (int k = 0; k < 3; k++) {
            p[k] = v.pos[axis[k]];
            n[k] = v.normal[axis[k]];
        }
        for (int k = 0; k < 3; k++) {
            v.pos[k] = neg[k] ? -p[k] : p[k];
            v.normal[k] = neg[k] ? -n[k] : n[k];
        }
    }
}

int FXMesh::TextToIndi(const char* text) {
    if (!text) return -1;
    switch (text[0]) {
        case 'x': return 0;
        case 'y': return 1;
        case 'z': return 2;
        default: return -1;
    }
}

// ---- clean-up ----

void FXMesh::DiscardVertices() {
    if (vertexCount <= 0) return;
    if (!fxMeshIndicesValid(this)) {
        err(FX_ERR_DAMAGED, "DiscardVertices: mesh '%s' has an index beyond its vertices; unchanged\n",
            materialName.c_str());
        return;
    }
    for (int i = 0; i < vertexCount; i++) vertices[i].mark = -1;
    for (int k = 0; k < indexCount; k++) vertices[indices[k]].mark = 0;
    int kept = 0;
    for (int i = 0; i < vertexCount; i++)
        if (vertices[i].mark == 0) vertices[i].mark = kept++;
    tagFXVertex* fresh = static_cast<tagFXVertex*>(malloc(sizeof(tagFXVertex) * size_t(kept ? kept : 1)));
    if (!fresh) return;
    for (int k = 0; k < indexCount; k++) indices[k] = vertices[indices[k]].mark;
    for (int i = 0; i < vertexCount; i++)
        if (vertices[i].mark >= 0) fresh[vertices[i].mark] = vertices[i];
    free(vertices);
    vertices = fresh;
    vertexCapacity = vertexCount = kept;
}
