// The package reader: loading (plain or transposed body), the entry tables with their checks,
// lookups, the read cursor's primitives and the name table.
#include "base/package.h"

#include <cctype>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "base/binio.h"
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

int fxIntSqrt(int n) {
    if (n <= 0) return 0;
    int64_t r = int64_t(n);
    int64_t x = r;
    int64_t y = (x + 1) / 2;
    while (y < x) {
        x = y;
        y = (x + r / x) / 2;
    }
    return int(x);
}

namespace {

// The bytes of an 8 x 8 block held as eight 8-byte rows, exchanged in three steps (4 x 4 blocks,
// then 2 x 2, then single bytes): row i becomes what column i was. The block moves as eight words
// instead of 64 bytes.
void localFlip8(uint64_t* x) {
    for (int i = 0; i < 4; i++) {
        uint64_t t = ((x[i] >> 32) ^ x[i + 4]) & 0x00000000FFFFFFFFull;
        x[i] ^= t << 32;
        x[i + 4] ^= t;
    }
    for (int i : {0, 1, 4, 5}) {
        uint64_t t = ((x[i] >> 16) ^ x[i + 2]) & 0x0000FFFF0000FFFFull;
        x[i] ^= t << 16;
        x[i + 2] ^= t;
    }
    for (int i : {0, 2, 4, 6}) {
        uint64_t t = ((x[i] >> 8) ^ x[i + 1]) & 0x00FF00FF00FF00FFull;
        x[i] ^= t << 8;
        x[i + 1] ^= t;
    }
}

void localLoad8(uint64_t* x, const unsigned char* p, size_t n) {
    for (int i = 0; i < 8; i++) memcpy(&x[i], p + size_t(i) * n, 8);
}

void localStore8(unsigned char* p, const uint64_t* x, size_t n) {
    for (int i = 0; i < 8; i++) memcpy(p + size_t(i) * n, &x[i], 8);
}

// dst rows r0.. and columns c0.. of an 8 x 8 block from src (dst[r][c] = src[c][r]); both n wide.
void localTranspose8(unsigned char* dst, const unsigned char* src, size_t n, int r0, int c0) {
    uint64_t x[8];
    localLoad8(x, src + size_t(c0) * n + size_t(r0), n);
    localFlip8(x);
    localStore8(dst + size_t(r0) * n + size_t(c0), x, n);
}

// Transposes the leading n x n square of buf in place: 8 x 8 blocks exchanged with their mirror
// blocks, tile by tile, the rows and columns beyond the last multiple of 8 byte by byte.
void localTransposeInPlace(unsigned char* buf, int n) {
    const size_t w = size_t(n);
    const int kTile = 64;
    const int n8 = n - n % 8;
    for (int r0 = 0; r0 < n8; r0 += kTile) {
        const int r1 = r0 + kTile < n8 ? r0 + kTile : n8;
        for (int c0 = r0; c0 < n8; c0 += kTile) {
            const int c1 = c0 + kTile < n8 ? c0 + kTile : n8;
            for (int r = r0; r < r1; r += 8)
                for (int c = c0 == r0 ? r : c0; c < c1; c += 8) {
                    uint64_t a[8], b[8];
                    localLoad8(a, buf + size_t(r) * w + size_t(c), w);
                    localFlip8(a);
                    if (c == r) {
                        localStore8(buf + size_t(r) * w + size_t(c), a, w);
                        continue;
                    }
                    localLoad8(b, buf + size_t(c) * w + size_t(r), w);
                    localFlip8(b);
                    localStore8(buf + size_t(c) * w + size_t(r), a, w);
                    localStore8(buf + size_t(r) * w + size_t(c), b, w);
                }
        }
    }
    for (int r = 0; r < n; r++)
        for (int c = (r < n8 ? n8 : r + 1); c < n; c++) {
            unsigned char t = buf[size_t(r) * w + size_t(c)];
            buf[size_t(r) * w + size_t(c)] = buf[size_t(c) * w + size_t(r)];
            buf[size_t(c) * w + size_t(r)] = t;
        }
}

// The first bytes of a body in the file f holding the four entry tables (each an int32 count and
// as many int32); the tables are cut short where the body ends or a count is impossible (the
// table reader then refuses them). False when the file cannot be read.
bool localReadHead(FILE* f, int bodySize, std::vector<unsigned char>* head) {
    for (int t = 0; t < 4; t++) {
        const size_t at = head->size();
        const int64_t left = int64_t(bodySize) - int64_t(at);
        if (left < 4) return true;
        head->resize(at + 4);
        if (fread(head->data() + at, 1, 4, f) != 4) return false;
        const int32_t count = fxGetI32(head->data() + at);
        if (count < 0 || count > (left - 4) / 4) return true;
        head->resize(at + 4 + size_t(count) * 4);
        if (fread(head->data() + at + 4, 1, size_t(count) * 4, f) != size_t(count) * 4) return false;
    }
    return true;
}

}  // namespace

