// The package file's layout: the signature, the entry tables with their checks, reads of body
// ranges through a plain or transposed body, and the transposition itself.
#include "base/package_index.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <initializer_list>

#include "base/binio.h"
#include "base/input_file.h"
#include "base/strings.h"

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

void fxPackageTransposeInPlace(unsigned char* body, int size) {
    if (size > 0) localTransposeInPlace(body, fxIntSqrt(size));
}

// ---- FXPackageTables ----

void FXPackageTables::Clear() {
    ids.clear();
    offsets.clear();
    sizes.clear();
    types.clear();
}

// ---- FXPackageIndex ----

namespace {

const char kNotAPackage[] = "not a package (no 'pck01' signature)";
const char kDamaged[] = "damaged package (its entry tables do not agree with its size)";

FXPackageStatus localTooLarge(long long bytes) {
    return FXPackageStatus::Failed(FX_PACKAGE_TOO_LARGE,
                                   "over the 2 GB limit of a package (" + std::to_string(bytes) + " bytes)");
}

// Reads one int32 table at body offset *at: its count must fit what is left of the body.
bool localReadTable(const FXPackageIndex& x, long long* at, std::vector<int32_t>* table) {
    unsigned char b[4];
    if (x.bodySize - *at < 4 || !x.ReadBody(*at, 4, b)) return false;
    long long count = fxGetI32(b);
    *at += 4;
    if (count < 0 || count > (x.bodySize - *at) / 4) return false;
    std::vector<unsigned char> raw(size_t(count) * 4);
    if (count > 0 && !x.ReadBody(*at, raw.size(), raw.data())) return false;
    *at += count * 4;
    table->resize(size_t(count));
    for (long long i = 0; i < count; i++) (*table)[size_t(i)] = fxGetI32(raw.data() + 4 * i);
    return true;
}

}  // namespace

FXPackageIndex::~FXPackageIndex() { Close(); }

void FXPackageIndex::Close() {
    if (ownFd) fxCloseInput(fd);
    fd = -1;
    ownFd = false;
    memory = nullptr;
}

FXPackageStatus FXPackageIndex::OpenHead(const char* path, int useFd) {
    Close();
    tables.Clear();
    if (useFd >= 0) {
        fd = useFd;
        fileSize = fxInputSize(fd);
    } else {
        FXInputInfo info;
        fd = fxOpenInput(path, &info);
        if (fd < 0) return FXPackageStatus::Failed(FX_PACKAGE_UNREADABLE, "cannot open (" + info.Why() + ")");
        ownFd = true;
        fileSize = info.size;
    }
    return ReadHead();
}

FXPackageStatus FXPackageIndex::Open(const char* path, int useFd) {
    FXPackageStatus s = OpenHead(path, useFd);
    return s.Ok() ? ReadTables() : s;
}

void FXPackageIndex::AttachMemory(const void* bytes, long long length) {
    Close();
    tables.Clear();
    memory = static_cast<const unsigned char*>(bytes);
    fileSize = memory && length > 0 ? length : 0;
}

FXPackageStatus FXPackageIndex::OpenMemoryHead(const void* bytes, long long length) {
    AttachMemory(bytes, length);
    return ReadHead();
}

FXPackageStatus FXPackageIndex::OpenMemory(const void* bytes, long long length) {
    FXPackageStatus s = OpenMemoryHead(bytes, length);
    return s.Ok() ? ReadTables() : s;
}

FXPackageStatus FXPackageIndex::OpenBody(const void* body, long long size) {
    AttachMemory(body, size);
    transposed = false;
    bodyAt = 0;
    bodySize = fileSize;
    side = 0;
    return bodySize > INT_MAX ? localTooLarge(bodySize) : ReadTables();
}

