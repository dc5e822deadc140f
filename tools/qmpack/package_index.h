// A package's signature and entry tables, read without its data area, and reads of single
// entries through the file (plain or transposed body alike): `list` and `extract` stay small in
// memory however large the package is. qmpackLoadPackage reads a whole package for commands that
// rewrite it, refusing one whose entries leave its data area.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class FXPackage;

class QMPackIndex {
public:
    std::string path;
    bool transposed = false;
    long long bodyAt = 0;      // file offset of the body (after the signature)
    long long bodySize = 0;
    long long dataAt = 0;      // body offset of the data area (after the four tables)
    long long dataLength = 0;
    std::vector<int32_t> ids, offsets, sizes, types;

    QMPackIndex() = default;
    QMPackIndex(const QMPackIndex&) = delete;
    QMPackIndex& operator=(const QMPackIndex&) = delete;
    ~QMPackIndex();

    // Reads the signature and the tables of path (through fd when it is not -1; the descriptor
    // stays the caller's). Reports why it cannot ("qmpack: <path>: ...") and returns false.
    bool Open(const std::string& path, int fd = -1);
    int Count() const { return int(ids.size()); }
    // True when entry i lies inside the data area.
    bool Inside(int i) const;
    // The position of the first entry numbered id, or -1.
    int Find(int id) const;
    // len bytes of entry i from byte from (inside the entry); false on a read error.
    bool ReadEntry(int i, long long from, size_t len, unsigned char* dst) const;
    // len bytes of the (untransposed) body at body offset at.
    bool ReadBody(long long at, size_t len, unsigned char* dst) const;

private:
    int fd = -1;
    bool ownFd = false;
    long long side = 0;  // the transposed square's side
};

// Loads the whole package at path (through fd when it is not -1) into p for rewriting; refuses,
// with a report, a file that is not a package, whose tables are damaged, or whose entries leave
// its data area (a package cut short). transposed receives how its body is stored.
bool qmpackLoadPackage(const std::string& path, int fd, FXPackage* p, bool* transposed);
// Takes every entry numbered one of numbers out of the loaded package p: its table rows go and
// its bytes leave the data area, which the kept entries fill again without gaps, in their order.
// Returns how many entries went.
int qmpackDropEntries(FXPackage* p, const std::vector<int>& numbers);
