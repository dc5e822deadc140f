// FXModel authoring operations: the mesh operations applied over the working group, whole-model
// unitizing, texture-coordinate transfer, material colour changes and mesh removal/duplication.
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "image/material.h"
#include "image/matlib.h"

namespace {

template <typename Fn>
void localEachMesh(const FXPtrArray<FXMesh>& group, Fn fn) {
    for (int i = 0; i < group.Count(); i++)
        if (FXMesh* m = group.Get(i)) fn(m);
}

// Takes m out of group (the caller owns it then); false when the group does not hold it.
bool localTakeMesh(FXPtrArray<FXMesh>* group, FXMesh* m) {
    int i = group->Find(m);
    if (i < 0) return false;
    group->Take(i);
    return true;
}

}  // namespace

void FXModel::Normalize(bool selective) {
    localEachMesh(meshes, [&](FXMesh* m) { m->Normalize(selective); });
}

void FXModel::ResizeTextCoords1() {
    localEachMesh(meshes, [&](FXMesh* m) {
        m->flipV = flipV;
        m->ResizeTexCoords1();
    });
}

void FXModel::FlipHoriz() {
    localEachMesh(meshes, [](FXMesh* m) { m->FlipHoriz(); });
}

void FXModel::FindMaxims(float* box) const {
    for (int k = 0; k < 6; k++) box[k] = 0.0f;
    bool first = true;
    localEachMesh(meshes, [&](FXMesh* m) { m->FindMultiMaxims(&first, box); });
}

void FXModel::UnitizeMaxims(const float* box) {
    localEachMesh(meshes, [&](FXMesh* m) { m->UnitizeMaxims(box); });
}

void FXModel::UnitizeMaximsStretch(const float* box) {
    localEachMesh(meshes, [&](FXMesh* m) { m->UnitizeMaximsStretch(box); });
}

void FXModel::UnitizeMaximsStretch1(const float* box) {
    localEachMesh(meshes, [&](FXMesh* m) { m->UnitizeMaximsStretch1(box); });
}

void FXModel::Unitize() {
    float box[6];
    FindMaxims(box);
    UnitizeMaxims(box);
}

void FXModel::UnitizeStretch() {
    float box[6];
    FindMaxims(box);
    UnitizeMaximsStretch(box);
}

void FXModel::UnitizeStretch1() {
    float box[6];
    FindMaxims(box);
    UnitizeMaximsStretch1(box);
}

void FXModel::ComputeFrontTexCoords(int i) {
    if (i == -1) {
        localEachMesh(meshes, [](FXMesh* m) { m->ComputeFrontTexCoords(); });
    } else if (FXMesh* m = EnumMeshes(i)) {
        m->ComputeFrontTexCoords();
    }
}

void FXModel::CopyTexCoords(int i, const FXModel* src) {
    if (!src || src->meshes.Count() != meshes.Count()) return;
    for (int k = 0; k < meshes.Count(); k++) {
        if (i != -1 && k != i) continue;
        FXMesh* dst = EnumMeshes(k);
        const FXMesh* from = src->EnumMeshes(k);
        if (dst && from) dst->CopyTexCoords(from);
    }
}

void FXModel::Transform(int ix, int iy, int iz, bool negX, bool negY, bool negZ) {
    localEachMesh(meshes, [&](FXMesh* m) { m->Transform(ix, iy, iz, negX, negY, negZ); });
}

void FXModel::UpdateColMat(const float* rgba) {
    localEachMesh(meshes, [&](FXMesh* m) {
        if (m->material) m->material->MultiCols(rgba);
    });
}

void FXModel::PreserveColMat() {
    localEachMesh(meshes, [](FXMesh* m) {
        if (m->material) m->material->PreserveCols();
    });
}

FXMesh* FXModel::RemoveMesh(FXMesh* m) {
    if (!m) return nullptr;
    return localTakeMesh(&meshes, m) || localTakeMesh(&loadedMeshes, m) ? m : nullptr;
}

FXMesh* FXModel::DoubleMesh(const char* newName, const char* srcName) {
    FXMesh* src = FindMesh(srcName);
    if (!src || !newName) return nullptr;
    FXMesh* target = FindMesh(newName);
    if (target == src) return nullptr;  // a mesh cannot be doubled onto itself
    if (target)
        RemoveMesh(target);
    else
        target = new FXMesh;
    FXMaterial* mat = matlib ? matlib->FindMaterial(newName) : nullptr;
    if (!mat) {
        delete target;
        return nullptr;
    }
    meshes.Push(target);
    target->Copy(src);
    target->material = mat;
    target->materialName.Set(newName);
    return target;
}