FXPackageStatus FXPackageIndex::ReadHead() {
    unsigned char head[4];
    int32_t sigLen = fileSize >= 4 && ReadFile(0, 4, head) ? fxGetI32(head) : -1;
    char sig[FXStr::kCapacity + 1] = {};
    if (sigLen < 5 || sigLen > FXStr::kCapacity || sigLen > fileSize - 4 || !ReadFile(4, size_t(sigLen), sig) ||
        memcmp(sig, "pck01", 5) != 0)
        return FXPackageStatus::Failed(FX_PACKAGE_NOT_A_PACKAGE, kNotAPackage);
    transposed = memchr(sig + 5, 's', size_t(sigLen - 5)) != nullptr;
    bodyAt = 4 + sigLen;
    bodySize = fileSize - bodyAt;
    if (bodySize > INT_MAX) return localTooLarge(fileSize);
    side = transposed ? fxIntSqrt(int(bodySize)) : 0;
    return {};
}

FXPackageStatus FXPackageIndex::ReadTables() {
    long long at = 0;
    bool ok = localReadTable(*this, &at, &tables.ids) && localReadTable(*this, &at, &tables.offsets) &&
              localReadTable(*this, &at, &tables.sizes) && localReadTable(*this, &at, &tables.types);
    const size_t n = tables.ids.size();
    if (!ok || tables.offsets.size() != n || tables.sizes.size() != n || tables.types.size() != n) {
        FXPackageStatus s = FXPackageStatus::Failed(FX_PACKAGE_DAMAGED, kDamaged);
        s.detail = "counts " + std::to_string(tables.ids.size()) + "/" + std::to_string(tables.offsets.size()) + "/" +
                   std::to_string(tables.sizes.size()) + "/" + std::to_string(tables.types.size());
        tables.Clear();
        return s;
    }
    dataAt = at;
    dataLength = bodySize - at;
    return {};
}

bool FXPackageIndex::Inside(int i) const {
    long long off = tables.offsets[size_t(i)], len = tables.sizes[size_t(i)];
    return off >= 0 && len >= 0 && off + len <= dataLength;
}

int FXPackageIndex::Find(int id) const {
    for (size_t i = 0; i < tables.ids.size(); i++)
        if (tables.ids[i] == id) return int(i);
    return -1;
}

bool FXPackageIndex::ReadEntry(int i, long long from, size_t len, void* dst) const {
    if (i < 0 || i >= Count() || !Inside(i) || from < 0 || from + (long long)len > tables.sizes[size_t(i)])
        return false;
    return ReadBody(dataAt + tables.offsets[size_t(i)] + from, len, dst);
}

bool FXPackageIndex::ReadFile(long long at, size_t len, void* dst) const {
    if (at < 0 || at + (long long)len > fileSize) return false;
    if (len == 0) return true;
    if (memory) {
        memcpy(dst, memory + at, len);
        return true;
    }
    return fd >= 0 && fxReadAt(fd, at, dst, len);
}

bool FXPackageIndex::ReadBody(long long at, size_t len, void* dst) const {
    if (at < 0 || at + (long long)len > bodySize) return false;
    unsigned char* out = static_cast<unsigned char*>(dst);
    long long square = side * side;
    // Past the transposed square (or in a plain body) the bytes are stored as they are.
    if (!transposed || at >= square) return ReadFile(bodyAt + at, len, out);
    size_t inSquare = size_t(std::min<long long>((long long)len, square - at));
    if (len > inSquare && !ReadFile(bodyAt + square, len - inSquare, out + inSquare)) return false;
    // Body byte r*side + c is stored at c*side + r: a band of rows is gathered column by column,
    // a few rows at a time so that a large entry never needs more than a few megabytes at once.
    long long bandRows = std::max<long long>(1, (4LL << 20) / side);
    long long first = at, last = at + (long long)inSquare;  // [first, last)
    std::vector<unsigned char> band;
    for (long long r0 = first / side; r0 * side < last; r0 += bandRows) {
        long long r1 = std::min<long long>(r0 + bandRows, (last - 1) / side + 1);  // rows [r0, r1)
        long long rows = r1 - r0;
        band.resize(size_t(rows * side));
        for (long long c = 0; c < side; c++)
            if (!ReadFile(bodyAt + c * side + r0, size_t(rows), band.data() + c * rows)) return false;
        long long from = std::max(first, r0 * side), to = std::min(last, r1 * side);
        for (long long p = from; p < to; p++) out[p - at] = band[size_t((p % side) * rows + (p / side - r0))];
    }
    return true;
}
