// FXModel at run time and its records: loading both formats from package entries and files,
// saving both formats, the mesh groups, and the drawing order.
#include "geometry/model.h"

#include <cstring>
#include <memory>
#include <vector>

#include "base/binio.h"
#include "base/input_file.h"
#include "base/package.h"
#include "base/trace.h"
#include "geometry/data.h"
#include "geometry/mesh.h"
#include "geometry/vertexio.h"
#include "image/material.h"
#include "image/matlib.h"

namespace {

// Smallest bytes one mesh takes after the count: full record (name length, two scales, pass, mode,
// V, I) and header record plus the number pool's length.
enum { kMinFullRecord = 28, kMinCompactRecord = 32 };

// The mesh at i, or null for an empty slot or a position outside the group.
FXMesh* localMesh(const FXPtrArray<FXMesh>* group, int i) {
    if (!group || i < 0 || i >= group->Count()) return nullptr;
    return group->Get(i);
}

void localCopyMeshGroup(FXPtrArray<FXMesh>* dst, const FXPtrArray<FXMesh>* src) {
    if (!dst || !src) return;
    dst->DeleteContents();
    if (src->Count() < 1) return;
    dst->Reserve(src->Count());
    for (int i = 0; i < src->Count(); i++) {
        const FXMesh* s = localMesh(src, i);
        FXMesh* m = nullptr;
        if (s) {
            m = new FXMesh;
            m->Copy(s);
        }
        dst->Push(m);
    }
}

// The two sources of a model record, behind one face so that both formats are read once. The
// library comes from the environment the model is loaded for (none without one).
struct localPackageSource {
    PEnv* env;
    FXPackage* pkg;
    FXPackageData* d;
    void Str(FXStr* s) { d->ReadString(s); }
    int Int() { return d->ReadInt(); }
    long Remaining() const { return d->remaining; }
    FXMatlib* Library(const char* n) { return env ? env->LoadMatlibC(pkg, n) : nullptr; }
    bool Full(FXMesh* m, FXMatlib* lib) { return m->LoadMeshC(pkg, d, lib); }
    bool Header(FXMesh* m, FXMatlib* lib) { return m->LoadMeshIC(pkg, d, lib); }
    bool Map(FXVectorMap* map) { return map->LoadC(pkg, d); }
    bool Pool(FXNumPool* pool) { return pool->LoadC(pkg, d); }
};

struct localFileSource {
    PEnv* env;
    FILE* f;
    void Str(FXStr* s) { s->Load(f); }
    int Int() {
        int32_t v = 0;
        return fxFileReadInt(f, &v) ? v : 0;
    }
    long Remaining() const { return fxFileRemaining(f); }
    FXMatlib* Library(const char* n) { return env ? env->LoadMatlib(n) : nullptr; }
    bool Full(FXMesh* m, FXMatlib* lib) { return m->LoadMesh(f, lib); }
    bool Header(FXMesh* m, FXMatlib* lib) { return m->LoadMeshI(f, lib); }
    bool Map(FXVectorMap* map) { return map->Load(f); }
    bool Pool(FXNumPool* pool) { return pool->Load(f); }
};

// Name, library name and the library itself.
template <typename Source>
void localReadHead(FXModel* model, Source& src) {
    src.Str(&model->name);
    src.Str(&model->matlibName);
    model->matlib.Adopt(src.env, src.Library(model->matlibName));
}

// M, checked against what is left; -1 when it cannot fit.
template <typename Source>
int localReadCount(FXModel* model, Source& src, int minRecord) {
    int m = src.Int();
    if (!fxCountFits(m, minRecord, src.Remaining())) {
        err(FX_ERR_DAMAGED, "model '%s' refused: %d meshes do not fit the record\n", model->name.c_str(), m);
        return -1;
    }
    return m;
}

// Full records: meshes load until one is damaged; the ones before it stay.
template <typename Source>
bool localLoadArray(FXModel* model, Source& src) {
    int count = localReadCount(model, src, kMinFullRecord);
    if (count < 0) return false;
    model->loadedMeshes.Reserve(count);
    for (int i = 0; i < count; i++) {
        FXMesh* m = new FXMesh;
        if (!src.Full(m, model->matlib.Get())) {
            delete m;
            return false;
        }
        model->loadedMeshes.Push(m);
    }
    return true;
}

template <typename Source>
bool localLoadCompact(FXModel* model, Source& src) {
    int count = localReadCount(model, src, kMinCompactRecord);
    if (count < 0) return false;
    FXVectorMap map;
    if (!src.Map(&map)) return false;
    FXNumPool pool;
    model->loadedMeshes.Reserve(count);
    for (int i = 0; i < count; i++) {
        FXMesh* m = new FXMesh;
        if (!src.Header(m, model->matlib.Get()) || !src.Pool(&pool) || !m->FromVMap(&map, &pool)) {
            delete m;
            return false;
        }
        model->loadedMeshes.Push(m);
    }
    return true;
}

// Working meshes that are written: present and not disabled. A mesh whose corner names a missing
// vertex is left out with a trace line: the loaders refuse such a record and would then drop every
// mesh after it as well.
std::vector<FXMesh*> localSavedMeshes(const FXModel* model, const FXPtrArray<FXMesh>& group) {
    std::vector<FXMesh*> out;
    for (int i = 0; i < group.Count(); i++) {
        FXMesh* m = localMesh(&group, i);
        if (!m || m->disabled) continue;
        if (!fxMeshIndicesValid(m)) {
            err(FX_ERR_DAMAGED, "model '%s': mesh %d ('%s') not saved: an index names a missing vertex\n",
                model->name.c_str(), i, m->materialName.c_str());
            continue;
        }
        out.push_back(m);
    }
    return out;
}

void localSaveHead(const FXModel* model, FILE* f, const char* magic) {
    FXStr(magic).Save(f);
    model->name.Save(f);
    model->matlibName.Save(f);
}

}  // namespace

