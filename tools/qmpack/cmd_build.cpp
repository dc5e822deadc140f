// qmpack build OUT MANIFEST: a new package from a manifest's files; qmpack add PACKAGE MANIFEST:
// the manifest's files appended to an existing package, whose entries keep their numbers and
// offsets. Every source file is checked before anything is written.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "qmpack.h"

namespace {

enum { kLargeBytes = 8 << 20, kLargeFiles = 200 };

// Checks that a source can be read as a whole file; reports it by manifest line.
bool localCheckSource(const FXPackage& p, const char* manifest, const QMPackManifestEntry& e, int* size) {
    int type = 0;
    FILE* f = fopen(e.path.c_str(), "rb");
    if (!f) {
        qmpackFail("%s:%d: cannot read %s (%s)", manifest, e.line, e.path.c_str(), strerror(errno));
        return false;
    }
    // A directory opens but does not read.
    bool readable = fgetc(f) != EOF || !ferror(f);
    fclose(f);
    if (!readable || !p.CheckFile(e.path.c_str(), size, &type)) {
        qmpackFail("%s:%d: cannot read %s (not a readable file)", manifest, e.line, e.path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int qmpackPackManifest(FXPackage* p, const char* manifest, const std::vector<QMPackManifestEntry>& entries,
                       const char* out, bool transposed) {
    long long total = 0;
    for (const QMPackManifestEntry& e : entries) {
        int size = 0;
        if (!localCheckSource(*p, manifest, e, &size)) return QMPACK_FAILED;
        total += size;
    }
    bool large = total > kLargeBytes || entries.size() > kLargeFiles;
    if (large)
        fprintf(stderr, "qmpack: packing %zu files (%.1f MB) into %s\n", entries.size(), double(total) / (1 << 20),
                out);
    for (const QMPackManifestEntry& e : entries) p->AddDataFile(e.number, e.path.c_str());
    if (!p->Save(out, transposed ? 1 : 0))
        return qmpackFail("%s: cannot write the package (a source changed, or the folder is not writable)", out);
    if (large) fprintf(stderr, "qmpack: wrote %s: %d entries, %d bytes of data\n", out, p->GetCount(), p->dataLength);
    return QMPACK_OK;
}

int qmpackBuild(int argc, char** argv) {
    QMPackArgs args;
    if (!args.Parse("build", argc, argv, {}, {"--transposed"})) return QMPACK_USAGE;
    if (args.positional.size() != 2) return qmpackUsage("build");
    const char* out = args.positional[0].c_str();
    const char* manifest = args.positional[1].c_str();
    std::vector<QMPackManifestEntry> entries;
    if (!qmpackReadManifest(manifest, &entries)) return QMPACK_FAILED;
    FXPackage p;
    return qmpackPackManifest(&p, manifest, entries, out, args.Has("--transposed"));
}

int qmpackAdd(int argc, char** argv) {
    QMPackArgs args;
    if (!args.Parse("add", argc, argv, {}, {"--transposed"})) return QMPACK_USAGE;
    if (args.positional.size() != 2) return qmpackUsage("add");
    const char* package = args.positional[0].c_str();
    const char* manifest = args.positional[1].c_str();
    std::vector<QMPackManifestEntry> entries;
    if (!qmpackReadManifest(manifest, &entries)) return QMPACK_FAILED;
    FXPackage p;
    bool transposed = false;
    if (!qmpackLoad(package, &p, &transposed)) return QMPACK_FAILED;
    for (const QMPackManifestEntry& e : entries)
        for (int i = 0; i < p.GetCount(); i++)
            if (p.ids.GetInt(i) == e.number)
                return qmpackFail("%s:%d: number %d is already an entry of %s", manifest, e.line, e.number, package);
    // The package keeps its stored form unless asked to be transposed.
    return qmpackPackManifest(&p, manifest, entries, package, transposed || args.Has("--transposed"));
}
