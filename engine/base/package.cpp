// The package: loading through the package index (plain or transposed body), lookups, taking
// entries out, the read cursor's primitives and the name table.
#include "base/package.h"

#include <set>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/binio.h"
#include "base/input_file.h"
#include "base/trace.h"

// ---- FXPackageData ----

void FXPackageData::InitData(const void* p, int bytes) {
    start = current = static_cast<const unsigned char*>(p);
    size = remaining = bytes < 0 ? 0 : bytes;
}

void FXPackageData::Reseek() {
    current = start;
    remaining = size;
}

bool FXPackageData::ReadBool() {
    if (remaining < 1) return false;
    bool v = (*current == 1);
    current++;
    remaining--;
    return v;
}

int FXPackageData::ReadInt() {
    if (remaining < 4) return 0;
    int v = fxGetI32(current);
    current += 4;
    remaining -= 4;
    return v;
}

float FXPackageData::ReadFloat() {
    if (remaining < 4) return 0.0f;
    float v = fxGetF32(current);
    current += 4;
    remaining -= 4;
    return v;
}

double FXPackageData::ReadDouble() {
    if (remaining < 8) return 0.0;
    double v = fxGetF64(current);
    current += 8;
    remaining -= 8;
    return v;
}

void FXPackageData::ReadFloat4(float* dst) {
    if (remaining < 16) return;
    for (int i = 0; i < 4; i++) dst[i] = fxGetF32(current + 4 * i);
    current += 16;
    remaining -= 16;
}

const void* FXPackageData::ReadBlc(int len) {
    if (len < 0 || remaining < len) return nullptr;
    const void* p = current;
    current += len;
    remaining -= len;
    return p;
}

const void* FXPackageData::ReadCopyBlc(void* dst, int len) {
    if (len < 0 || remaining < len) return nullptr;
    const void* p = current;
    if (len > 0) memcpy(dst, current, size_t(len));
    current += len;
    remaining -= len;
    return p;
}

void FXPackageData::ReadString(FXStr* s) {
    s->Clear();
    if (remaining < 4) return;
    int k = ReadInt();
    if (k <= 0) return;
    if (k > remaining) {  // damaged: nothing sensible follows
        current += remaining;
        remaining = 0;
        return;
    }
    int keep = k > FXStr::kCapacity ? FXStr::kCapacity : k;
    memcpy(s->text, current, size_t(keep));
    s->text[keep] = 0;
    s->len = keep;
    current += k;
    remaining -= k;
}

namespace {
// The stored count of an array, or -1 when it is beyond what a package array may hold.
int localArrayCount(FXPackageData* d) {
    int count = d->ReadInt();
    if (count > FXPackageData::kMaxArrayItems) {
        err(FX_ERR_DAMAGED, "package array of %d items refused (damaged entry)\n", count);
        return -1;
    }
    return count;
}
}  // namespace

// The arrays below are allocated at their stored count, and Realloc zero-fills fresh slots: the
// items past the end of the run are the slots never written, so a damaged count costs one
// allocation instead of a million single reads.

void FXPackageData::ReadStringArray(FXStrArray* a) {
    a->DestroyBuf();
    if (remaining < 4) return;
    int count = localArrayCount(this);
    if (count <= 0) return;
    a->Realloc(count);
    FXStr s;
    for (int i = 0; i < count && remaining >= 4; i++) {
        ReadString(&s);
        a->Push(s.text);
    }
    a->top = count;  // missing strings are null (empty) items
}

void FXPackageData::ReadArray(FXArray* a) {
    a->DestroyBuf();
    if (remaining < 4) return;
    int count = localArrayCount(this);
    if (count <= 0) return;
    a->Realloc(count);
    for (int i = 0; i < count && remaining >= 4; i++) a->PushInt(ReadInt());
    a->top = count;  // missing items are zeros
}

void FXPackageData::ReadFloatArray(FXFloatArray* a) {
    a->DestroyBuf();
    if (remaining < 4) return;
    int count = localArrayCount(this);
    if (count <= 0) return;
    a->Realloc(count);
    for (int i = 0; i < count && remaining >= 4; i++) a->Push(ReadFloat());
    a->top = count;  // missing items are 0.0
}

void FXPackageData::WriteInt(int v) {
    if (remaining < 4) return;
    // Cursors over the package's own data area are read-only; writers put a cursor over a
    // block of their own.
    fxPutI32(const_cast<unsigned char*>(current), v);
    current += 4;
    remaining -= 4;
}

void FXPackageData::WriteArray(const FXArray* a) {
    if (remaining < 4) return;
    int n = (a->items && a->top > 0) ? a->top : 0;
    WriteInt(n);
    for (int i = 0; i < n; i++) WriteInt(a->GetInt(i));
}

// ---- FXNameServer ----

