// FXMatlib: a named, reference-counted set of materials that meshes look up by name. The parent
// library (the environment's default library) is searched first. Record: library name (string),
// int32 material count, then the material records.
#pragma once

#include "base/arrays.h"
#include "base/strings.h"

class FXMaterial;
class FXPackage;

class FXMatlib {
public:
    FXStr name;
    // The name the environment was asked to load this library by (a package library stores a
    // name of its own, which differs from the entry name it is requested by).
    FXStr requestedName;
    FXMatlib* parent = nullptr;
    FXArray materials;  // FXMaterial*, in load order; those with `loaded` set are owned
    bool deleteOnLastRelease = true;
    int refCount = 1;
    // The package this library was last compiled into (its serial, 0 for none) and the entry
    // number it was registered under there: models sharing the library compile it once.
    unsigned compiledFor = 0;
    FXStr compiledEntry;

    FXMatlib() = default;
    FXMatlib(const FXMatlib&) = delete;
    FXMatlib& operator=(const FXMatlib&) = delete;
    ~FXMatlib() { Destroy(); }

    void Destroy();
    // Drops one reference; at 0 (with deleteOnLastRelease) leaves the environment's list and
    // deletes itself. Returns this library, or null once deleted.
    FXMatlib* Release();
    void AddMaterial(FXMaterial* m);
    void RemoveMaterial(FXMaterial* m);
    FXMaterial* FindMaterial(const char* name);
    bool LoadC(FXPackage* p, const char* entryName);
    bool Load(const char* file);
    bool Save(const char* file) const;
    bool LoadFromMtl(const char* file);
    // Registers every material's picture with the package and renames it to its entry number.
    void Compile(FXPackage* p);
    int GetCount() const { return materials.top; }
    FXMaterial* GetMaterial(int i) const { return static_cast<FXMaterial*>(materials.items[i]); }
};
