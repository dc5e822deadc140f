// The one reader of a package file's layout: its signature and its four entry tables, read
// without its data area, and reads of single entries or body ranges through the file whether the
// body is stored plain or transposed. FXPackage loads through it; tools that list or extract
// entries use it alone and stay small in memory however large the package is.
//
// File: int32 signature length, the signature "pck01" (plus flag letters; an 's' among them means
// the body is stored transposed: the leading n x n square of the body, n its integer square root,
// is stored column by column), then the body: four int32 tables (ids, offsets, sizes, types, each
// an int32 count and as many int32) and the data area. A body over 2 GB, a table count beyond what
// is left of the body and tables of different lengths are damage: the index is refused whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Why a package cannot be read.
enum FXPackageProblem {
    FX_PACKAGE_OK = 0,
    FX_PACKAGE_UNREADABLE,     // the file cannot be opened (missing, not a regular file, no access)
    FX_PACKAGE_NOT_A_PACKAGE,  // no "pck01" signature
    FX_PACKAGE_TOO_LARGE,      // a body over the 2 GB a package may have
    FX_PACKAGE_DAMAGED,        // entry tables that do not agree with each other or with the size
    FX_PACKAGE_SHORT_READ,     // the file ended or failed while it was read
    FX_PACKAGE_NO_MEMORY,      // no memory for the data area
};

// The outcome of reading a package, as a value.
struct FXPackageStatus {
    FXPackageProblem problem = FX_PACKAGE_OK;
    std::string why;     // in words, to follow the file's name: "not a package (no 'pck01' signature)"
    std::string detail;  // for the trace log: the table counts of damaged tables ("counts 2/1/1/1")
    int refused = 0;     // entries left out because their bytes lie outside the data area

    bool Ok() const { return problem == FX_PACKAGE_OK; }
    static FXPackageStatus Failed(FXPackageProblem p, const std::string& why) { return {p, why, "", 0}; }
};

// The four entry tables, position by position.
struct FXPackageTables {
    std::vector<int32_t> ids, offsets, sizes, types;
    int Count() const { return int(ids.size()); }
    void Clear();
};

class FXPackageIndex {
public:
    bool transposed = false;
    long long bodyAt = 0;      // file offset of the body (after the signature)
    long long bodySize = 0;
    long long dataAt = 0;      // body offset of the data area (after the four tables)
    long long dataLength = 0;
    FXPackageTables tables;

    FXPackageIndex() = default;
    FXPackageIndex(const FXPackageIndex&) = delete;
    FXPackageIndex& operator=(const FXPackageIndex&) = delete;
    ~FXPackageIndex();  // closes the file it opened itself

    // Reads the signature and the tables of the package file at path (through fd when it is not
    // -1; the descriptor stays the caller's). The file is opened as every file read by name is
    // (never blocking, regular files only).
    FXPackageStatus Open(const char* path, int fd = -1);
    // The same over a whole package file in memory (bytes are not copied: they must outlive the
    // index).
    FXPackageStatus OpenMemory(const void* bytes, long long length);
    // A plain (untransposed) body in memory, as the tables and data area of a package.
    FXPackageStatus OpenBody(const void* body, long long size);
    // Only the signature, of a file or of bytes in memory: transposed, bodyAt and bodySize (the
    // tables stay empty until ReadTables).
    FXPackageStatus OpenHead(const char* path, int fd = -1);
    FXPackageStatus OpenMemoryHead(const void* bytes, long long length);
    FXPackageStatus ReadTables();

    int Count() const { return tables.Count(); }
    // True when entry i lies inside the data area.
    bool Inside(int i) const;
    // The position of the first entry numbered id, or -1.
    int Find(int id) const;
    // len bytes of entry i from byte from (inside the entry); false when they are not there.
    bool ReadEntry(int i, long long from, size_t len, void* dst) const;
    // len bytes of the (untransposed) body at body offset at.
    bool ReadBody(long long at, size_t len, void* dst) const;
    // len bytes of the file as stored, at file offset at.
    bool ReadFile(long long at, size_t len, void* dst) const;

private:
    int fd = -1;
    bool ownFd = false;
    const unsigned char* memory = nullptr;
    long long fileSize = 0;
    long long side = 0;  // the transposed square's side

    void Close();
    // Reads from bytes in memory from now on.
    void AttachMemory(const void* bytes, long long length);
    FXPackageStatus ReadHead();
};

// Transposes the leading n x n square of a body into dst (dst and src distinct); n = the integer
// square root of size. The operation is its own inverse.
void fxPackageTranspose(unsigned char* dst, const unsigned char* src, int size);
// The same in place.
void fxPackageTransposeInPlace(unsigned char* body, int size);
// The exact integer square root.
int fxIntSqrt(int n);
