// FXMesh, the engine's triangle mesh: an owned array of 76-byte vertex records, an owned list of
// corner indices (three per triangle) and a material reference. Full record: material name
// (string), u scale, v scale (float32), drawPass, colorMode, V (int32), V vertex records, I (int32),
// I int32 indices. Header record: the same up to colorMode, then V and I (the vertices follow as a
// corner stream over a vector map, geometry/data.h).
//
// Records come from untrusted packages: counts that do not fit the entry and indices beyond the
// vertices are refused (the mesh comes out empty, with a trace line).
//
// Vertex reduction (authoring, mesh_reduce.cpp) takes vertices out of straight edges in flat regions
// and keeps, between calls, the planes it worked with and a dependency list of (from, to) vertex
// pairs: every vertex a reduction moved or removed (to) with the vertices it depended on (from).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "base/arrays.h"
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

    // Vertex reduction state. A plane is (nx, ny, nz, d) with a unit normal; the signed distance of
    // a point X is n.X + d.
    float reduceTolerance = 0.0f;  // degrees
    float facePlane[4] = {};       // the triangle being examined
    float edgePlane[4] = {};       // through the examined edge, perpendicular to facePlane
    float edgePlane2[4] = {};      // a second edge plane (the far side of a strip)
    float thirdSide = 0.0f;        // signed distance of the examined triangle's third vertex
    // The last attempted reduction, for inspection: a, b (the vertex to remove), the continuation of
    // the line a-b, the third vertex, the found vertex, and the two vertices across a strip.
    int lastReduction[7] = {-1, -1, -1, -1, -1, -1, -1};
    float totalMin = 0.0f;
    FXArray reducDependFrom;  // int pairs with reducDependTo
    FXArray reducDependTo;

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
    // Drawn in the opaque pass, in plain white, in one layer, with a material that hides what
    // lies behind it: every pixel it covers shows this mesh alone, whatever was there before.
    bool HidesWhatLiesBehind() const;
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

    // Removes vertices that lie, within tolerance degrees, on a straight edge between two neighbours
    // in a flat region, rebuilding the triangles around them. One pass; vertex marks flag afterwards
    // the vertices that occur as `from` in the dependency list.
    void ReduceVertices(float tolerance);
    // The steps of ReduceVertices (public for inspection and tests; not meant for other callers).
    bool ReduceStage1(int a, int b, int q);
    bool ReduceStage2(int a, int b, int g, int q, int h);
    bool ReduceStage22(int a, int b, int g, int q, int h);
    bool ReduceStage2a(int a, int b, int g, int q, int h);
    bool ReduceStage2aa(int a, int b, int g, int x, int y, int z);
    bool ReduceStage3(int a, int b, int g, int q, int h);
    bool ReduceStage3a(int a, int b, int g, int q, int h);
    bool ReduceStage4(int a, int b, int g, int q, int h);
    bool ReduceStage4a(int a, int b, int g, int q, int h);
    bool ReduceStage4aa(int a, int b, int g, int d, int e, int f);
    bool FindNextContiguouse(int key, int mid, int ignored, int* iter, int* prev, int* out);
    bool FindNextContiguouse1(int key, int key2, int key3, int* iter, int* out);
    void ComputeFormula(float* out, int i, int j, int k);
    void ComputeFormula1(float* out, const float* plane, int i, int j);
    float MultiVertexFormula(const float* plane, int i);
    bool TestVertexOnFormula(const float* plane, int i, int j);
    bool TestVerticesDirection(int i, int j, int k);
    bool TestVertexSide(int i);
    void PlaceVertexFormula(int i, const float* plane);
    void PlaceVertexFormula1(int i, const float* plane);
    void SetVerticesMask(int count, const int* list, int bits);
    void SetVerticeMask(int i, int bits);
    bool TestVerticesMask(int count, const int* list);
    bool TestVertices1Mask(int i);
    bool TestVertices2Mask(int i, int j);
    bool TestVertices3Mask(int i, int j, int k);
    void DiscardTrianglesGroup(int count, const int* list);
    void CreateTrianglesGroup(int count, const int* list);
    void DiscardProceed();
    void PushReducDepend(int from, int to);
    int FindOtherVertex(int i);
    void DiscardReducedVertices();
};
