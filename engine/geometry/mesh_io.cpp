// FXMesh records: the full record (header, vertices, indices) and the header record, read from
// package entries and files and written to files. Stored counts are checked against what is left
// of the source before anything is allocated; a record that does not fit, or whose indices name
// missing vertices, leaves the mesh empty with a trace line.
#include <cstdint>

#include "base/binio.h"
#include "base/package.h"
#include "base/trace.h"
#include "geometry/mesh.h"
#include "geometry/vertexio.h"
#include "image/material.h"
#include "image/matlib.h"

namespace {

bool localRefuse(FXMesh* m, const char* what, int value) {
    err(FX_ERR_DAMAGED, "mesh '%s' refused: %s (%d)\n", m->materialName.c_str(), what, value);
    m->vertexCount = 0;
    m->indexCount = 0;
    return false;
}

void localBindMaterial(FXMesh* m, FXMatlib* lib) { m->material = lib ? lib->FindMaterial(m->materialName) : nullptr; }

// The fields both records share, up to colorMode.
void localReadHeaderC(FXMesh* m, FXPackageData* d, FXMatlib* lib) {
    d->ReadString(&m->materialName);
    localBindMaterial(m, lib);
    m->loaded_u = d->ReadFloat();
    m->loaded_v = d->ReadFloat();
    m->drawPass = d->ReadInt();
    m->colorMode = d->ReadInt();
}

// File reads yield 0 past the end, like the package cursor.
int localFileInt(FILE* f) {
    int32_t v = 0;
    return fxFileReadInt(f, &v) ? v : 0;
}

float localFileFloat(FILE* f) {
    float v = 0.0f;
    return fxFileReadFloat(f, &v) ? v : 0.0f;
}

void localReadHeader(FXMesh* m, FILE* f, FXMatlib* lib) {
    m->materialName.Load(f);
    localBindMaterial(m, lib);
    m->loaded_u = localFileFloat(f);
    m->loaded_v = localFileFloat(f);
    m->drawPass = localFileInt(f);
    m->colorMode = localFileInt(f);
}

void localWriteHeader(const FXMesh* m, FILE* f, float u, float v) {
    m->materialName.Save(f);
    fxFileWriteFloat(f, u);
    fxFileWriteFloat(f, v);
    fxFileWriteInt(f, m->drawPass);
    fxFileWriteInt(f, m->colorMode);
}

// Counts of a header record: each corner takes at least one byte of the corner stream that follows
// later in the same source, and no more vertices can be rebuilt than there are corners.
bool localHeaderCounts(FXMesh* m, int v, int i, long remaining) {
    if (v < 0) return localRefuse(m, "negative vertex count", v);
    if (!fxCountFits(i, 1, remaining)) return localRefuse(m, "corner count does not fit", i);
    if (v > i) v = i;
    m->Realloc(v, i);
    return true;
}

}  // namespace

bool FXMesh::LoadMeshC(FXPackage*, FXPackageData* d, FXMatlib* lib) {
    localReadHeaderC(this, d, lib);
    int v = d->ReadInt();
    if (!fxCountFits(v, FX_VERTEX_RECORD_SIZE, d->remaining)) return localRefuse(this, "vertex count does not fit", v);
    Realloc(v, 0);
    const unsigned char* b = static_cast<const unsigned char*>(d->ReadBlc(v * FX_VERTEX_RECORD_SIZE));
    for (int k = 0; k < v; k++) fxGetVertex(b + size_t(k) * FX_VERTEX_RECORD_SIZE, &vertices[k]);
    int n = d->ReadInt();
    if (!fxCountFits(n, 4, d->remaining)) return localRefuse(this, "index count does not fit", n);
    Realloc(v, n);
    b = static_cast<const unsigned char*>(d->ReadBlc(n * 4));
    for (int k = 0; k < n; k++) indices[k] = fxGetI32(b + 4 * size_t(k));
    if (!fxMeshIndicesValid(this)) return localRefuse(this, "index beyond the vertices, vertex count", v);
    return true;
}

bool FXMesh::LoadMeshIC(FXPackage*, FXPackageData* d, FXMatlib* lib) {
    localReadHeaderC(this, d, lib);
    int v = d->ReadInt();
    int i = d->ReadInt();
    return localHeaderCounts(this, v, i, d->remaining);
}

bool FXMesh::LoadMesh(FILE* f, FXMatlib* lib) {
    localReadHeader(this, f, lib);
    int v = localFileInt(f);
    if (!fxCountFits(v, FX_VERTEX_RECORD_SIZE, fxFileRemaining(f)))
        return localRefuse(this, "vertex count does not fit", v);
    Realloc(v, 0);
    if (!fxFileReadVertices(f, vertices, v)) return localRefuse(this, "short vertex block", v);
    int n = localFileInt(f);
    if (!fxCountFits(n, 4, fxFileRemaining(f))) return localRefuse(this, "index count does not fit", n);
    Realloc(v, n);
    for (int k = 0; k < n; k++) {
        int32_t x;
        if (!fxFileReadInt(f, &x)) return localRefuse(this, "short index block", n);
        indices[k] = x;
    }
    if (!fxMeshIndicesValid(this)) return localRefuse(this, "index beyond the vertices, vertex count", v);
    return true;
}

bool FXMesh::LoadMeshI(FILE* f, FXMatlib* lib) {
    localReadHeader(this, f, lib);
    int v = localFileInt(f);
    int i = localFileInt(f);
    return localHeaderCounts(this, v, i, fxFileRemaining(f));
}

void FXMesh::SaveMesh(FILE* f) const {
    localWriteHeader(this, f, material ? material->texScaleU : 0.0f, material ? material->texScaleV : 0.0f);
    int v = vertices && vertexCount > 0 ? vertexCount : 0;
    int n = indices && indexCount > 0 ? indexCount : 0;
    fxFileWriteInt(f, v);
    fxFileWriteVertices(f, vertices, v);
    fxFileWriteInt(f, n);
    for (int k = 0; k < n; k++) fxFileWriteInt(f, indices[k]);
}

void FXMesh::SaveMeshI(FILE* f) const {
    float u = loaded_u;
    float v = loaded_v;
    if (material) {
        u = material->texScaleU;
        v = material->texScaleV;
        if (u == 0.0f) {
            u = loaded_u;
            trc("save u from loaded_u (%g)\n", double(loaded_u));
        }
        if (v == 0.0f) v = loaded_v;
    }
    localWriteHeader(this, f, u, v);
    fxFileWriteInt(f, vertexCount > 0 ? vertexCount : 0);
    fxFileWriteInt(f, indexCount > 0 ? indexCount : 0);
}