void fxPackageTranspose(unsigned char* dst, const unsigned char* src, int size) {
    if (size <= 0) return;
    const int n = fxIntSqrt(size);
    const size_t w = size_t(n);
    // Tiles of 64 x 64 that stay in the cache (walking whole columns of a large square touched a
    // new cache line for every byte), each moved as 8 x 8 blocks of words; the rows and columns
    // beyond the last multiple of 8 byte by byte.
    const int kTile = 64;
    const int n8 = n - n % 8;
    for (int r0 = 0; r0 < n8; r0 += kTile) {
        const int r1 = r0 + kTile < n8 ? r0 + kTile : n8;
        for (int c0 = 0; c0 < n8; c0 += kTile) {
            const int c1 = c0 + kTile < n8 ? c0 + kTile : n8;
            for (int r = r0; r < r1; r += 8)
                for (int c = c0; c < c1; c += 8) localTranspose8(dst, src, w, r, c);
        }
    }
    for (int r = 0; r < n; r++)
        for (int c = r < n8 ? n8 : 0; c < n; c++) dst[size_t(r) * w + size_t(c)] = src[size_t(c) * w + size_t(r)];
    const size_t square = w * w;
    if (size_t(size) > square) memcpy(dst + square, src + square, size_t(size) - square);
}

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
    free(data);
    data = nullptr;
    dataLength = 0;
    ids.DestroyBuf();
    offsets.DestroyBuf();
    sizes.DestroyBuf();
    types.DestroyBuf();
    for (int i = 0; i < entries.top; i++) delete static_cast<FXPackageData*>(entries.items[i]);
    entries.DestroyBuf();
    pendingIds.DestroyBuf();
    pendingPaths.DestroyBuf();
    tmpFiles.DestroyBuf();
}

namespace {

// A signature opens a package when it begins with "pck01"; an 's' after those five characters
// marks a transposed body.
bool localCheckSignature(const char* sig, int len, bool* transposed) {
    if (len < 5 || memcmp(sig, "pck01", 5) != 0) return false;
    *transposed = memchr(sig + 5, 's', size_t(len - 5)) != nullptr;
    return true;
}

// One table: its count must fit what is left of the body.
bool localReadTable(FXPackageData* d, FXArray* table) {
    if (d->remaining < 4) return false;
    int count = d->ReadInt();
    if (count < 0 || count > d->remaining / 4) return false;
    table->Realloc(count);
    for (int i = 0; i < count; i++) table->PushInt(d->ReadInt());
    return true;
}

}  // namespace

bool FXPackage::ReadTables(FXPackageData* d) {
    bool ok = localReadTable(d, &ids) && localReadTable(d, &offsets) && localReadTable(d, &sizes) &&
              localReadTable(d, &types);
    if (!ok || ids.top != offsets.top || ids.top != sizes.top || ids.top != types.top) {
        err(FX_ERR_DAMAGED, "package refused: damaged entry tables (counts %d/%d/%d/%d)\n", ids.top, offsets.top,
            sizes.top, types.top);
        Destroy();
        return false;
    }
    // One above the largest id, computed wide: an id of INT_MAX leaves the base at INT_MAX, where
    // the name table refuses new names instead of wrapping to negative numbers.
    int64_t base = 0;
    for (int i = 0; i < ids.top; i++)
        if (int64_t(ids.GetInt(i)) + 1 > base) base = int64_t(ids.GetInt(i)) + 1;
    names.base = base > INT_MAX ? INT_MAX : int(base);
    return true;
}

// A plain body from the file: the four tables first (each an int32 count and as many int32),
// then the data area read straight into the block it lives in.
bool FXPackage::LoadPlain(FILE* f, int bodySize) {
    std::vector<unsigned char> head;
    if (!localReadHead(f, bodySize, &head)) {
        err(FX_ERR_DAMAGED, "package refused: short read\n");
        return false;
    }
    FXPackageData d;
    d.InitData(head.data(), int(head.size()));
    if (!ReadTables(&d)) return false;
    const int length = bodySize - int(head.size());
    unsigned char* area = static_cast<unsigned char*>(malloc(size_t(length) + 1));
    if (!area || fread(area, 1, size_t(length), f) != size_t(length)) {
        if (area)
            err(FX_ERR_DAMAGED, "package refused: short read\n");
        else
            err(FX_ERR_MEMORY, "package refused: no memory for a data area of %d bytes\n", length);
        free(area);
        Destroy();
        return false;
    }
    data = area;
    dataLength = length;
    RecompClasses();
    return true;
}

