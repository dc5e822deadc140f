// Manifests for qmpack build and add: plain text, one "number path" line per entry, and at most
// one "free number" line saying where the numbers of compiled content (material libraries and
// pictures that models name) start. Lines whose first non-blank character is '#' and blank lines
// are ignored; the path is the rest of the line (spaces inside it are kept) and is relative to
// the manifest's folder unless absolute (to the working directory for a manifest read from a pipe).
#pragma once

#include <string>
#include <vector>

// The largest manifest read.
const long long kMaxManifestBytes = 64LL << 20;

struct QMPackManifestEntry {
    int line;
    int number;
    std::string written;  // the path as the manifest writes it
    std::string path;     // resolved against the manifest's folder
};

struct QMPackManifest {
    std::string path;
    std::string folder;  // the manifest's folder with a trailing separator, or "" for the working one
    std::vector<QMPackManifestEntry> entries;
    int freeStart = 0;  // where free numbers start, when freeLine > 0
    int freeLine = 0;

    // Reads the manifest; reports the first error by file and line and returns false. An empty
    // manifest (no entries) is an error too.
    bool Read(const std::string& path);
    // "manifest:line", for messages.
    std::string Where(int line) const;
};
