// Field-by-field conversion of vertex records and the stored-count checks of the geometry loaders.
#include "geometry/vertexio.h"

#include "base/binio.h"
#include "geometry/mesh.h"

namespace {

void localGetFloats(const unsigned char*& p, float* dst, int n) {
    for (int i = 0; i < n; i++, p += 4) dst[i] = fxGetF32(p);
}

void localPutFloats(unsigned char*& p, const float* src, int n) {
    for (int i = 0; i < n; i++, p += 4) fxPutF32(p, src[i]);
}

}  // namespace

void fxGetVertex(const void* b, tagFXVertex* v) {
    const unsigned char* p = static_cast<const unsigned char*>(b);
    localGetFloats(p, v->pos, 3);
    localGetFloats(p, v->normal, 3);
    localGetFloats(p, v->uv, 2);
    localGetFloats(p, v->color, 4);
    localGetFloats(p, v->normalSum, 3);
    v->mark = fxGetI32(p);
    for (int i = 0; i < 3; i++) v->srcIndex[i] = fxGetI32(p + 4 + 4 * i);
}

void fxPutVertex(void* b, const tagFXVertex* v) {
    unsigned char* p = static_cast<unsigned char*>(b);
    localPutFloats(p, v->pos, 3);
    localPutFloats(p, v->normal, 3);
    localPutFloats(p, v->uv, 2);
    localPutFloats(p, v->color, 4);
    localPutFloats(p, v->normalSum, 3);
    fxPutI32(p, v->mark);
    for (int i = 0; i < 3; i++) fxPutI32(p + 4 + 4 * i, v->srcIndex[i]);
}

bool fxFileReadVertices(FILE* f, tagFXVertex* v, int n) {
    unsigned char b[FX_VERTEX_RECORD_SIZE];
    for (int i = 0; i < n; i++) {
        if (fread(b, 1, sizeof b, f) != sizeof b) return false;
        fxGetVertex(b, &v[i]);
    }
    return true;
}

bool fxFileWriteVertices(FILE* f, const tagFXVertex* v, int n) {
    unsigned char b[FX_VERTEX_RECORD_SIZE];
    for (int i = 0; i < n; i++) {
        fxPutVertex(b, &v[i]);
        if (fwrite(b, 1, sizeof b, f) != sizeof b) return false;
    }
    return true;
}

bool fxCountFits(long count, long itemSize, long remaining) {
    if (count < 0) return false;
    if (remaining < 0) return count <= kUnknownSourceLimit;
    return itemSize <= 0 || count <= remaining / itemSize;
}

bool fxMeshIndicesValid(const FXMesh* m) {
    for (int i = 0; i < m->indexCount; i++)
        if (m->indices[i] < 0 || m->indices[i] >= m->vertexCount) return false;
    return true;
}
