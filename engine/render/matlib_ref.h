// FXMatlibRef: one reference to a material library, held by a model (or an OBJ import) and given
// back to the environment that lent it. The environment owns the library and deletes it with its
// last reference; a holder never deletes one. A library lent by nobody (owner null: one its maker
// keeps alive, such as a test's or a tool's) only has its count changed.
#pragma once

#include "base/compiler.h"
#include "image/matlib.h"
#include "render/render.h"

class FXMatlibRef {
public:
    FXMatlibRef() = default;
    ~FXMatlibRef() { Reset(); }
    FXMatlibRef(const FXMatlibRef&) = delete;
    FXMatlibRef& operator=(const FXMatlibRef&) = delete;

    // Takes over one reference already counted for this holder (as PEnv::LoadMatlib hands it
    // out), after giving back the one held before. A null library holds nothing.
    void Adopt(PEnv* owner, FXMatlib* lib) {
        Reset();
        owner_ = lib ? owner : nullptr;
        lib_ = lib;
    }
    // One more reference to the library other holds (none when it holds none).
    void Share(const FXMatlibRef& other) { Share(other.owner_, other.lib_); }
    // One more reference to lib, to be given back to owner (null: a library lent by nobody).
    void Share(PEnv* owner, FXMatlib* lib) {
        if (lib) lib->refCount++;  // first, so that giving back the one held cannot delete lib
        Adopt(owner, lib);
    }
    // Gives the reference back: to its owner, which may delete the library, or, for a library lent
    // by nobody, by dropping the count.
    void Reset() {
        FXMatlib* lib = lib_;
        PEnv* owner = owner_;
        lib_ = nullptr;
        owner_ = nullptr;
        if (!lib) return;
        if (owner) {
            owner->ReleaseMatlib(lib);
        } else {
            FX_ASSERT(lib->refCount > 0 && "a reference to a library is given back once");
            lib->refCount--;
        }
    }

    FXMatlib* Get() const { return lib_; }
    FXMatlib* operator->() const { return lib_; }
    explicit operator bool() const { return lib_ != nullptr; }
    PEnv* Owner() const { return owner_; }

private:
    PEnv* owner_ = nullptr;
    FXMatlib* lib_ = nullptr;
};
