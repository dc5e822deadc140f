// FXAnim authoring: writing the "xa03" and v02 records, the vertex-sharing test the compact
// writer asks, and the package compile step. The compact record stores one mesh header and one
// corner stream per mesh for all frames, so it is only written for frames that share frame 0's
// meshes and triangles; each frame then stores its own vector map over the same vector slots.
#include <cstring>
#include <memory>
#include <vector>

#include "anim/anim.h"
#include "base/binio.h"
#include "base/trace.h"
#include "geometry/data.h"
#include "geometry/mesh.h"
#include "geometry/vertexio.h"

namespace {

// Frame names (one per frame: missing names are written empty), durations, timing graph, spare
// value and the four flags.
void localSaveHead(const FXAnim* a, FILE* f) {
    const int n = a->GetFrameCount();
    fxFileWriteInt(f, n);
    for (int i = 0; i < n; i++) FXStr(i < a->frameNames.top ? a->frameNames.Get(i) : "").Save(f);
    a->durations.Save(f);
    a->graph.Save(f);
    fxFileWriteFloat(f, a->spareValue);
    fxFileWriteBool(f, a->playing);
    fxFileWriteBool(f, a->backwards);
    fxFileWriteBool(f, a->loop);
    fxFileWriteBool(f, a->pingPong);
}

bool localClose(FILE* f, const char* path) {
    bool ok = !ferror(f);
    if (fclose(f) != 0) ok = false;
    if (!ok) err({FX_ERR_IO, nullptr, path}, "animation could not be written to %s\n", path);
    return ok;
}

// Position, normal or texture coordinate not a number.
bool localHasNaN(const tagFXVertex& v) {
    const float* x = v.pos;  // pos, normal, uv: eight consecutive floats
    for (int k = 0; k < 8; k++)
        if (x[k] != x[k]) return true;
    return false;
}

// The working meshes of frame 0 that are written (the present ones), after checking that every
// frame has them with the same vertex count and the same triangles. Empty with a trace line when
// a frame differs.
bool localSharedMeshes(const FXAnim* a, std::vector<int>* saved) {
    const FXModel* first = a->GetModel(0);
    if (!first) {
        err(FX_ERR_REFUSED, "animation not saved: frame 0 has no model\n");
        return false;
    }
    for (int k = 0; k < first->meshes.Count(); k++) {
        const FXMesh* m0 = first->EnumMeshes(k);
        if (!m0) continue;
        if (!fxMeshIndicesValid(m0)) {
            err(FX_ERR_REFUSED, "animation not saved: mesh %d of frame 0 has an index beyond its vertices\n", k);
            return false;
        }
        // A value that equals nothing would take a new vector slot at every corner: the record
        // would then name more vertices than its header holds.
        for (int c = 0; c < m0->indexCount; c++)
            if (localHasNaN(m0->vertices[m0->indices[c]])) {
                err(FX_ERR_REFUSED,
                    "animation not saved: vertex %d of mesh %d of frame 0 holds a value that is not a number\n",
                    m0->indices[c], k);
                return false;
            }
        saved->push_back(k);
    }
    for (int i = 1; i < a->GetFrameCount(); i++) {
        const FXModel* fm = a->GetModel(i);
        bool same = fm && fm->meshes.Count() == first->meshes.Count();
        for (size_t s = 0; same && s < saved->size(); s++) {
            const FXMesh* m0 = first->EnumMeshes((*saved)[s]);
            const FXMesh* m = fm->EnumMeshes((*saved)[s]);
            same =
                m && m->vertexCount == m0->vertexCount && m->indexCount == m0->indexCount &&
                (m0->indexCount <= 0 || memcmp(m->indices, m0->indices, sizeof(int32_t) * size_t(m0->indexCount)) == 0);
        }
        if (!same) {
            err(FX_ERR_REFUSED, "animation not saved: frame %d does not share the meshes and triangles of frame 0\n",
                i);
            return false;
        }
    }
    return true;
}

bool localSameVertex(const tagFXVertex& a, const tagFXVertex& b) {
    const float* x = a.pos;  // pos, normal, uv and the red of color: nine consecutive floats
    const float* y = b.pos;
    for (int k = 0; k < 9; k++)
        if (!(x[k] == y[k])) return false;
    return true;
}

const tagFXVertex* localVertex(const FXModel* m, int mesh, int vertex) {
    const FXMesh* x = m ? m->EnumMeshes(mesh) : nullptr;
    return x && vertex >= 0 && vertex < x->vertexCount ? &x->vertices[vertex] : nullptr;
}

}  // namespace

bool FXAnim::TestRedirect(int meshA, int vertA, int meshB, int vertB) {
    // A vertex stands for itself, also when a value of it is not a number in some frame.
    if (meshA == meshB && vertA == vertB && localVertex(GetModel(0), meshA, vertA)) return true;
    for (int i = 0; i < GetFrameCount(); i++) {
        const tagFXVertex* a = localVertex(GetModel(i), meshA, vertA);
        const tagFXVertex* b = localVertex(GetModel(i), meshB, vertB);
        if (!a || !b || !localSameVertex(*a, *b)) return false;
    }
    return true;
}

bool FXAnim::Save(const char* path) {
    std::vector<int> saved;
    if (GetFrameCount() > 0 && !localSharedMeshes(this, &saved)) return false;
    FILE* f = path ? fopen(path, "wb") : nullptr;
    if (!f) {
        err(FX_ERR_IO, "animation could not be created at %s\n", path ? path : "(no path)");
        return false;
    }
    FXStr("xa03").Save(f);
    localSaveHead(this, f);
    const int frames = GetFrameCount();
    const FXModel* first = GetModel(0);
    fxFileWriteInt(f, int(saved.size()));
    (first ? first->matlibName : FXStr()).Save(f);
    // The same triangles in every frame renumber alike, so vertex l stays vertex l everywhere.
    for (int i = 0; i < frames; i++)
        for (int k : saved) GetModel(i)->EnumMeshes(k)->DiscardVertices();
    FXVectorMap map;
    std::vector<std::unique_ptr<FXNumPool>> pools;
    std::vector<std::unique_ptr<FXArray[]>> redirs;
    for (int k : saved) {
        pools.emplace_back(new FXNumPool(800000));
        redirs.emplace_back(new FXArray[3]);
        FXArray* r[3] = {&redirs.back()[0], &redirs.back()[1], &redirs.back()[2]};
        FXMesh* m = first->EnumMeshes(k);
        m->ToVMap(&map, pools.back().get(), this, k, r);
        m->SaveMeshI(f);
    }
    for (auto& pool : pools) pool->Save(f);
    for (int i = 0; i < frames; i++) {
        for (size_t s = 0; i > 0 && s < saved.size(); s++) {
            FXArray* r[3] = {&redirs[s][0], &redirs[s][1], &redirs[s][2]};
            GetModel(i)->EnumMeshes(saved[s])->ApplyRedir(&map, r);
        }
        map.Save(f);
    }
    return localClose(f, path);
}

bool FXAnim::Save_v02(const char* path) {
    FILE* f = path ? fopen(path, "wb") : nullptr;
    if (!f) {
        err(FX_ERR_IO, "animation could not be created at %s\n", path ? path : "(no path)");
        return false;
    }
    localSaveHead(this, f);
    return localClose(f, path);
}

bool FXAnim::Compile(FXPackage* pkg) {
    if (!pkg) return false;
    bool ok = true;
    for (int i = 0; i < models.Count(); i++) {
        FXModel* m = GetModel(i);
        if (m && m->matlib && !m->Compile(pkg)) ok = false;
    }
    return ok;
}
