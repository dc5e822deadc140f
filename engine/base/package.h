// The data package: a flat container of numbered entries (copied source files) with type codes.
// File: int32 signature length, the signature "pck01" (plus flag letters; an 's' among them means
// the body is stored transposed), then the body: four parallel int32 tables (ids, offsets, sizes,
// types, each with its int32 count) and the data area.
//
// The layout is read by FXPackageIndex (package_index.h), the one reader of package files.
//
// A package is untrusted input: a header whose tables disagree leaves the package empty, and an
// entry whose bytes leave the data area is never handed out; both leave a trace line, and Load
// says what went wrong as a value. Every read primitive of FXPackageData stays inside its entry.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/arrays.h"
#include "base/package_index.h"
#include "base/ptr_array.h"
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

    // Replaces the content by the package in the file (opened as every file read by name is:
    // never blocking, regular files only). A failure leaves the package empty and says why; a
    // package whose tables are whole but whose entries leave its data area (a file cut short)
    // loads with those entries refused, and the value counts them.
    FXPackageStatus Load(const char* path);
    // Loads from bytes in memory, with the same checks as Load; used by tools and fuzzing.
    FXPackageStatus LoadFromMemory(const void* bytes, long length);
    void Destroy();
    bool IsEmpty() const { return tables.Count() == 0; }
    int GetCount() const { return tables.Count(); }

    // The entry tables, by position (0 .. GetCount() - 1).
    int IdAt(int i) const { return tables.ids[size_t(i)]; }
    int OffsetAt(int i) const { return tables.offsets[size_t(i)]; }
    int SizeAt(int i) const { return tables.sizes[size_t(i)]; }
    int TypeAt(int i) const { return tables.types[size_t(i)]; }
    // The data area.
    const unsigned char* Data() const { return data.get(); }
    int DataLength() const { return dataLength; }
    // The rewound cursor of the entry at position i, or null when it was refused.
    FXPackageData* EntryAt(int i);
    // The rewound cursor of the first entry numbered id, or null.
    FXPackageData* GetDataPtr(int id);
    // The type of the first entry numbered id, or -1.
    int GetDataType(int id) const;
    void LoadNames(const char* path);
    // Takes every entry numbered one of numbers out: its table rows go and its bytes leave the
    // data area, which the kept entries fill again without gaps, in their order. Returns how many
    // entries went (0 also when there is no memory for the new data area; nothing changes then).
    int DropEntries(const std::vector<int>& numbers);

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
    struct FreeBlock {
        void operator()(unsigned char* p) const { free(p); }
    };
    std::unique_ptr<unsigned char, FreeBlock> data;  // the data area (malloc'ed: realloc shrinks it in place)
    int dataLength = 0;
    FXPackageTables tables;
    FXPtrArray<FXPackageData> entries;  // a cursor per table row; null for a refused entry

    int FindPos(int id) const;
    // Takes the tables of index (read over the file or a plain body) and the data area, which
    // lies at the front of the block area (taken over); the entry cursors are made anew.
    FXPackageStatus Adopt(FXPackageIndex* index, unsigned char* area, long long length);
    // Loads a transposed body held in the block body (taken over), untransposed in place.
    FXPackageStatus LoadTransposedBody(unsigned char* body, long long size);
    // The cursors of the entries; returns how many were refused.
    int RecompClasses();
    // ---- the steps of Save (package_write.cpp) ----
    bool MeasurePending(const char* path, FXArray* sizes, FXArray* types, int64_t* total) const;
    unsigned char* ReadPendingArea(const char* path, const FXArray& sizes, int newLength) const;
    void AppendPendingRows(const FXArray& sizes, const FXArray& types);
    void DropPendingRows(int n);
    bool WriteFile(const char* path, int flags, const unsigned char* area, int newLength) const;
};

// Parses a decimal entry name ("%d"): false when no number can be read.
bool fxParseEntryName(const char* name, int* id);