void FXModel::Destroy() {
    name.Clear();
    matlibName.Clear();
    flipV = false;
    matlib.Reset();
    loadedMeshes.DeleteContents();
    meshes.DeleteContents();
}

// ---- loading ----

bool FXModel::LoadCN(PEnv* env, FXPackage* pkg, int entry) {
    Destroy();
    FXPackageData* d = pkg ? pkg->GetDataPtr(entry) : nullptr;
    if (!d) return false;
    FXStr magic;
    d->ReadString(&magic);
    if (magic.Compare("xm02"))
        Load_v02CN(env, pkg, d);
    else if (magic.Compare("xm03"))
        Load_v03CN(env, pkg, d);
    return true;
}

bool FXModel::LoadC(PEnv* env, FXPackage* pkg, const char* entryName) {
    int id;
    if (!fxParseEntryName(entryName, &id)) {
        Destroy();
        return false;
    }
    return LoadCN(env, pkg, id);
}

bool FXModel::Load_v02CN(PEnv* env, FXPackage* pkg, FXPackageData* d) {
    localPackageSource src{env, pkg, d};
    localReadHead(this, src);
    return localLoadArray(this, src);
}

bool FXModel::Load_v03CN(PEnv* env, FXPackage* pkg, FXPackageData* d) {
    localPackageSource src{env, pkg, d};
    localReadHead(this, src);
    return localLoadCompact(this, src);
}

bool FXModel::Load(PEnv* env, const char* path) {
    Destroy();
    FILE* f = fxOpenInputFile(path);
    if (!f) return false;
    FXStr magic;
    magic.Load(f);
    if (magic.Compare("xm02"))
        Load_v02(env, f);
    else if (magic.Compare("xm03"))
        Load_v03(env, f);
    fclose(f);
    return true;
}

bool FXModel::Load_v02(PEnv* env, FILE* f) {
    localFileSource src{env, f};
    localReadHead(this, src);
    return localLoadArray(this, src);
}

bool FXModel::Load_v03(PEnv* env, FILE* f) {
    localFileSource src{env, f};
    localReadHead(this, src);
    return localLoadCompact(this, src);
}

// ---- saving ----

