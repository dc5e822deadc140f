// The data package: a flat container of numbered entries (copied source files) with type codes.
// File: int32 signature length, the signature "pck01" (plus flag letters; an 's' among them means
// the body is stored transposed), then the body: four parallel int32 tables (ids, offsets, sizes,
// types, each with its int32 count) and the data area.
//
// A package is untrusted input: a header whose tables disagree leaves the package empty, and an
// entry whose bytes leave the data area is never handed out; both leave a trace line. Every read
// primitive of FXPackageData stays inside its entry.
#pragma once

#include "base/arrays.h"
#include "base/strings.h"

// Entry type codes: the image types of the picture decoder, -1 for engine records.
enum {
    FX_PACKAGE_TYPE_BMP = 1056,
    FX_PACKAGE_TYPE_JPG = 1061,
    FX_PACKAGE_TYPE_PNG = 1066,
    FX_PACKAGE_TYPE_TGA = 1069,
    FX_PACKAGE_TYPE_GIF = 1078,
    FX_PACKAGE_TYPE_RECORD = -1,
};

// A read cursor over one run of bytes it does not own. A read that finds too few bytes remaining
// consumes nothing and yields its "short" value.
class FXPackageData {
public:
    const unsigned char* start = nullptr;
    int size = 0;
    const unsigned char* current = nullptr;
    int remaining = 0;

    // Arrays read from a package hold at most this many items; a longer stored count is damage.
    enum { kMaxArrayItems = 1 << 20 };

    void InitData(const void* p, int bytes);
    void Reseek();

    bool ReadBool();
    int ReadInt();
    float ReadFloat();
    double ReadDouble();
    void ReadFloat4(float* dst);
    const void* ReadBlc(int len);
    const void* ReadCopyBlc(void* dst, int len);
    // int32 k, then k characters. k <= 0 is the empty string; more than 1023 characters keep the
    // first 1023 and skip the rest; a k beyond the entry empties s and exhausts the cursor.
    void ReadString(FXStr* s);
    // int32 count, then count items; items past the end read as empty strings or zeros, so the
    // array holds exactly the stored count (up to kMaxArrayItems; a larger count reads as empty).
    void ReadStringArray(FXStrArray* a);
    void ReadArray(FXArray* a);
    void ReadFloatArray(FXFloatArray* a);

    void WriteInt(int v);
    void WriteArray(const FXArray* a);
};

// Maps entry names to entry numbers: the number of a name is its position + base.
class FXNameServer {
public:
    FXStrArray names;
    int base = 0;

    int FindId(const char* name) const;
    int BuildId(const char* name);
    void Destroy();
};

class FXPackage {
public:
    FXNameServer names;
    unsigned char* data = nullptr;  // the data area, owned
    int dataLength = 0;
    FXArray ids, offsets, sizes, types;
    FXArray entries;  // owned FXPackageData*, parallel to offsets; null for a refused entry

    // Authoring state (empty when the package is only read).
    FXArray pendingIds;
    FXStrArray pendingPaths;
    FXStrArray tmpFiles;
    FXStr sourceDir;
    // Tells packages apart for the compile steps (an address may be reused by the next package).
    const unsigned serial;

    FXPackage();
    FXPackage(const FXPackage&) = delete;
    FXPackage& operator=(const FXPackage&) = delete;
    ~FXPackage();

    // Replaces the content by the package in the file; failure leaves the package empty.
    void Load(const char* path);
    // Loads from bytes in memory (the same checks as Load); used by tools and fuzzing.
    void LoadFromMemory(const void* bytes, long length);
    void Destroy();
    bool IsEmpty() const { return ids.top == 0; }
    int GetCount() const { return ids.top; }

    // The rewound cursor of the first entry numbered id, or null.
    FXPackageData* GetDataPtr(int id);
    // The type of the first entry numbered id, or -1.
    int GetDataType(int id) const;
    void RecompClasses();
    void LoadNames(const char* path);

    // ---- authoring (package_write.cpp) ----
    void AddDataFile1(FXStr* name);
    void AddDataFile(int id, const char* path);
    void AddTmpFile(const char* path);
    void DeleteTmpFiles();
    // size and type of a source file; false when it cannot be read.
    bool CheckFile(const char* path, int* size, int* type) const;
    // Writes the package (bit 0 of flags: transposed body). Refuses (false, nothing written,
    // pending entries kept) when a pending file cannot be read.
    bool Save(const char* path, int flags);
    bool SaveNames(const char* path) const;
    bool SaveNamesCpp(const char* path) const;

private:
    int FindPos(int id) const;
    bool LoadBody(unsigned char* body, int bodySize, bool transposed);
    // The four entry tables under the cursor and the name base; false (package emptied, trace
    // line) when they are damaged.
    bool ReadTables(FXPackageData* d);
    bool LoadPlain(FILE* f, int bodySize);
};

// Transposes the leading n x n square of a body in place-free form (dst and src distinct);
// n = the integer square root of size. The operation is its own inverse.
void fxPackageTranspose(unsigned char* dst, const unsigned char* src, int size);
// The exact integer square root.
int fxIntSqrt(int n);
// Parses a decimal entry name ("%d"): false when no number can be read.
bool fxParseEntryName(const char* name, int* id);
