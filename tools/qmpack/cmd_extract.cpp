// qmpack extract FILE NUMBER -o OUT: writes the bytes of one entry to a file (or, with "-o -",
// to standard output). Only that entry is read; the output never replaces the package itself.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "host.h"
#include "output.h"
#include "package_index.h"
#include "qmpack.h"

namespace {

// Copies entry i to the descriptor in pieces of a few megabytes.
bool localCopyEntry(const QMPackIndex& x, int i, FILE* out, std::string* why) {
    const size_t kPiece = 4 << 20;
    std::vector<unsigned char> buf;
    long long size = x.Size(i);
    for (long long at = 0; at < size; at += (long long)kPiece) {
        size_t len = size_t(size - at < (long long)kPiece ? size - at : (long long)kPiece);
        buf.resize(len);
        if (!x.ReadEntry(i, at, len, buf.data())) {
            *why = "the package cannot be read";
            return false;
        }
        if (fwrite(buf.data(), 1, len, out) != len) {
            *why = strerror(errno);
            return false;
        }
    }
    return true;
}

}  // namespace

int qmpackExtract(int argc, char** argv) {
    QMPackArgs args;
    if (!args.Parse("extract", argc, argv, {"-o"}, {})) return QMPACK_USAGE;
    if (args.positional.size() != 2 || !args.Has("-o")) return qmpackUsage("extract");
    const std::string path = args.positional[0];
    const std::string out = args.Value("-o");
    int number = 0;
    if (!qmpackParseNumber(args.positional[1], &number))
        return qmpackBadValue("extract: '%s' is not an entry number", args.positional[1].c_str());

    QMPackIndex index;
    if (!index.Open(path)) return QMPACK_FAILED;
    int i = index.Find(number);
    if (i < 0) return qmpackFail("%s: no entry numbered %d", path.c_str(), number);
    if (!index.Inside(i))
        return qmpackFail("%s: entry %d is damaged (it lies outside the data area)", path.c_str(), number);

    qmpackDetail("%s: entry %d, %d bytes at offset %d of the data area", path.c_str(), number,
                 index.Size(i), index.Offset(i));
    std::string why;
    if (out == "-") {
        qmpackBinaryStdout();
        if (!localCopyEntry(index, i, stdout, &why) || fflush(stdout) != 0)
            return qmpackFail("standard output: write failed (%s)", why.empty() ? strerror(errno) : why.c_str());
        return QMPACK_OK;
    }
    QMPackOutput output;
    if (!output.Open(out, {{path, "the package"}}, false)) return QMPACK_FAILED;
    FILE* f = fopen(output.TempPath().c_str(), "wb");
    if (!f) return qmpackFail("%s: cannot write (%s)", out.c_str(), strerror(errno));
    bool ok = localCopyEntry(index, i, f, &why);
    if (fclose(f) != 0 && ok) {
        ok = false;
        why = strerror(errno);
    }
    if (!ok) return qmpackFail("%s: write failed (%s)", out.c_str(), why.c_str());
    return output.Commit() ? QMPACK_OK : QMPACK_FAILED;
}
