// FXMesh, the engine's triangle mesh: an owned array of 76-byte vertex records, an owned list of
// corner indices (three per triangle) and a material reference. Full record: material name
// (string), u scale, v scale (float32), drawPass, colorMode, V (int32), V vertex records, I (int32),
// I int32 indices. Header record: the same up to colorMode, then V and I (the vertices follow as a
// corner stream over a vector map, geometry/data.h).
//
// Records come from untrusted packages: counts that do not fit the entry and indices beyond the
// vertices are refused (the mesh comes out empty, with a trace line).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "base/strings.h"

class FXArray;
class FXCanvas;
class FXMaterial;
class FXMatlib;
class FXNumPool;
class FXPackage;
class FXPackageData;
class FXVectorMap;
class PMeshSaveClb;

struct tagFXVertex {
    float pos[3];
    float normal[3];
    float uv[2];
    float color[4];
    float normalSum[3];
    int32_t mark;
    int32_t srcIndex[3];
};
static_assert(sizeof(tagFXVertex) == 76, "vertex record is 76 bytes");
static_assert(offsetof(tagFXVertex, normal) == 12, "vertex layout");
static_assert(offsetof(tagFXVertex, uv) == 24, "vertex layout");
static_assert(offsetof(tagFXVertex, color) == 32, "vertex layout");
static_assert(offsetof(tagFXVertex, normalSum) == 48, "vertex layout");
static_assert(offsetof(tagFXVertex, mark) == 60, "vertex layout");
static_assert(offsetof(tagFXVertex, srcIndex) == 64, "vertex layout");

class FXMesh {
public:
    bool disabled = false;
    int drawPass = 0;   // 0 opaque, 1 two-sided transparent, 2 without then with depth writes
    int colorMode = 0;  // 0 white, 1 per-vertex colours, other values draw nothing
    bool flipV = false;
    FXMesh* secondMesh = nullptr;  // second texture layer (not owned)
    FXMaterial* material = nullptr;  // not owned
    FXStr materialName;
    float loaded_u = 0.0f;
    float loaded_v = 0.0f;
    int vertexCapacity = 0;
    int vertexCount = 0;
    tagFXVertex* vertices = nullptr;
    int indexCapacity = 0;
    int indexCount = 0;
    int32_t* indices = nullptr;

    FXMesh() = default;
    FXMesh(const FXMesh&) = delete;
    FXMesh& operator=(const FXMesh&) = delete;
    ~FXMesh() { Destroy(); }

    void Destroy();
    int Realloc(int vertexCount, int indexCount);
    void Copy(const FXMesh* src);
    void CopyMeshI(const FXMesh* src);
    bool LoadMeshC(FXPackage* p, FXPackageData* d, FXMatlib* lib);
    bool LoadMeshIC(FXPackage* p, FXPackageData* d, FXMatlib* lib);
    bool FromVMap(FXVectorMap* map, FXNumPool* pool);
    void ResizeTexCoords();
    void SetVerticesCol(const float* rgba);

    // Authoring.
    void SaveMesh(FILE* f) const;
    bool LoadMesh(FILE* f, FXMatlib* lib);
    void SaveMeshI(FILE* f) const;
    bool LoadMeshI(FILE* f, FXMatlib* lib);
    void ToVMap(FXVectorMap* map, FXNumPool* pool, PMeshSaveClb* clb, int meshNo, FXArray** redirs);
    void ApplyRedir(FXVectorMap* map, FXArray** redirs);
    void ComputeNormals(bool selective) { ComputeNormalsZ(selective, 1.0f); }
    void ComputeNormalsZ(bool selective, float zScale);
    void Normalize(bool selective);
    void ResizeTexCoords1();
    void ComputeFrontTexCoords();
    void CopyTexCoords(const FXMesh* src);
    void Unitize();
    void FindMaxims(float* box) const;
    void FindMultiMaxims(bool* first, float* box) const;
    void UnitizeMaxims(const float* box);
    void UnitizeMaximsStretch(const float* box);
    void UnitizeMaximsStretch1(const float* box);
    void FlipHoriz();
    void ExtendPositions(float d);
    void ApplyBumpMap(FXCanvas* canvas, float scale);
    void ApplyColorMap(FXCanvas* canvas, const float* mul);
    void ApplyFrontColorMap(FXCanvas* canvas, const float* mul);
    void DiscardVertices();
    void DiscardTrianglesTransp(int unused, float threshold);
    bool TestTriangleTransp(int unused, const int32_t* corners, float threshold);
    void Transform(int ix, int iy, int iz, bool negX, bool negY, bool negZ);
    static int TextToIndi(const char* text);
};
