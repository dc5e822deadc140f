// FXPtrArray<T>: an FXArray that owns the objects its items point to. It says who deletes what
// (the array, on DeleteContents and when it goes) and hands out typed items, instead of void*
// items deleted by hand by each owner. An object moved from one such array to another must be
// taken off the first (RemovePos), so that exactly one array owns it.
#pragma once

#include "base/arrays.h"
#include "base/compiler.h"

template <typename T>
class FXPtrArray : public FXArray {
public:
    FXPtrArray() = default;
    ~FXPtrArray() { DeleteContents(); }

    T* Get(int i) const { return static_cast<T*>(FXArray::Get(i)); }
    T* First() const { return static_cast<T*>(FXArray::First()); }
    T* Last() const { return static_cast<T*>(FXArray::Last()); }
    void Push(T* item) { FXArray::Push(item); }
    // Deletes the object at i and keeps item (which may be null) in its place.
    void Replace(int i, T* item) {
        FX_ASSERT(i >= 0 && i < top && "an index of the array");
        delete Get(i);
        items[i] = item;
    }
    // Deletes every object and frees the list.
    void DeleteContents() {
        for (int i = 0; i < top; i++) delete Get(i);
        DestroyBuf();
    }
};
