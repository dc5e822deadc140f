// qmpack list FILE: one line per entry with its number, type, size and, for engine records, the
// leading magic string (xm02, xa03, xs01, or a material library's name).
#include <cctype>
#include <cstdio>

#include "qmpack.h"

namespace {

const char* localTypeName(int type) {
    switch (type) {
        case FX_PACKAGE_TYPE_PNG: return "png";
        case FX_PACKAGE_TYPE_JPG: return "jpg";
        case FX_PACKAGE_TYPE_BMP: return "bmp";
        case FX_PACKAGE_TYPE_TGA: return "tga";
        case FX_PACKAGE_TYPE_GIF: return "gif";
        case FX_PACKAGE_TYPE_RECORD: return "record";
        default: return nullptr;
    }
}

// The leading string of a record when it is short (1..16 characters) and printable.
std::string localMagic(FXPackageData* d) {
    enum { kMaxMagic = 16 };
    d->Reseek();
    int k = d->ReadInt();
    if (k < 1 || k > kMaxMagic || k > d->remaining) return "";
    const unsigned char* text = static_cast<const unsigned char*>(d->ReadBlc(k));
    for (int i = 0; i < k; i++)
        if (text[i] < 0x20 || text[i] > 0x7e) return "";
    return std::string(reinterpret_cast<const char*>(text), size_t(k));
}

}  // namespace

int qmpackList(int argc, char** argv) {
    QMPackArgs args;
    if (!args.Parse("list", argc, argv, {}, {})) return QMPACK_USAGE;
    if (args.positional.size() != 1) return qmpackUsage("list");
    const char* path = args.positional[0].c_str();
    FXPackage p;
    if (!qmpackLoad(path, &p, nullptr)) return QMPACK_FAILED;

    for (int i = 0; i < p.GetCount(); i++) {
        int type = p.types.GetInt(i);
        const char* name = localTypeName(type);
        char unknown[32];
        if (!name) {
            snprintf(unknown, sizeof(unknown), "type%d", type);
            name = unknown;
        }
        FXPackageData* d = static_cast<FXPackageData*>(p.entries.items[i]);
        std::string note;
        if (!d)
            note = "damaged: outside the data area";
        else if (type == FX_PACKAGE_TYPE_RECORD)
            note = localMagic(d);
        printf("%8d  %-6s  %10d%s%s\n", p.ids.GetInt(i), name, p.sizes.GetInt(i), note.empty() ? "" : "  ",
               note.c_str());
    }
    if (fflush(stdout) != 0) return qmpackFail("list: cannot write the listing");
    return QMPACK_OK;
}