bool FXModel::Save(const char* path) {
    FILE* f = path ? fopen(path, "wb") : nullptr;
    if (!f) return false;
    Save_v03(f);
    bool ok = !ferror(f);
    if (fclose(f) != 0) ok = false;
    if (!ok) err({FX_ERR_IO, nullptr, path}, "model '%s' could not be written to %s\n", name.c_str(), path);
    return ok;
}

void FXModel::Save_v02(FILE* f) {
    localSaveHead(this, f, "xm02");
    std::vector<FXMesh*> saved = localSavedMeshes(this, meshes);
    fxFileWriteInt(f, int(saved.size()));
    for (FXMesh* m : saved) m->SaveMesh(f);
}

void FXModel::Save_v03(FILE* f) {
    localSaveHead(this, f, "xm03");
    std::vector<FXMesh*> saved = localSavedMeshes(this, meshes);
    fxFileWriteInt(f, int(saved.size()));
    FXVectorMap map;
    std::vector<std::unique_ptr<FXNumPool>> pools;
    for (FXMesh* m : saved) {
        pools.emplace_back(new FXNumPool(800000));
        m->ToVMap(&map, pools.back().get(), nullptr, 0, nullptr);
    }
    map.Save(f);
    for (size_t i = 0; i < saved.size(); i++) {
        saved[i]->SaveMeshI(f);
        pools[i]->Save(f);
    }
}

// ---- working group ----

void FXModel::UpdateMeshes() { localCopyMeshGroup(&meshes, &loadedMeshes); }

void FXModel::ResizeTextCoords() {
    for (int i = 0; i < meshes.Count(); i++)
        if (FXMesh* m = localMesh(&meshes, i)) {
            m->flipV = flipV;
            m->ResizeTexCoords();
        }
}

void FXModel::UpdateColCol(const float* rgba) {
    for (int i = 0; i < meshes.Count(); i++)
        if (FXMesh* m = localMesh(&meshes, i)) {
            m->SetVerticesCol(rgba);
            m->colorMode = 1;
        }
}

void FXModel::Copy(const FXModel* src) {
    Destroy();
    if (!src || src == this) return;
    flipV = src->flipV;
    matlibName = src->matlibName;
    matlib.Share(src->matlib);
    localCopyMeshGroup(&meshes, &src->meshes);
}

// ---- drawing ----

void FXModel::OnRender(PEnv* env, double) {
    if (!env) return;
    const int n = meshes.Count();
    auto pass = [&](int p, int i) {
        FXMesh* m = localMesh(&meshes, i);
        if (m && m->drawPass == p) env->RenderMesh(m);
    };
    for (int i = 0; i < n; i++) pass(0, i);
    env->EnableCullface(true, false);
    for (int i = n - 1; i >= 0; i--) pass(1, i);
    env->EnableCullface(false, true);
    for (int i = 0; i < n; i++) pass(1, i);
    env->EnableCullface(false, false);
    env->EnableDepthWrite(false);
    for (int i = 0; i < n; i++) pass(2, i);
    env->EnableDepthWrite(true);
    for (int i = 0; i < n; i++) pass(2, i);
}

// ---- lookups ----

FXMesh* FXModel::EnumMeshes(int i) const { return localMesh(&meshes, i); }

const char* FXModel::EnumMeshNames(int i) const {
    FXMesh* m = localMesh(&meshes, i);
    return m && m->material ? m->material->name.c_str() : nullptr;
}

FXMesh* FXModel::FindMesh(const char* meshName) const {
    if (!meshName) return nullptr;
    for (int i = 0;; i++) {
        const char* n = EnumMeshNames(i);
        if (!n) return nullptr;
        if (strcmp(n, meshName) == 0) return EnumMeshes(i);
    }
}

void FXModel::DisableMesh(int i, bool off) {
    if (FXMesh* m = localMesh(&meshes, i)) m->disabled = off;
}

int FXModel::GetTotalVertices() const {
    int total = 0;
    for (int i = 0; i < meshes.Count(); i++)
        if (const FXMesh* m = localMesh(&meshes, i)) total += m->vertexCount;
    return total;
}
