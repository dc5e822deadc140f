// FXMatlib: a named, reference-counted set of materials that meshes look up by name. The parent
// library (the environment's default library) is searched first. Record: library name (string),
// int32 material count, then the material records.
//
// A library owns the materials it reads and those handed to AdoptMaterial; it only lists those
// given to AddMaterial, whose owners keep them alive while they are listed. The library itself is
// owned by whoever made it: the environment for the libraries it loads (render/render.h), which
// deletes one when the last reference is released. A library never deletes itself.
#pragma once

#include "base/arrays.h"
#include "base/ptr_array.h"
#include "base/strings.h"

class FXMaterial;
class FXPackage;
class PTextureDevice;

class FXMatlib {
public:
    FXStr name;
    // The name the environment was asked to load this library by (a package library stores a
    // name of its own, which differs from the entry name it is requested by).
    FXStr requestedName;
    FXMatlib* parent = nullptr;  // not owned
    // References to this library handed out by the environment that loaded it, which deletes
    // the library when they are all released.
    int refCount = 1;
    // The package this library was last compiled into (its serial, 0 for none) and the entry
    // number it was registered under there: models sharing the library compile it once.
    unsigned compiledFor = 0;
    FXStr compiledEntry;

    FXMatlib() = default;
    FXMatlib(const FXMatlib&) = delete;
    FXMatlib& operator=(const FXMatlib&) = delete;
    ~FXMatlib() { Destroy(); }

    // Deletes the library's own materials and forgets the listed ones.
    void Destroy();
    // Lists m, which stays its owner's (once: a material listed already is not listed again).
    void AddMaterial(FXMaterial* m);
    // Lists m and owns it from now on: it is deleted with the library.
    void AdoptMaterial(FXMaterial* m);
    // Takes m off the library; one the library owns is deleted.
    void RemoveMaterial(FXMaterial* m);
    bool Owns(const FXMaterial* m) const { return owned_.Find(m) >= 0; }
    FXMaterial* FindMaterial(const char* name);
    // The loaders read the library's own materials; the pictures they name are uploaded to device
    // (none without a device).
    bool LoadC(PTextureDevice* device, FXPackage* p, const char* entryName);
    bool Load(PTextureDevice* device, const char* file);
    bool LoadFromMtl(PTextureDevice* device, const char* file);
    bool Save(const char* file) const;
    // Registers every material's picture with the package and renames it to its entry number.
    void Compile(FXPackage* p);
    int GetCount() const { return materials_.top; }
    FXMaterial* GetMaterial(int i) const { return static_cast<FXMaterial*>(materials_.Get(i)); }

private:
    FXArray materials_;              // every material in load order (listed, owned or not)
    FXPtrArray<FXMaterial> owned_;   // the ones the library deletes
};
