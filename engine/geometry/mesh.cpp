// FXMesh at run time: allocation, copies, texture rescaling and recolouring. Records are in
// mesh_io.cpp, the vector-map coder in mesh_vmap.cpp, authoring operations in mesh_edit.cpp and
// mesh_maps.cpp.
#include "geometry/mesh.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/material.h"

void FXMesh::Destroy() {
    free(vertices);
    free(indices);
    vertices = nullptr;
    indices = nullptr;
    vertexCapacity = vertexCount = 0;
    indexCapacity = indexCount = 0;
}

namespace {

// A block for n items (at least one), or null when the allocation fails. On 32-bit builds n items
// of 76 bytes can exceed size_t; such a count fails like any allocation instead of wrapping to a
// small block that the caller would then fill past its end.
template <typename T>
T* localAllocItems(int n) {
    if (size_t(n) > SIZE_MAX / sizeof(T)) return nullptr;
    return static_cast<T*>(malloc(sizeof(T) * size_t(n ? n : 1)));
}

}  // namespace

int FXMesh::Realloc(int newVertexCount, int newIndexCount) {
    if (newVertexCount < 0) newVertexCount = 0;
    if (newIndexCount < 0) newIndexCount = 0;
    if (!vertices || vertexCapacity < newVertexCount) {
        free(vertices);
        vertices = localAllocItems<tagFXVertex>(newVertexCount);
        vertexCapacity = vertices ? newVertexCount : 0;
    }
    vertexCount = vertices ? newVertexCount : 0;
    if (!indices || indexCapacity < newIndexCount) {
        free(indices);
        indices = localAllocItems<int32_t>(newIndexCount);
        indexCapacity = indices ? newIndexCount : 0;
    }
    indexCount = indices ? newIndexCount : 0;
    return indexCount;
}

void FXMesh::Copy(const FXMesh* src) {
    if (!src || src == this) return;
    CopyMeshI(src);
    if (vertexCount > 0) memcpy(vertices, src->vertices, sizeof(tagFXVertex) * size_t(vertexCount));
    if (indexCount > 0) memcpy(indices, src->indices, sizeof(int32_t) * size_t(indexCount));
}

void FXMesh::CopyMeshI(const FXMesh* src) {
    if (!src || src == this) return;
    material = src->material;
    materialName = src->materialName;
    loaded_u = src->loaded_u;
    loaded_v = src->loaded_v;
    drawPass = src->drawPass;
    colorMode = src->colorMode;
    Realloc(src->vertexCount, src->indexCount);
}

namespace {

void localScaleTexCoords(FXMesh* m, float su, float sv) {
    for (int i = 0; i < m->vertexCount; i++) {
        float* uv = m->vertices[i].uv;
        uv[0] *= su;
        uv[1] = m->flipV ? (1.0f - uv[1]) * sv : uv[1] * sv;
    }
}

}  // namespace

void FXMesh::ResizeTexCoords() {
    if (!material) return;
    float su = material->texScaleU;
    float sv = material->texScaleV;
    if (!(su > 0.0f) || !(sv > 0.0f)) return;
    if (loaded_u > 0.0f) su /= loaded_u;
    if (loaded_v > 0.0f) sv /= loaded_v;
    localScaleTexCoords(this, su, sv);
}

bool FXMesh::HidesWhatLiesBehind() const {
    return drawPass == 0 && colorMode == 0 && !secondMesh && material && material->Hides();
}

void FXMesh::ResizeTexCoords1() {
    if (!material) return;
    float su = material->texScaleU;
    float sv = material->texScaleV;
    if (!(su > 0.0f) || !(sv > 0.0f)) return;
    localScaleTexCoords(this, su, sv);
}

void FXMesh::SetVerticesCol(const float* rgba) {
    for (int i = 0; i < vertexCount; i++) memcpy(vertices[i].color, rgba, sizeof(float) * 4);
}