namespace {
// The number of local index pos, or -1 when it would reach the largest int. INT_MAX itself is
// never handed out: a package holding an entry INT_MAX has its base clamped there, and a name
// given that number would collide with the stored entry.
int localNumberOf(int pos, int base) {
    int64_t number = int64_t(pos) + base;
    return number >= INT_MAX ? -1 : int(number);
}
}  // namespace

int FXNameServer::FindId(const char* name) const {
    int pos = names.Findpos(name);
    return pos < 0 ? -1 : localNumberOf(pos, base);
}

int FXNameServer::BuildId(const char* name) {
    int pos = names.Findpos(name);
    if (pos >= 0) return localNumberOf(pos, base);
    // A name whose number would not fit is not added: it could never be looked up.
    if (localNumberOf(names.top, base) < 0) {
        err(FX_ERR_REFUSED, "no entry number left for name %s (base %d)\n", name ? name : "", base);
        return -1;
    }
    names.Push(name);
    return localNumberOf(names.top - 1, base);
}

void FXNameServer::Destroy() {
    names.DestroyBuf();
    base = 0;
}

// ---- helpers ----

bool fxParseEntryName(const char* name, int* id) {
    if (!name) return false;
    const char* p = name;
    while (*p && isspace(static_cast<unsigned char>(*p))) p++;
    if (!*p) return false;
    char* end = nullptr;
    errno = 0;
    long v = strtol(p, &end, 10);
    if (end == p || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    *id = int(v);
    return true;
}

// ---- FXPackage ----

namespace {
unsigned localNextSerial() {
    static std::atomic<unsigned> next{1};
    return next++;
}
}  // namespace

FXPackage::FXPackage() : serial(localNextSerial()) {}

FXPackage::~FXPackage() {
    Destroy();
    names.Destroy();
}

void FXPackage::Destroy() {
    data.reset();
    dataLength = 0;
    tables.Clear();
    entries.DeleteContents();
    pendingIds.DestroyBuf();
    pendingPaths.DestroyBuf();
    tmpFiles.DestroyBuf();
}

FXPackageStatus FXPackage::Adopt(FXPackageIndex* index, unsigned char* area, long long length) {
    std::swap(tables, index->tables);
    data.reset(area);
    dataLength = int(length);
    // One above the largest id, computed wide: an id of INT_MAX leaves the base at INT_MAX, where
    // the name table refuses new names instead of wrapping to negative numbers.
    int64_t base = 0;
    for (int32_t id : tables.ids)
        if (int64_t(id) + 1 > base) base = int64_t(id) + 1;
    names.base = base > INT_MAX ? INT_MAX : int(base);
    FXPackageStatus s;
    s.refused = RecompClasses();
    return s;
}

namespace {

// The status of a refused package, with its trace line. A file that cannot be opened or is no
// package says nothing here: whoever asked for it knows whether that matters.
FXPackageStatus localRefused(FXPackageStatus s, const char* path) {
    std::string named = path ? std::string(" ") + path : "";
    switch (s.problem) {
        case FX_PACKAGE_DAMAGED:
            err({FX_ERR_DAMAGED, nullptr, path}, "package%s refused: damaged entry tables (%s)\n", named.c_str(),
                s.detail.c_str());
            break;
        case FX_PACKAGE_NO_MEMORY:
            err({FX_ERR_MEMORY, nullptr, path}, "package%s refused: %s\n", named.c_str(), s.why.c_str());
            break;
        case FX_PACKAGE_TOO_LARGE:
        case FX_PACKAGE_SHORT_READ:
            err({FX_ERR_IO, nullptr, path}, "package%s refused: %s\n", named.c_str(), s.why.c_str());
            break;
        default: break;
    }
    return s;
}

// A block of size bytes (one more, so that an empty area is a block too); null without memory.
unsigned char* localBlock(long long size) { return static_cast<unsigned char*>(malloc(size_t(size) + 1)); }

FXPackageStatus localNoMemory(long long size) {
    return FXPackageStatus::Failed(FX_PACKAGE_NO_MEMORY, "no memory for " + std::to_string(size) + " bytes");
}

}  // namespace

FXPackageStatus FXPackage::LoadTransposedBody(unsigned char* body, long long size) {
    // Untransposed in place: no second block of the body's size is taken (and touched).
    fxPackageTransposeInPlace(body, int(size));
    FXPackageIndex plain;
    FXPackageStatus s = plain.OpenBody(body, size);
    if (!s.Ok()) {
        free(body);
        return s;
    }
    // The data area moves to the front of the body block, which it then owns: no second block of
    // the package's size is taken (and touched) for a copy.
    long long length = plain.dataLength;
    if (length > 0) memmove(body, body + plain.dataAt, size_t(length));
    unsigned char* area = static_cast<unsigned char*>(realloc(body, size_t(length) + 1));
    return Adopt(&plain, area ? area : body, length);
}

FXPackageStatus FXPackage::Load(const char* path) {
    Destroy();
    FXPackageIndex index;
    FXPackageStatus s = index.OpenHead(path);
    if (!s.Ok()) return localRefused(s, path);
    if (index.transposed) {
        unsigned char* body = localBlock(index.bodySize);
        if (!body) return localRefused(localNoMemory(index.bodySize), path);
        if (!index.ReadFile(index.bodyAt, size_t(index.bodySize), body)) {
            free(body);
            return localRefused(FXPackageStatus::Failed(FX_PACKAGE_SHORT_READ, "short read"), path);
        }
        return localRefused(LoadTransposedBody(body, index.bodySize), path);
    }
    // A plain body: the four tables first, then the data area read straight into the block it
    // lives in.
    s = index.ReadTables();
    if (!s.Ok()) return localRefused(s, path);
    unsigned char* area = localBlock(index.dataLength);
    if (!area) return localRefused(localNoMemory(index.dataLength), path);
    if (!index.ReadBody(index.dataAt, size_t(index.dataLength), area)) {
        free(area);
        return localRefused(FXPackageStatus::Failed(FX_PACKAGE_SHORT_READ, "short read"), path);
    }
    return Adopt(&index, area, index.dataLength);
}

FXPackageStatus FXPackage::LoadFromMemory(const void* bytes, long length) {
    Destroy();
    FXPackageIndex index;
    FXPackageStatus s = index.OpenMemoryHead(bytes, length);
    if (s.Ok() && !index.transposed) s = index.ReadTables();
    if (!s.Ok()) return localRefused(s, nullptr);
    long long size = index.transposed ? index.bodySize : index.dataLength;
    unsigned char* block = localBlock(size);
    if (!block) return localRefused(localNoMemory(size), nullptr);
    if (index.transposed) {
        index.ReadFile(index.bodyAt, size_t(size), block);
        return localRefused(LoadTransposedBody(block, size), nullptr);
    }
    index.ReadBody(index.dataAt, size_t(size), block);
    return Adopt(&index, block, size);
}

int FXPackage::RecompClasses() {
    entries.DeleteContents();
    entries.Reserve(tables.Count());
    int refused = 0;
    for (int i = 0; i < tables.Count(); i++) {
        int64_t off = tables.offsets[size_t(i)];
        int64_t len = tables.sizes[size_t(i)];
        if (off < 0 || len < 0 || off + len > dataLength) {
            err(FX_ERR_DAMAGED,
                "package entry %d (number %d) refused: offset %d size %d outside the data area of %d bytes\n", i,
                tables.ids[size_t(i)], int(off), int(len), dataLength);
            entries.Push(nullptr);
            refused++;
            continue;
        }
        FXPackageData* d = new FXPackageData;
        d->InitData(data.get() + off, int(len));
        entries.Push(d);
    }
    return refused;
}

int FXPackage::FindPos(int id) const {
    for (int i = 0; i < tables.Count(); i++)
        if (tables.ids[size_t(i)] == id) return i;
    return -1;
}

FXPackageData* FXPackage::EntryAt(int i) {
    if (i < 0 || i >= entries.Count()) return nullptr;
    FXPackageData* d = entries.Get(i);
    if (d) d->Reseek();
    return d;
}

FXPackageData* FXPackage::GetDataPtr(int id) { return EntryAt(FindPos(id)); }

int FXPackage::GetDataType(int id) const {
    int pos = FindPos(id);
    if (pos < 0 || pos >= entries.Count() || !entries.Get(pos)) return -1;
    return tables.types[size_t(pos)];
}

int FXPackage::DropEntries(const std::vector<int>& numbers) {
    const std::set<int> gone(numbers.begin(), numbers.end());
    auto dropped = [&](int id) { return gone.count(id) > 0; };
    long long kept = 0;
    for (int i = 0; i < tables.Count(); i++)
        if (!dropped(IdAt(i)) && entries.Get(i)) kept += SizeAt(i);
    unsigned char* area = localBlock(kept);
    if (!area) return 0;
    FXPackageTables now;
    int at = 0, went = 0;
    for (int i = 0; i < tables.Count(); i++) {
        if (dropped(IdAt(i))) {
            went++;
            continue;
        }
        // A refused entry keeps its row and its place, without bytes to move.
        int size = entries.Get(i) ? SizeAt(i) : 0;
        if (size > 0) memcpy(area + at, data.get() + OffsetAt(i), size_t(size));
        now.ids.push_back(IdAt(i));
        now.offsets.push_back(entries.Get(i) ? at : OffsetAt(i));
        now.sizes.push_back(SizeAt(i));
        now.types.push_back(TypeAt(i));
        at += size;
    }
    std::swap(tables, now);
    data.reset(area);
    dataLength = at;
    RecompClasses();
    return went;
}

void FXPackage::LoadNames(const char* path) {
    FILE* f = fxOpenInputFile(path);
    if (!f) return;
    names.names.Load(f);
    fclose(f);
}