bool FXPackage::LoadBody(unsigned char* body, int bodySize, bool transposed) {
    if (transposed && bodySize > 0) {
        // Untransposed in place: no second block of the body's size is taken (and touched).
        localTransposeInPlace(body, fxIntSqrt(bodySize));
    }
    FXPackageData d;
    d.InitData(body, bodySize);
    if (!ReadTables(&d)) {
        free(body);
        return false;
    }
    // The data area moves to the front of the body block, which it then owns: no second block
    // of the package's size is taken (and touched) for a copy.
    dataLength = d.remaining;
    if (dataLength > 0) memmove(body, d.current, size_t(dataLength));
    unsigned char* area = static_cast<unsigned char*>(realloc(body, size_t(dataLength) + 1));
    data = area ? area : body;
    RecompClasses();
    return true;
}

void FXPackage::Load(const char* path) {
    Destroy();
    FILE* f = path ? fopen(path, "rb") : nullptr;
    if (!f) return;
    int32_t sigLen = 0;
    char sig[FXStr::kCapacity + 1];
    bool transposed = false;
    bool isPackage = fxFileReadInt(f, &sigLen) && sigLen >= 0 && sigLen <= FXStr::kCapacity &&
                     fread(sig, 1, size_t(sigLen), f) == size_t(sigLen) &&
                     localCheckSignature(sig, sigLen, &transposed);
    if (!isPackage) {
        fclose(f);
        return;
    }
    long pos = ftell(f);
    fseek(f, 0, SEEK_END);
    long end = ftell(f);
    fseek(f, pos, SEEK_SET);
    if (pos < 0 || end < pos || end - pos > long(INT_MAX)) {
        err({FX_ERR_IO, nullptr, path}, "package %s refused: unreadable or too large\n", path);
        fclose(f);
        return;
    }
    int bodySize = int(end - pos);
    if (!transposed) {
        LoadPlain(f, bodySize);
        fclose(f);
        return;
    }
    unsigned char* body = static_cast<unsigned char*>(malloc(size_t(bodySize) + 1));
    size_t got = body ? fread(body, 1, size_t(bodySize), f) : 0;
    fclose(f);
    if (!body || got != size_t(bodySize)) {
        err({FX_ERR_IO, nullptr, path}, "package %s refused: short read\n", path);
        free(body);
        return;
    }
    LoadBody(body, bodySize, transposed);
}

void FXPackage::LoadFromMemory(const void* bytes, long length) {
    Destroy();
    const unsigned char* b = static_cast<const unsigned char*>(bytes);
    if (!b || length < 4) return;
    int32_t sigLen = fxGetI32(b);
    bool transposed = false;
    if (sigLen < 0 || sigLen > FXStr::kCapacity || sigLen > length - 4 ||
        !localCheckSignature(reinterpret_cast<const char*>(b + 4), sigLen, &transposed))
        return;
    long bodyLong = length - 4 - sigLen;
    if (bodyLong > long(INT_MAX)) return;
    int bodySize = int(bodyLong);
    unsigned char* body = static_cast<unsigned char*>(malloc(size_t(bodySize) + 1));
    if (!body) return;
    if (bodySize > 0) memcpy(body, b + 4 + sigLen, size_t(bodySize));
    LoadBody(body, bodySize, transposed);
}

void FXPackage::RecompClasses() {
    for (int i = 0; i < entries.top; i++) delete static_cast<FXPackageData*>(entries.items[i]);
    entries.RemoveAll();
    entries.Realloc(offsets.top);
    for (int i = 0; i < offsets.top; i++) {
        int64_t off = offsets.GetInt(i);
        int64_t len = i < sizes.top ? sizes.GetInt(i) : -1;
        if (off < 0 || len < 0 || off + len > dataLength) {
            err(FX_ERR_DAMAGED,
                "package entry %d (number %d) refused: offset %d size %d outside the data area of %d bytes\n", i,
                i < ids.top ? ids.GetInt(i) : -1, int(off), int(len), dataLength);
            entries.Push(nullptr);
            continue;
        }
        FXPackageData* d = new FXPackageData;
        d->InitData(data + off, int(len));
        entries.Push(d);
    }
}

int FXPackage::FindPos(int id) const {
    for (int i = 0; i < ids.top; i++)
        if (ids.GetInt(i) == id) return i;
    return -1;
}

FXPackageData* FXPackage::GetDataPtr(int id) {
    int pos = FindPos(id);
    if (pos < 0 || pos >= entries.top) return nullptr;
    FXPackageData* d = static_cast<FXPackageData*>(entries.items[pos]);
    if (d) d->Reseek();
    return d;
}

int FXPackage::GetDataType(int id) const {
    int pos = FindPos(id);
    if (pos < 0 || pos >= types.top || pos >= entries.top || !entries.items[pos]) return -1;
    return types.GetInt(pos);
}

void FXPackage::LoadNames(const char* path) {
    FILE* f = path ? fopen(path, "rb") : nullptr;
    if (!f) return;
    names.names.Load(f);
    fclose(f);
}
