// qmpack's view of a package file: the engine's package index (signature and entry tables, read
// without the data area, entries read one by one) opened with a report when it cannot be, and the
// whole package loaded for the commands that rewrite it.
#pragma once

#include <string>

#include "base/package_index.h"

class FXPackage;

class QMPackIndex : public FXPackageIndex {
public:
    std::string path;

    // Reads the signature and the tables of path (through fd when it is not -1; the descriptor
    // stays the caller's). Reports why it cannot ("qmpack: <path>: ...") and returns false.
    bool Open(const std::string& file, int fd = -1);
    int Id(int i) const { return tables.ids[size_t(i)]; }
    int Offset(int i) const { return tables.offsets[size_t(i)]; }
    int Size(int i) const { return tables.sizes[size_t(i)]; }
    int Type(int i) const { return tables.types[size_t(i)]; }
};

// Loads the whole package at path (through fd when it is not -1) into p for rewriting; refuses,
// with a report, a file that is not a package, whose tables are damaged, or whose entries leave
// its data area (a package cut short). transposed receives how its body is stored.
bool qmpackLoadPackage(const std::string& path, int fd, FXPackage* p, bool* transposed);
