// FXMesh and the vector map: decoding a mesh from a map and its corner stream (one vertex per
// distinct position/normal/texture index triple, numbered in order of first use), encoding a mesh
// into a map and a stream, and rewriting a map's slots with another frame's values.
#include <cstring>

#include "base/trace.h"
#include "geometry/data.h"
#include "geometry/mesh.h"
#include "geometry/vertexio.h"

namespace {

bool localRejectStream(FXMesh* m, FXVectorMap* map, const char* what, int corner) {
    err(FX_ERR_DAMAGED, "mesh '%s': corner stream refused at corner %d: %s\n", m->materialName.c_str(), corner, what);
    map->ClearUsed();
    m->vertexCount = 0;
    m->indexCount = 0;
    return false;
}

}  // namespace

bool FXMesh::FromVMap(FXVectorMap* map, FXNumPool* pool) {
    if (indexCount <= 0 || vertexCount <= 0) {
        // Nothing to rebuild: keep no undecoded vertices or corners around.
        vertexCount = 0;
        indexCount = 0;
        return true;
    }
    const int limit = vertexCount;  // the header's V sized the array
    map->SizeUsed();
    map->ClearUsed();
    vertexCount = 0;
    FXCornerCoder coder;
    pool->Reseek();
    for (int k = 0; k < indexCount; k++) {
        int idx[3];
        if (!coder.Read(pool, idx)) return localRejectStream(this, map, "the stream ends or is damaged", k);
        const int p = idx[0], n = idx[1], t = idx[2];
        if (p < 0 || p >= map->posCount || n < 0 || n >= map->normCount || t < 0 || t >= map->texCount)
            return localRejectStream(this, map, "index beyond the stored vectors", k);
        int v = map->GetUsed(p, n, t);
        if (v == -1) {
            if (vertexCount >= limit) return localRejectStream(this, map, "more vertices than the header holds", k);
            v = vertexCount++;
            map->PushUsed(p, n, t, v);
            tagFXVertex& x = vertices[v];
            map->GetVecPos(p, x.pos);
            map->GetVecNorm(n, x.normal);
            map->GetVecTex(t, x.uv);
            for (float& c : x.color) c = 1.0f;
            memset(x.normalSum, 0, sizeof x.normalSum);
            x.mark = 0;
            memset(x.srcIndex, 0, sizeof x.srcIndex);
        }
        indices[k] = v;
    }
    return true;
}

void FXMesh::ToVMap(FXVectorMap* map, FXNumPool* pool, PMeshSaveClb* clb, int meshNo, FXArray** redirs) {
    if (indexCount <= 0 || vertexCount <= 0) return;
    if (!fxMeshIndicesValid(this)) {
        err(FX_ERR_DAMAGED, "mesh '%s' not encoded: an index names a missing vertex\n", materialName.c_str());
        return;
    }
    DiscardVertices();
    FXCornerCoder coder;
    for (int k = 0; k < indexCount; k++) {
        const int w = indices[k];
        const tagFXVertex* vx = &vertices[w];
        int idx[3];
        idx[0] = map->PushVecPos(vx, clb, meshNo, w);
        idx[1] = map->PushVecNorm(vx, clb, meshNo, w);
        idx[2] = map->PushVecTex(vx, clb, meshNo, w);
        if (redirs)
            for (int i = 0; i < 3; i++)
                if (redirs[i]) redirs[i]->PushInt(idx[i]);
        coder.Push(pool, idx);
    }
}

void FXMesh::ApplyRedir(FXVectorMap* map, FXArray** redirs) {
    if (!redirs || !redirs[0] || !redirs[1] || !redirs[2]) return;
    for (int k = 0; k < indexCount; k++) {
        const int w = indices[k];
        if (w < 0 || w >= vertexCount) continue;
        const tagFXVertex* vx = &vertices[w];
        if (k < redirs[0]->top) map->SetVecPos(vx, redirs[0]->GetInt(k));
        if (k < redirs[1]->top) map->SetVecNorm(vx, redirs[1]->GetInt(k));
        if (k < redirs[2]->top) map->SetVecTex(vx, redirs[2]->GetInt(k));
    }
}
