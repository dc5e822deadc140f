// Opening a package's index with a report, and loading a whole package for rewriting.
#include "package_index.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "base/input_file.h"
#include "base/package.h"
#include "progress.h"
#include "qmpack.h"

bool QMPackIndex::Open(const std::string& file, int fd) {
    path = file;
    FXPackageStatus s = FXPackageIndex::Open(file.c_str(), fd);
    return s.Ok() || qmpackRefuse("%s: %s", file.c_str(), s.why.c_str());
}

bool qmpackLoadPackage(const std::string& path, int fd, FXPackage* p, bool* transposed) {
    p->Destroy();
    QMPackIndex index;
    if (!index.Open(path, fd)) return false;
    std::vector<int> outside;
    for (int i = 0; i < index.Count(); i++)
        if (!index.Inside(i)) outside.push_back(index.Id(i));
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
    FXInputInfo info;
    if (readFd < 0 && (readFd = fxOpenInput(path.c_str(), &info)) < 0)
        return qmpackRefuse("%s: cannot open (%s)", path.c_str(), info.Why().c_str());
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
        ok = fxReadAt(readFd, (long long)at, bytes.data() + at, std::min(kPiece, bytes.size() - at));
        error = errno;
    }
    progress.Finish("read " + path);
    if (fd < 0) fxCloseInput(readFd);
    if (!ok)
        return qmpackRefuse("%s: read error (%s)", path.c_str(),
                            error ? strerror(error) : "the file became shorter while it was read");
    FXPackageStatus loaded = p->LoadFromMemory(bytes.data(), long(bytes.size()));
    if (!loaded.Ok() || p->GetCount() != index.Count())
        return qmpackRefuse("%s: damaged package (its entry tables do not agree with its size)", path.c_str());
    if (transposed) *transposed = index.transposed;
    return true;
}
