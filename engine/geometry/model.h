// FXModel: a static model, a named set of meshes sharing one material library, drawn as one
// renderable in a fixed order (opaque meshes, two-sided transparent meshes back faces first, then
// meshes drawn without and again with depth writes). Two mesh groups: the meshes as loaded and a
// working copy (UpdateMeshes) that is drawn, edited and saved.
//
// Records (package entries and files alike): magic "xm02" or "xm03" (string), name (string),
// material library (string), int32 M; then for xm02 M full mesh records, for xm03 one vector map
// followed by M pairs of mesh header record and number pool record. A count M that cannot fit the
// rest of the entry leaves the model empty with a trace line.
#pragma once

#include <cstdio>

#include "base/ptr_array.h"
#include "base/strings.h"
#include "geometry/mesh.h"
#include "render/matlib_ref.h"
#include "render/render.h"

class FXMatlib;
class FXPackage;
class FXPackageData;

// Progress of a long import, called with the caller's user pointer and the share done, 0 to 1.
typedef void (*FXImportProgress)(void* user, float done);

class FXModel : public PRender {
public:
    FXStr name;
    FXStr matlibName;  // library entry name (package) or file path (file form)
    FXMatlibRef matlib;  // one reference, given back to the environment that lent it in Destroy
    bool flipV = false;
    FXPtrArray<FXMesh> loadedMeshes;  // as loaded (items may be null)
    FXPtrArray<FXMesh> meshes;        // the working group (items may be null)

    FXModel() = default;
    FXModel(const FXModel&) = delete;
    FXModel& operator=(const FXModel&) = delete;
    virtual ~FXModel() { Destroy(); }

    void Destroy();

    // False only when the entry is missing; an unknown magic gives an empty model. The material
    // library is loaded through env (none without one); its pictures go to env's device.
    bool LoadCN(PEnv* env, FXPackage* pkg, int entry);
    bool LoadC(PEnv* env, FXPackage* pkg, const char* entryName);
    bool Load_v02CN(PEnv* env, FXPackage* pkg, FXPackageData* d);
    bool Load_v03CN(PEnv* env, FXPackage* pkg, FXPackageData* d);

    void UpdateMeshes();
    void ResizeTextCoords();
    void UpdateColCol(const float* rgba);
    void OnRender(PEnv* env, double time) override;
    FXMesh* EnumMeshes(int i) const;
    const char* EnumMeshNames(int i) const;
    FXMesh* FindMesh(const char* meshName) const;
    void DisableMesh(int i, bool off);

    // ---- authoring ----
    bool Load(PEnv* env, const char* path);
    bool Load_v02(PEnv* env, FILE* f);
    bool Load_v03(PEnv* env, FILE* f);
    bool Save(const char* path);
    void Save_v02(FILE* f);
    void Save_v03(FILE* f);
    // Compiles the library into the package (as a temporary file in its source directory) and
    // names it by its entry number; false when the model has no library or it cannot be written.
    bool Compile(FXPackage* pkg);
    // Builds the loaded meshes from a Wavefront OBJ file (geometry/model_obj.h): one mesh per
    // material, its library named by the file's mtllib line and loaded through env. Call
    // UpdateMeshes to use them. False, with the model empty and an error trace line, when the
    // file cannot be read, is damaged or has no faces. Corners the file gives no normal get
    // smooth normals from the faces. progress: as FXObjModel::Load reports it.
    bool ImportObj(PEnv* env, const char* path, FXImportProgress progress = nullptr, void* user = nullptr);
    void Copy(const FXModel* src);
    int GetTotalVertices() const;
    void Normalize(bool selective);
    void ResizeTextCoords1();
    void FlipHoriz();
    void FindMaxims(float* box) const;
    void UnitizeMaxims(const float* box);
    void UnitizeMaximsStretch(const float* box);
    void UnitizeMaximsStretch1(const float* box);
    void Unitize();
    void UnitizeStretch();
    void UnitizeStretch1();
    void ComputeFrontTexCoords(int i);
    void CopyTexCoords(int i, const FXModel* src);
    void Transform(int ix, int iy, int iz, bool negX, bool negY, bool negZ);
    void UpdateColMat(const float* rgba);
    void PreserveColMat();
    // Takes m off the model (either group) and hands it to the caller, who owns it from now on;
    // null when the model does not hold it.
    FXMesh* RemoveMesh(FXMesh* m);
    FXMesh* DoubleMesh(const char* newName, const char* srcName);

    int GetCount() const { return meshes.Count(); }
};
