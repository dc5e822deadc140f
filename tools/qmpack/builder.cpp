// The builder's numbering, plain files, pictures and names files.
#include "builder.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "base/binio.h"
#include "base/package.h"
#include "files.h"
#include "host.h"
#include "image/picture_header.h"
#include "kinds.h"
#include "qmpack.h"
#include "scratch.h"

namespace {

// The kind of picture the engine takes a file for by its extension ("" for a record).
std::string localKindByName(const std::string& ext) {
    for (const char* k : {"png", "jpg", "gif", "bmp", "tga"})
        if (ext == k) return k;
    return "";
}

bool localIsJpegAlias(const std::string& ext) { return ext == "jpeg" || ext == "jpe" || ext == "jfif"; }

std::string localUpper(const std::string& kind) {
    if (kind == "jpg") return "JPEG";
    std::string u = kind;
    for (char& c : u) c = char(toupper((unsigned char)c));
    return u;
}

const char kNamesTrailer[] = "base";
// The largest names file read.
const long long kMaxNamesBytes = 64LL << 20;

}  // namespace

QMPackBuilder::QMPackBuilder(FXPackage* p, QMPackScratch* s, const QMPackManifest* m)
    : pkg(p), scratch(s), manifest(m) {
    NoteInput(m->path, "the manifest");
}

void QMPackBuilder::NoteInput(const std::string& path, const std::string& role) {
    if (noted.insert(path).second) inputs.push_back({path, role});
}

bool QMPackBuilder::Begin(bool namesLoaded) {
    for (int i = 0; i < pkg->GetCount(); i++) {
        int id = pkg->IdAt(i);
        taken.insert(id);
        holderOf[id] = "entry" + std::to_string(id);
    }
    for (const QMPackManifestEntry& e : manifest->entries) {
        taken.insert(e.number);
        holderOf[e.number] = fxAbsolutePath(e.path);
    }
    if (namesLoaded) {
        if (manifest->freeLine > 0)
            qmpackWarn("%s: 'free' ignored: compiled content continues the numbering of the names file",
                       manifest->Where(manifest->freeLine).c_str());
        return true;
    }
    long long base = 0;
    if (manifest->freeLine > 0)
        base = manifest->freeStart;
    else if (!taken.empty())
        base = (long long)*taken.rbegin() + 1;
    if (base < 0 && manifest->freeLine == 0) base = 0;
    pkg->names.names.DestroyBuf();
    pkg->names.base = base > INT_MAX ? INT_MAX : int(base);
    return true;
}

bool QMPackBuilder::Add(const QMPackManifestEntry& e) {
    std::string ext = fxExtOf(e.path);
    if (ext == "xm") return CompileModel(e);
    if (ext == "xa") return CompileAnim(e);
    if (ext == "xs") return CompileMovie(e);
    return AddPlain(e);
}

bool QMPackBuilder::AddPlain(const QMPackManifestEntry& e) {
    std::string path, where = manifest->Where(e.line), ext = fxExtOf(e.path);
    if (!Registerable(where, e.path, &path)) return false;
    // Authoring files the saver cannot read as they are: packed, but said.
    if (ext == "obj")
        qmpackWarn("%s: %s is packed as text; 'qmpack import-obj' makes an OBJ file into a model", where.c_str(),
                   e.written.c_str());
    else if (ext == "mtl")
        qmpackWarn("%s: %s is packed as text; a material library is packed through the models that name it",
                   where.c_str(), e.written.c_str());
    pkg->AddDataFile(e.number, path.c_str());
    return true;
}

bool QMPackBuilder::Registerable(const std::string& where, const std::string& path, std::string* out) {
    auto known = linkOf.find(path);
    if (known != linkOf.end()) {
        *out = known->second;
        return true;
    }
    std::string why;
    long long size = 0;
    int fd = qmpackOpenInput(path, &why, &size);
    if (fd < 0) return qmpackRefuse("%s: cannot read %s (%s)", where.c_str(), path.c_str(), why.c_str());
    unsigned char head[64] = {};
    size_t n = size_t(size < 64 ? size : 64);
    bool readable = n == 0 || fxReadAt(fd, 0, head, n);
    fxCloseInput(fd);
    if (!readable) return qmpackRefuse("%s: cannot read %s (read error)", where.c_str(), path.c_str());
    if (size > INT_MAX)
        return qmpackRefuse("%s: %s is over the 2 GB limit of a package entry", where.c_str(), path.c_str());
    std::string tooLarge = qmpackPictureTooLarge(path);
    if (!tooLarge.empty())
        return qmpackRefuse("%s: %s is %s; it was not packed", where.c_str(), path.c_str(), tooLarge.c_str());

    std::string ext = fxExtOf(path);
    std::string byName = localKindByName(ext);
    std::string found = fxSniffPicture(head, n);
    *out = path;
    if (found.empty()) {
        // TGA pictures carry no signature; other picture names must hold such a picture.
        if ((!byName.empty() && byName != "tga") || localIsJpegAlias(ext))
            return qmpackRefuse("%s: %s is not a %s picture (its bytes do not start like one)", where.c_str(),
                                path.c_str(), localUpper(byName.empty() ? "jpg" : byName).c_str());
    } else if (found != byName) {
        if (!(localIsJpegAlias(ext) && found == "jpg"))
            qmpackWarn("%s: %s holds a %s picture, which its name does not say; packed as a %s picture",
                       where.c_str(), path.c_str(), localUpper(found).c_str(), localUpper(found).c_str());
        // The package types an entry by its file name: read the file through a link that says.
        std::string link = scratch->NewPath("." + found);
        if (int e = qmpackAliasFile(fxAbsolutePath(path), link)) {
            return qmpackRefuse("%s: cannot prepare %s for packing (%s)", where.c_str(), path.c_str(), strerror(e));
        }
        shown[link] = Shown(fxAbsolutePath(path));
        *out = link;
    }
    linkOf[path] = *out;
    NoteInput(path, "a source of " + where);
    bytes += size;
    return true;
}

