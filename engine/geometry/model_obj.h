// FXObjModel: a Wavefront OBJ file read into flat arrays and groups of triangles, the input of
// FXModel::ImportObj (authoring; the saver only loads compiled models).
//
// Understood statements: v, vn, vt, f, l, g, usemtl, mtllib and # comments; o (object names) and
// s (smoothing groups) are accepted and ignored; any other word is reported to the error trace once
// per file and its lines skipped. Corners are "p", "p/t", "p/t/n" or "p//n", the first corner
// deciding the form of the whole statement; indices are 1-based, or negative to count back from the
// last value read so far. The z of positions and normals is negated on input.
//
// Damaged input is refused (Load returns false, with an error trace line naming the file and the
// line): a line longer than kMaxLine bytes or holding a NUL byte, a malformed number or corner, a face
// with fewer than three corners, a corner naming a position the file does not give, more than
// kMaxGroups group names or kMaxMaterials material names. So are a folder, a pipe or a device in
// place of the file or the library. A texture coordinate the file does not give reads as zero; a
// corner without a normal gets, at import, the smooth normal of its position (computed from the
// faces around it).
#pragma once

#include "base/arrays.h"
#include "base/ptr_array.h"
#include "base/strings.h"
#include "geometry/model.h"
#include "render/matlib_ref.h"

// One triangle, or one segment of an `l` statement (then the third corner is unused). Indices are
// 0-based, -1 for a part the corner does not give.
struct MObjPrimitive {
    bool isLine = false;
    int pos[3] = {0, 0, 0};
    int normal[3] = {-1, -1, -1};
    int tex[3] = {-1, -1, -1};
    int material = 0;
};

class MObjGroup {
public:
    FXLongStr name;  // on the heap: a file may hold many groups
    FXMemory triangles;  // int primitive numbers in file order (item size 4)
    int writePos = 0;    // next slot to fill while loading

    MObjGroup() { triangles.itemSize = 4; }
};

class FXObjModel {
public:
    // Far beyond real models (whose groups and materials number in the hundreds or thousands);
    // a file with more is refused, not read for minutes into gigabytes.
    enum { kMaxLine = 65536, kMaxGroups = 1 << 17, kMaxMaterials = 1 << 14 };

    FXLongStr fileName;
    FXLongStr mtlFile;           // the library named by the last mtllib line; empty for none
    FXMatlibRef matlib;          // that library, lent by the environment given to Load
    FXStrArray materials;        // names in order of first usemtl; a material's number is its place
    FXArray materialMeshes;      // per material number the mesh built for it (FXMesh*, not owned)
    FXMemory positions;          // 3 floats per v line
    FXMemory normals;            // 3 floats per vn line
    FXMemory texCoords;          // 2 floats per vt line (as many zeroed ones as positions if none)
    FXPtrArray<MObjPrimitive> primitives;
    FXPtrArray<MObjGroup> groups;  // group 0 is the unnamed default group
    // How many values of each kind the file gives (the texture array may hold more, zeroed).
    int positionCount = 0;
    int normalCount = 0;
    int texCoordCount = 0;

    FXObjModel();
    FXObjModel(const FXObjModel&) = delete;
    FXObjModel& operator=(const FXObjModel&) = delete;
    ~FXObjModel() { Destroy(); }

    void Destroy();
    // Reads the file in two passes (counts and groups, then values and primitives) and loads the
    // material library through env (without one, no library: the meshes keep the material names).
    // False, with the object empty, when the file cannot be opened or is refused as damaged.
    // progress, when given, is called with user now and then (about once per megabyte read) with
    // the share of the reading done, and with 1 at the end.
    bool Load(PEnv* env, const char* path, FXImportProgress progress = nullptr, void* user = nullptr);

    MObjPrimitive* GetPrimitive(int i) const { return primitives.Get(i); }
    MObjGroup* GetGroup(int i) const { return groups.Get(i); }
};
