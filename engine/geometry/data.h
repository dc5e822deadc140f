// Compact mesh storage. FXVectorMap keeps every distinct position, normal and texture coordinate
// of a model once (exact float matches); each mesh stores only a corner stream in an FXNumPool: per
// corner one control byte (bits 0-1 position, 2-3 normal, 4-5 texture: 0 = previous index + 1,
// then byte, 16-bit word, 32-bit int) followed by the explicit indices in that order.
//
// Records. Vector map: int32 P, P floats; int32 N, N floats; int32 T, T floats (3, 3 and 2 floats
// per vector). Number pool: int32 S, then S bytes of corner stream.
//
// Stored data is untrusted: counts that do not fit their source are refused (the map or pool comes
// out empty with a trace line), and a decoder never addresses a vector beyond the stored counts.
#pragma once

#include <cstdio>
#include <memory>

#include "base/arrays.h"
#include "base/ptr_array.h"

class FXPackage;
class FXPackageData;
struct tagFXVertex;

// Asked while encoding whether the vector first stored for (ownerMesh, ownerVertex) may also stand
// for (mesh, vertex). Without a callback, equal values suffice.
class PMeshSaveClb {
public:
    virtual bool TestRedirect(int mesh, int vertex, int ownerMesh, int ownerVertex) = 0;

protected:
    ~PMeshSaveClb() = default;
};

// A growable byte buffer with an append side and a read cursor. Multi-byte values are
// little-endian, unaligned: words 16 bits, ints 32 bits.
class FXNumPool {
public:
    unsigned char* readPtr = nullptr;
    int readPos = 0;
    int size = 0;
    int capacity = 0;
    int growStep = 1;

    FXNumPool() = default;
    explicit FXNumPool(int step) : growStep(step > 0 ? step : 1) {}
    FXNumPool(const FXNumPool&) = delete;
    FXNumPool& operator=(const FXNumPool&) = delete;
    ~FXNumPool() { DestroyBuf(); }

    void DestroyBuf();
    // Ensures capacity >= needed, growing by whole steps; new bytes are zero. Returns the capacity
    // (unchanged when the request cannot be met).
    int Realloc(int needed);
    // Each returns the new size (unchanged when the pool cannot grow).
    int PushByte(unsigned char v);
    int PushWord(unsigned short v);
    int PushInt(int v);
    void Reseek();
    // 1 and the value, or 0 with *out untouched when too few bytes remain.
    int GetNextByte(unsigned char* out);
    int GetNextWord(unsigned short* out);
    int GetNextInt(int* out);

    bool Save(FILE* f) const;
    // Replace the content by a stored record and rewind; a damaged record leaves the pool empty.
    bool Load(FILE* f);
    bool LoadC(FXPackage* p, FXPackageData* d);
    // The bytes (size of them written, capacity allocated); null before the first growth.
    const unsigned char* Data() const { return data_.get(); }

private:
    std::unique_ptr<unsigned char[]> data_;

    const unsigned char* Take(int bytes);
    bool Fill(int bytes);
};

// The corner stream coder: the previous index of each kind lives here (-1 at the start of a mesh).
class FXCornerCoder {
public:
    int prev[3] = {-1, -1, -1};  // position, normal, texture

    void Reset() { prev[0] = prev[1] = prev[2] = -1; }
    // Appends one corner with the indices idx (position, normal, texture).
    void Push(FXNumPool* pool, const int idx[3]);
    // Reads one corner into idx; false when the stream runs out or the control byte is damaged
    // (idx and prev are then unspecified).
    bool Read(FXNumPool* pool, int idx[3]);
};

class FXVectorMap {
public:
    enum { kPos = 0, kNorm = 1, kTex = 2 };

    FXArray posMesh, posVertex;  // owner of each stored vector while encoding
    FXArray normMesh, normVertex;
    FXArray texMesh, texVertex;
    FXFloatArray pos{3000000};
    FXFloatArray norm{3000000};
    FXFloatArray tex{2000000};
    FXArray posFirst, normFirst, texFirst;  // first mesh vertex built from each vector, or -1
    // Per vector null, or the list of every mesh vertex built from it (ints) once there are two.
    FXPtrArray<FXArray> posUsers, normUsers, texUsers;
    // For each registered mesh vertex, the normal and the texture index it was registered with
    // (-1: none, -2: several), so asking whether a vertex uses a shared normal does not scan the
    // normal's list of every vertex using it (a flat mesh shares one normal among all of them).
    FXArray vertexNorm, vertexTex;
    int posCount = 0;
    int normCount = 0;
    int texCount = 0;

    FXVectorMap() = default;
    FXVectorMap(const FXVectorMap&) = delete;
    FXVectorMap& operator=(const FXVectorMap&) = delete;
    ~FXVectorMap() { Destroy(); }

    void Destroy();

    int PushVecPos(const tagFXVertex* v, PMeshSaveClb* clb, int mesh, int vertex);
    int PushVecNorm(const tagFXVertex* v, PMeshSaveClb* clb, int mesh, int vertex);
    int PushVecTex(const tagFXVertex* v, PMeshSaveClb* clb, int mesh, int vertex);
    int FindVecPos(int mesh, int vertex, const tagFXVertex* v, PMeshSaveClb* clb) const;
    int FindVecNorm(int mesh, int vertex, const tagFXVertex* v, PMeshSaveClb* clb) const;
    int FindVecTex(int mesh, int vertex, const tagFXVertex* v, PMeshSaveClb* clb) const;
    // Overwrite stored vector i with the vertex's value; an i outside the stored vectors is ignored.
    void SetVecPos(const tagFXVertex* v, int i);
    void SetVecNorm(const tagFXVertex* v, int i);
    void SetVecTex(const tagFXVertex* v, int i);
    // Copy stored vector i to out (3 floats, 2 for texture); zeros for an i outside the vectors.
    void GetVecPos(int i, float* out) const;
    void GetVecNorm(int i, float* out) const;
    void GetVecTex(int i, float* out) const;

    // Difference transforms over the stored floats (true: forward, false: inverse).
    void ManglePos(bool forward);
    void MangleNorm(bool forward);
    void MangleTex(bool forward);

    bool Save(FILE* f) const;
    // Replace the vectors by a stored record and clear the used tables; a damaged record leaves
    // the map without vectors.
    bool Load(FILE* f);
    bool LoadC(FXPackage* p, FXPackageData* d);

    // Decoding side: which mesh vertices were built from which vectors.
    void PushUsed(int p, int n, int t, int vertex);
    int GetUsed(int p, int n, int t) const;
    int GetUsed1(int vertex, int n, int t) const;
    void ClearUsed();
    // Grows the used tables to cover every stored vector (a map filled by pushes has none yet).
    void SizeUsed();
};
