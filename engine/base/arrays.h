// Growable containers: FXArray (pointer-sized slots holding pointers or ints), FXStrArray (owned
// strings), FXFloatArray, the raw item block FXMemory, the rectangle FXRect, fxMalloc and fxPower2.
// The arrays' file encodings: int32 count, then per item a 32-bit value (FXArray, FXFloatArray)
// or an int32 length and that many bytes (FXStrArray). Loads stop at the end of the file with the
// items read so far.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/compiler.h"

// A zero-filled block of size bytes, or null.
void* fxMalloc(unsigned size);
// The smallest power of two >= n (1 for n <= 1).
int fxPower2(int n);

class FXArray {
public:
    void** items = nullptr;
    int top = 0;
    int capacity = 0;
    int step = 1;

    FXArray() = default;
    explicit FXArray(int growStep) : step(growStep > 0 ? growStep : 1) {}
    FXArray(const FXArray&) = delete;
    FXArray& operator=(const FXArray&) = delete;
    ~FXArray() { DestroyBuf(); }

    void DestroyBuf();
    void Realloc(int n);
    void Push(void* v);
    void PushVoid();
    void PushInt(int v) { Push(reinterpret_cast<void*>(intptr_t(v))); }
    // pos -1 or past top appends; other negative positions are refused.
    void Insert(int pos, void* v);
    void* Pop();
    void* First() const { return top > 0 ? items[0] : nullptr; }
    void* Last() const { return top > 0 ? items[top - 1] : nullptr; }
    void MovePos(int pos, int dir);
    void RemovePos(int pos);
    void RemoveAll() { top = 0; }
    int Findpos(void* p) const;
    int Remove(void* p);
    bool IsEmpty() const { return top <= 0; }

    void* Get(int i) const {
        FX_ASSERT(i >= 0 && i < top && "FXArray index out of range");
        return items[i];
    }
    int GetInt(int i) const { return int(reinterpret_cast<intptr_t>(Get(i))); }
    void SetInt(int i, int v) {
        FX_ASSERT(i >= 0 && i < top && "FXArray index out of range");
        items[i] = reinterpret_cast<void*>(intptr_t(v));
    }

    void Save(FILE* f) const;
    void Load(FILE* f);
};

class FXStrArray {
public:
    char** items = nullptr;
    int top = 0;
    int capacity = 0;
    int step = 1;

    FXStrArray() = default;
    explicit FXStrArray(int growStep) : step(growStep > 0 ? growStep : 1) {}
    FXStrArray(const FXStrArray&) = delete;
    FXStrArray& operator=(const FXStrArray&) = delete;
    ~FXStrArray() { DestroyBuf(); }

    void DestroyBuf();
    void Realloc(int n);
    void Push(const char* s);
    void Insert(int pos, const char* s);
    void Pop();
    const char* First() const { return top > 0 ? items[0] : nullptr; }
    const char* Last() const { return top > 0 ? items[top - 1] : nullptr; }
    void MovePos(int pos, int dir);
    void RemovePos(int pos);
    void RemoveAll();
    int Findpos(const char* s) const;
    int Remove(const char* s);
    // Replaces the string at pos (refused when pos is outside [0, top)).
    void Change(int pos, const char* s);
    bool IsEmpty() const { return top <= 0; }

    // The string at i, "" for a null item.
    const char* Get(int i) const {
        FX_ASSERT(i >= 0 && i < top && "FXStrArray index out of range");
        return items[i] ? items[i] : "";
    }

    void Save(FILE* f) const;
    void SaveShortPaths(FILE* f, const char* dir) const;
    void Load(FILE* f);
};

class FXFloatArray {
public:
    float* items = nullptr;
    int top = 0;
    int capacity = 0;
    int step = 1;

    FXFloatArray() = default;
    explicit FXFloatArray(int growStep) : step(growStep > 0 ? growStep : 1) {}
    FXFloatArray(const FXFloatArray&) = delete;
    FXFloatArray& operator=(const FXFloatArray&) = delete;
    ~FXFloatArray() { DestroyBuf(); }

    void DestroyBuf();
    void Realloc(int n);
    void Push(float v);
    void Insert(int pos, float v);
    float Pop();
    float First() const { return top > 0 ? items[0] : 0.0f; }
    float Last() const { return top > 0 ? items[top - 1] : 0.0f; }
    void MovePos(int pos, int dir);
    void RemovePos(int pos);
    void RemoveAll() { top = 0; }
    bool IsEmpty() const { return top <= 0; }

    void Save(FILE* f) const;
    void Load(FILE* f);
};

// A raw block of fixed-size items; users set count and itemSize directly.
class FXMemory {
public:
    void* data = nullptr;
    int count = 0;
    int capacity = 0;
    int itemSize = 1;

    FXMemory() = default;
    FXMemory(const FXMemory&) = delete;
    FXMemory& operator=(const FXMemory&) = delete;
    ~FXMemory() { DestroyBuf(); }

    void Realloc(int n);
    void* GetItemPtr(int i) const;
    void DestroyBuf();
};

struct FXRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    void SetZero() { left = top = right = bottom = 0; }
    void Set(int l, int t, int r, int b) {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    void CombineOr(const FXRect* r);
    bool CombineAnd(const FXRect* r);
    bool IsEmpty() const { return !(left < right && top < bottom); }
};
