// Reading a package's tables and single entries without loading its body, and loading a whole
// package for rewriting.
#include "package_index.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/binio.h"
#include "base/package.h"
#include "base/strings.h"
#include "files.h"
#include "progress.h"
#include "qmpack.h"

namespace {

// Reads one int32 table at body offset *at: its count must fit what is left of the body.
bool localReadTable(const QMPackIndex& x, long long* at, std::vector<int32_t>* table) {
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

QMPackIndex::~QMPackIndex() {
    if (ownFd && fd >= 0) close(fd);
}

bool QMPackIndex::Open(const std::string& file, int useFd) {
    path = file;
    long long fileSize = 0;
    std::string why;
    if (useFd >= 0) {
        fd = useFd;
        off_t end = lseek(fd, 0, SEEK_END);
        fileSize = end < 0 ? 0 : (long long)end;
    } else {
        fd = qmpackOpenInput(file, &why, &fileSize);
        if (fd < 0) return qmpackRefuse("%s: cannot open (%s)", file.c_str(), why.c_str());
        ownFd = true;
    }
    unsigned char head[4];
    int32_t sigLen = fileSize >= 4 && qmpackReadAt(fd, 0, head, 4) ? fxGetI32(head) : -1;
    char sig[FXStr::kCapacity + 1] = {};
    if (sigLen < 5 || sigLen > FXStr::kCapacity || sigLen > fileSize - 4 || !qmpackReadAt(fd, 4, sig, size_t(sigLen)) ||
        memcmp(sig, "pck01", 5) != 0)
        return qmpackRefuse("%s: not a package (no 'pck01' signature)", file.c_str());
    transposed = memchr(sig + 5, 's', size_t(sigLen - 5)) != nullptr;
    bodyAt = 4 + sigLen;
    bodySize = fileSize - bodyAt;
    if (bodySize > INT_MAX)
        return qmpackRefuse("%s: over the 2 GB limit of a package (%lld bytes)", file.c_str(), fileSize);
    side = transposed ? fxIntSqrt(int(bodySize)) : 0;

    long long at = 0;
    bool ok = localReadTable(*this, &at, &ids) && localReadTable(*this, &at, &offsets) &&
              localReadTable(*this, &at, &sizes) && localReadTable(*this, &at, &types);
    if (!ok || ids.size() != offsets.size() || ids.size() != sizes.size() || ids.size() != types.size())
        return qmpackRefuse("%s: damaged package (its entry tables do not agree with its size)", file.c_str());
    dataAt = at;
    dataLength = bodySize - at;
    return true;
}

bool QMPackIndex::Inside(int i) const {
    long long off = offsets[size_t(i)], len = sizes[size_t(i)];
    return off >= 0 && len >= 0 && off + len <= dataLength;
}

int QMPackIndex::Find(int id) const {
    for (size_t i = 0; i < ids.size(); i++)
        if (ids[i] == id) return int(i);
    return -1;
}

bool QMPackIndex::ReadEntry(int i, long long from, size_t len, unsigned char* dst) const {
    if (!Inside(i) || from < 0 || from + (long long)len > sizes[size_t(i)]) return false;
    return ReadBody(dataAt + offsets[size_t(i)] + from, len, dst);
}

bool QMPackIndex::ReadBody(long long at, size_t len, unsigned char* dst) const {
    if (at < 0 || at + (long long)len > bodySize) return false;
    long long square = side * side;
    // Past the transposed square (or in a plain body) the bytes are stored as they are.
    if (!transposed || at >= square) return len == 0 || qmpackReadAt(fd, bodyAt + at, dst, len);
    size_t inSquare = size_t(std::min<long long>((long long)len, square - at));
    if (len > inSquare && !qmpackReadAt(fd, bodyAt + square, dst + inSquare, len - inSquare)) return false;
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
            if (!qmpackReadAt(fd, bodyAt + c * side + r0, band.data() + c * rows, size_t(rows))) return false;
        long long from = std::max(first, r0 * side), to = std::min(last, r1 * side);
        for (long long p = from; p < to; p++) dst[p - at] = band[size_t((p % side) * rows + (p / side - r0))];
    }
    return true;
}

bool qmpackLoadPackage(const std::string& path, int fd, FXPackage* p, bool* transposed) {
    p->Destroy();
    QMPackIndex index;
    if (!index.Open(path, fd)) return false;
    std::vector<int> outside;
    for (int i = 0; i < index.Count(); i++)
        if (!index.Inside(i)) outside.push_back(index.ids[size_t(i)]);
    if (!outside.empty()) {
        std::string list;
        for (size_t k = 0; k < outside.size() && k < 8; k++) list += (k ? ", " : "") + std::to_string(outside[k]);
        if (outside.size() > 8) list += ", ...";
        qmpackFail("%s: damaged package: %zu of %d entries lie outside its data area (numbers %s); the file was "
                   "probably cut short. It was not changed.",
                   path.c_str(), outside.size(), index.Count(), list.c_str());
        return false;
    }
    long long total = index.bodyAt + index.bodySize;
    std::vector<unsigned char> bytes(static_cast<size_t>(total));
    int readFd = fd;
    std::string why;
    if (readFd < 0 && (readFd = qmpackOpenInput(path, &why)) < 0)
        return qmpackRefuse("%s: cannot open (%s)", path.c_str(), why.c_str());
    // A big package is read in pieces, with a progress bar: reading takes a while.
    const size_t kPiece = 8 << 20;
    QMPackProgress progress;
    progress.Start(bytes.size() > 8 * kPiece, "reading " + path + " (" + std::to_string(bytes.size() >> 20) + " MB)",
                   int((bytes.size() + kPiece - 1) / kPiece));
    bool ok = true;
    int error = 0;
    for (size_t at = 0; ok && at < bytes.size(); at += kPiece) {
        progress.Step(int(at / kPiece), path);
        errno = 0;
        ok = qmpackReadAt(readFd, (long long)at, bytes.data() + at, std::min(kPiece, bytes.size() - at));
        error = errno;
    }
    progress.Finish("read " + path);
    if (fd < 0) close(readFd);
    if (!ok)
        return qmpackRefuse("%s: read error (%s)", path.c_str(),
                            error ? strerror(error) : "the file became shorter while it was read");
    p->LoadFromMemory(bytes.data(), long(bytes.size()));
    if (p->GetCount() != index.Count())
        return qmpackRefuse("%s: damaged package (its entry tables do not agree with its size)", path.c_str());
    if (transposed) *transposed = index.transposed;
    return true;
}

int qmpackDropEntries(FXPackage* p, const std::vector<int>& numbers) {
    auto dropped = [&](int id) {
        for (int n : numbers)
            if (n == id) return true;
        return false;
    };
    long long kept = 0;
    for (int i = 0; i < p->GetCount(); i++)
        if (!dropped(p->ids.GetInt(i))) kept += p->sizes.GetInt(i);
    unsigned char* area = static_cast<unsigned char*>(malloc(size_t(kept) + 1));
    if (!area) return 0;
    FXArray ids, offsets, sizes, types;
    int at = 0, gone = 0;
    for (int i = 0; i < p->GetCount(); i++) {
        int size = p->sizes.GetInt(i);
        if (dropped(p->ids.GetInt(i))) {
            gone++;
            continue;
        }
        // Entries were checked to lie inside the data area when the package was loaded.
        if (size > 0) memcpy(area + at, p->data + p->offsets.GetInt(i), size_t(size));
        ids.PushInt(p->ids.GetInt(i));
        offsets.PushInt(at);
        sizes.PushInt(size);
        types.PushInt(p->types.GetInt(i));
        at += size;
    }
    free(p->data);
    p->data = area;
    p->dataLength = at;
    FXArray* tables[4][2] = {{&p->ids, &ids}, {&p->offsets, &offsets}, {&p->sizes, &sizes}, {&p->types, &types}};
    for (auto& t : tables) {
        t[0]->DestroyBuf();
        for (int i = 0; i < t[1]->top; i++) t[0]->PushInt(t[1]->GetInt(i));
    }
    p->RecompClasses();
    return gone;
}
