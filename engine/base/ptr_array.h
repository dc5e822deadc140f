// FXPtrArray<T>: a list that owns the objects its items point to. It says who deletes what (the
// list, on DeleteContents and when it goes) and hands out typed items only: the untyped slots
// underneath are private. An object moved from one such list to another is taken off the first
// with Take, so that exactly one list owns it.
#pragma once

#include "base/arrays.h"
#include "base/compiler.h"

template <typename T>
class FXPtrArray {
public:
    FXPtrArray() = default;
    ~FXPtrArray() { DeleteContents(); }
    FXPtrArray(const FXPtrArray&) = delete;
    FXPtrArray& operator=(const FXPtrArray&) = delete;

    int Count() const { return items_.top; }
    bool IsEmpty() const { return items_.IsEmpty(); }
    T* Get(int i) const { return static_cast<T*>(items_.Get(i)); }
    T* First() const { return static_cast<T*>(items_.First()); }
    T* Last() const { return static_cast<T*>(items_.Last()); }
    // The position of item, or -1.
    int Find(const T* item) const { return items_.Findpos(const_cast<T*>(item)); }
    // Takes ownership of item (which may be null).
    void Push(T* item) { items_.Push(item); }
    // Takes ownership of item at pos (-1 or past the end appends).
    void Insert(int pos, T* item) { items_.Insert(pos, item); }
    // Room for n items, so that pushing up to n never allocates.
    void Reserve(int n) { items_.Realloc(n); }
    int Capacity() const { return items_.capacity; }
    // Hands the object at i back to the caller, who owns it from now on; the list closes the gap.
    T* Take(int i) {
        T* item = Get(i);
        items_.RemovePos(i);
        return item;
    }
    // Hands every object back to the caller (who already holds them elsewhere); keeps the room.
    void ReleaseAll() { items_.RemoveAll(); }
    // Deletes the object at i and keeps item (which may be null) in its place.
    void Replace(int i, T* item) {
        FX_ASSERT(i >= 0 && i < items_.top && "an index of the array");
        delete Get(i);
        items_.items[i] = item;
    }
    // Deletes every object and frees the list.
    void DeleteContents() {
        for (int i = 0; i < items_.top; i++) delete Get(i);
        items_.DestroyBuf();
    }
    // Where the slots live: the same address as long as the list does not grow (tests of the
    // steady state check that it never does).
    const void* Storage() const { return items_.items; }

private:
    FXArray items_;
};
