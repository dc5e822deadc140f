// Entry and source kinds for `replace`.
#include "kinds.h"

#include <unistd.h>

#include <cstring>

#include "base/binio.h"
#include "base/package.h"
#include "files.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "image/picture_header.h"
#include "qmpack.h"

std::string qmpackRecordKind(const unsigned char* head, size_t len) {
    if (len < 8 || fxGetI32(head) != 4) return "record";
    std::string magic(reinterpret_cast<const char*>(head + 4), 4);
    if (magic == "xm02" || magic == "xm03") return "model";
    if (magic == "xa03") return "animation";
    if (magic == "xs01" || magic == "xs02" || magic == "xs03") return "movie";
    return "record";
}

std::string qmpackEntryKind(const FXPackage* p, int i) {
    if (p->TypeAt(i) != FX_PACKAGE_TYPE_RECORD) return "picture";
    int size = p->SizeAt(i);
    return qmpackRecordKind(p->Data() + p->OffsetAt(i), size_t(size < 16 ? size : 16));
}

std::string qmpackSourceKind(const std::string& path) {
    std::string ext = fxExtOf(path);
    if (ext == "xm") return "model";
    if (ext == "xa") return "animation";
    if (ext == "xs") return "movie";
    std::string why;
    long long size = 0;
    int fd = qmpackOpenInput(path, &why, &size);
    if (fd < 0) return "";
    unsigned char head[16] = {};
    size_t n = size_t(size < 16 ? size : 16);
    bool ok = n == 0 || fxReadAt(fd, 0, head, n);
    fxCloseInput(fd);
    if (!ok) return "";
    if (!fxSniffPicture(head, n).empty() || ext == "tga") return "picture";
    return qmpackRecordKind(head, n);
}

std::string qmpackPictureTooLarge(const std::string& path) {
    FXInputInfo info;
    int fd = fxOpenInput(path.c_str(), &info);
    if (fd < 0) return "";
    unsigned char head[32] = {};
    size_t n = size_t(info.size < 32 ? info.size : 32);
    std::string kind = fxReadAt(fd, 0, head, n) ? fxSniffPicture(head, n) : "";
    if (kind.empty() && fxExtOf(path) == "tga") kind = "tga";
    FXPictureHeader pic;
    std::string problem;
    bool read = !kind.empty() && fxReadPictureHeader([&](long long at, size_t len, unsigned char* dst) {
        return fxReadAt(fd, at, dst, len);
    }, info.size, kind, &pic, &problem);
    fxCloseInput(fd);
    return read ? fxPictureTooLarge(pic) : "";
}

bool qmpackCheckReplacement(const std::string& where, const FXPackage* p, int i, const std::string& path,
                            bool anyKind) {
    int number = p->IdAt(i);
    std::string was = qmpackEntryKind(p, i), now = qmpackSourceKind(path);
    if (now.empty()) {
        std::string why;
        qmpackCheckInput(path, &why);
        return qmpackRefuse("%s: cannot read %s (%s)", where.c_str(), path.c_str(), why.c_str());
    }
    if (was != now && !anyKind)
        return qmpackRefuse("%s: entry %d is a %s and %s would make it a %s (--any-kind allows that)", where.c_str(),
                            number, was.c_str(), path.c_str(), now.c_str());
    if (now != "picture") return true;
    // Its size comes from its header, before anything is decoded.
    std::string tooLarge = qmpackPictureTooLarge(path);
    if (!tooLarge.empty())
        return qmpackRefuse("%s: %s is %s; entry %d was not replaced", where.c_str(), path.c_str(), tooLarge.c_str(),
                            number);
    // The saver shows what it can decode: a replacement picture is decoded once here.
    if (!fxLoadDevil()) {
        qmpackWarn("%s: the picture library (%s) is not installed: %s is not checked by decoding it", where.c_str(),
                   fxDevilPlatformName(), path.c_str());
        return true;
    }
    FXCanvas c;
    if (!c.CreateFromPict(fxAbsolutePath(path).c_str()) || c.GetWidth() <= 0 || c.GetHeight() <= 0)
        return qmpackRefuse("%s: %s does not decode as a picture; entry %d was not replaced", where.c_str(),
                            path.c_str(), number);
    return true;
}
