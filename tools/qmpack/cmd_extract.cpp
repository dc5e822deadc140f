// qmpack extract FILE NUMBER -o OUT: writes the bytes of one entry to a file.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "qmpack.h"

int qmpackExtract(int argc, char** argv) {
    QMPackArgs args;
    if (!args.Parse("extract", argc, argv, {"-o"}, {})) return QMPACK_USAGE;
    if (args.positional.size() != 2 || !args.Has("-o")) return qmpackUsage("extract");
    const char* path = args.positional[0].c_str();
    std::string out = args.Value("-o");
    int number = 0;
    if (!qmpackParseNumber(args.positional[1], &number))
        return qmpackFail("extract: '%s' is not an entry number", args.positional[1].c_str());

    FXPackage p;
    if (!qmpackLoad(path, &p, nullptr)) return QMPACK_FAILED;
    FXPackageData* d = p.GetDataPtr(number);
    if (!d) {
        for (int i = 0; i < p.GetCount(); i++)
            if (p.ids.GetInt(i) == number) return qmpackFail("%s: entry %d is damaged", path, number);
        return qmpackFail("%s: no entry numbered %d", path, number);
    }

    FILE* f = fopen(out.c_str(), "wb");
    if (!f) return qmpackFail("%s: cannot write (%s)", out.c_str(), strerror(errno));
    bool ok = d->size == 0 || fwrite(d->start, 1, size_t(d->size), f) == size_t(d->size);
    if (fclose(f) != 0) ok = false;
    if (!ok) {
        remove(out.c_str());
        return qmpackFail("%s: write failed", out.c_str());
    }
    return QMPACK_OK;
}