void QMPackBuilder::SkipTaken() {
    FXNameServer& names = pkg->names;
    for (;;) {
        long long next = (long long)names.base + names.names.top;
        if (next > INT_MAX || !taken.count(int(next))) return;
        names.names.Push(holderOf[int(next)].c_str());
    }
}

bool QMPackBuilder::RegisterFree(const std::string& where, const std::string& name, int* number) {
    if (name.size() > size_t(FXStr::kCapacity))
        return qmpackRefuse("%s: path too long (%zu characters, at most %d): %s", where.c_str(), name.size(),
                            int(FXStr::kCapacity), name.c_str());
    SkipTaken();
    FXStr s(name.c_str());
    pkg->AddDataFile1(&s);
    if (!fxParseEntryName(s, number) || s.Compare(name.c_str())) {
        scratch->TakeEngineErrors();
        return qmpackRefuse("%s: no free entry number left for %s (free numbers start at %d)", where.c_str(),
                            name.c_str(), pkg->names.base);
    }
    return true;
}

std::string QMPackBuilder::Shown(const std::string& name) const {
    auto s = shown.find(name);
    if (s != shown.end()) return s->second;
    // Relative to the manifest's folder (with ".." where needed), so that labels and names files
    // are the same wherever the sources lie on a machine.
    if (fxRootLength(name) == 0) return name;
    return fxRelativePath(manifest->folder.empty() ? "." : manifest->folder, name);
}

bool QMPackBuilder::LabelUsed(const std::string& label) const {
    const FXStrArray& names = pkg->names.names;
    for (int i = 0; i < names.top; i++)
        if (Shown(names.Get(i)) == label) return true;
    return false;
}

bool QMPackBuilder::LoadNames(const std::string& path) {
    std::string why;
    std::vector<unsigned char> bytes;
    if (!qmpackReadFile(path, &bytes, &why, kMaxNamesBytes))
        return qmpackRefuse("%s: cannot read the names file (%s)", path.c_str(), why.c_str());
    NoteInput(path, "the names file");
    FXPackageData d;
    d.InitData(bytes.data(), int(bytes.size()));
    FXStrArray names;
    d.ReadStringArray(&names);
    FXStr mark;
    d.ReadString(&mark);
    int base = d.ReadInt();
    if (!mark.Compare(kNamesTrailer) || d.remaining != 0)
        return qmpackRefuse("%s: not a names file of qmpack (its numbering cannot be continued)", path.c_str());
    std::set<long long> held;
    for (int k = 0; k < pkg->GetCount(); k++) held.insert(pkg->IdAt(k));
    for (int i = 0; i < names.top; i++) {
        long long number = (long long)base + i;
        if (!held.count(number))
            return qmpackRefuse("%s: does not belong to this package (it names entry %lld, which the package does "
                                "not hold)",
                                path.c_str(), number);
    }
    std::string folder = fxAbsolutePath(manifest->folder.empty() ? "." : manifest->folder);
    pkg->names.names.DestroyBuf();
    for (int i = 0; i < names.top; i++)
        pkg->names.names.Push(fxAbsolutePath(fxJoinPath(folder, names.Get(i))).c_str());
    pkg->names.base = base;
    return true;
}

bool QMPackBuilder::WriteNames(QMPackOutput* namesOut, QMPackOutput* headerOut) {
    FXStrArray& names = pkg->names.names;
    for (int i = 0; i < names.top; i++) names.Change(i, Shown(names.Get(i)).c_str());
    if (namesOut) {
        if (!pkg->SaveNames(namesOut->TempPath().c_str()))
            return qmpackRefuse("%s: cannot write the names file", namesOut->Path().c_str());
        // The numbering's base goes after the names, so a later 'add' can continue it.
        errno = 0;
        FILE* f = fopen(namesOut->TempPath().c_str(), "ab");
        bool ok = f && fxFileWriteInt(f, int(strlen(kNamesTrailer))) &&
                  fwrite(kNamesTrailer, 1, strlen(kNamesTrailer), f) == strlen(kNamesTrailer) &&
                  fxFileWriteInt(f, pkg->names.base);
        int e = ok ? 0 : errno;
        if (f && fclose(f) != 0 && ok) {
            ok = false;
            e = errno;
        }
        if (!ok)
            return qmpackRefuse("%s: cannot write the names file (%s)", namesOut->Path().c_str(),
                                e ? strerror(e) : "write error");
    }
    if (headerOut && !pkg->SaveNamesCpp(headerOut->TempPath().c_str()))
        return qmpackRefuse("%s: cannot write the header file", headerOut->Path().c_str());
    if (headerOut) {
        // The header names a number by its file's name alone: two files of one name in different
        // folders give one macro twice, which a compiler refuses.
        std::map<std::string, int> firstOf;
        for (int i = 0; i < names.top; i++) {
            std::string macro = fxBaseOf(names.Get(i));
            for (char& c : macro) c = strchr(".\\/ +-()[]", c) ? '_' : char(toupper((unsigned char)c));
            int number = pkg->names.base + i;
            auto seen = firstOf.emplace(macro, number);
            if (!seen.second)
                qmpackWarn("%s: FXNAME_%s names both %d and %d (two files of one name)", headerOut->Path().c_str(),
                           macro.c_str(), seen.first->second, number);
        }
    }
    return true;
}
