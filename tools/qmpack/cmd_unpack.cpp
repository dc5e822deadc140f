// qmpack unpack PACKAGE -o DIR: every entry of a package as a file in DIR, in the form `build`
// reads, and the manifest DIR/qmsave.txt that builds the package again. Pictures keep their own
// kind; models, animations and movies are written as engine files naming their material
// libraries (.mtl text) and pictures by path; anything else is written as its bytes. Content that
// a record names (libraries, their pictures, movie frames) is what `build` compiles from the
// record, so it gets no manifest line of its own: the manifest's "free" line starts the free
// numbers where that content was, and the lines keep the package's order, so a build registers
// it on the same numbers. Every file is written first into a staging folder inside DIR and moved
// into place once all are written (unpack_tree.h): a failure leaves DIR as it was, and no name
// can clash with another or with one of the command's inputs. The tree is then built once into
// the scratch folder, which writes the names file DIR/qmsave.names and tells which entries come
// back byte for byte.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "anim/anim.h"
#include "base/binio.h"
#include "base/package.h"
#include "cleanup.h"
#include "describe.h"
#include "elements/smovie.h"
#include "files.h"
#include "host.h"
#include "geometry/model.h"
#include "image/material.h"
#include "package_index.h"
#include "progress.h"
#include "qmpack.h"
#include "scratch.h"
#include "tool_env.h"
#include "unpack.h"
#include "unpack_tree.h"

namespace {

struct LocalItem {
    int i = 0;  // position in the package's tables
    int number = 0;
    QMPackEntryInfo info;
    bool owned = false;     // compiled from the record that names it: no manifest line
    bool compiled = false;  // written in its source form (not as raw bytes)
    std::string file;       // relative to DIR
};

struct LocalUnpack {
    std::string package, dir;
    bool force = false, json = false;
    FXPackage p;
    QMPackTree tree;
    PEnv* env = nullptr;  // the environment the records are loaded through
    std::vector<LocalItem> items;
    std::map<int, size_t> byNumber;  // number -> the item the engine reads for it (the first)
    std::vector<std::string> notes;  // why an entry will not come back byte for byte
};

bool localIsPicture(const std::string& kind) {
    return kind == "png" || kind == "jpg" || kind == "gif" || kind == "bmp" || kind == "tga";
}

const LocalItem* localRef(const LocalUnpack& u, int number) {
    auto at = u.byNumber.find(number);
    return at == u.byNumber.end() ? nullptr : &u.items[at->second];
}

// True when every entry the record names is there and of the kind its source form can name.
bool localRefsResolve(const LocalUnpack& u, const LocalItem& it) {
    for (const auto& ref : it.info.refs) {
        const LocalItem* r = localRef(u, ref.second);
        if (!r || !r->info.problem.empty()) return false;
        if (ref.first == "library" && !(r->info.kind == "library" && localRefsResolve(u, *r))) return false;
        if (ref.first == "picture" && !localIsPicture(r->info.kind)) return false;
    }
    return true;
}

// Decides the form of every entry: records whose references resolve are written as sources and
// own what they name; everything else is written as its bytes.
void localClassify(LocalUnpack* u) {
    for (LocalItem& it : u->items) {
        if (!it.info.problem.empty() || u->byNumber[it.number] != size_t(&it - u->items.data())) continue;
        const std::string& k = it.info.kind;
        if (k != "model" && k != "animation" && k != "movie") continue;
        if (!localRefsResolve(*u, it)) continue;
        it.compiled = true;
        for (const auto& ref : it.info.refs) {
            LocalItem& r = u->items[u->byNumber[ref.second]];
            r.owned = r.compiled = true;
            for (const auto& pic : r.info.refs) u->items[u->byNumber[pic.second]].owned = true;
        }
    }
}

// A relative path inside DIR for a name read from the package: "..", "." and empty parts and
// leading separators dropped, control characters replaced.
std::string localSafeRelative(const std::string& name) {
    std::string out, part;
    auto flush = [&]() {
        if (!part.empty() && part != "." && part != "..") out += (out.empty() ? "" : "/") + part;
        part.clear();
    };
    for (char c : name) {
        if (c == '/' || c == '\\') {
            flush();
            continue;
        }
        part += (unsigned char)c < 0x20 || c == 0x7f ? '_' : c;
    }
    flush();
    return out;
}

bool localWriteFile(LocalUnpack* u, const std::string& rel, const void* bytes, size_t len) {
    return u->tree.Write(rel, bytes, len);
}

bool localCopyFile(LocalUnpack* u, const std::string& from, const std::string& rel) {
    std::vector<unsigned char> bytes;
    std::string why;
    if (!qmpackReadFile(from, &bytes, &why)) return qmpackRefuse("%s: cannot read (%s)", from.c_str(), why.c_str());
    return localWriteFile(u, rel, bytes.data(), bytes.size());
}

// A path from the folder of the file from (relative to DIR) to the file to (relative to DIR).
std::string localLink(const std::string& from, const std::string& to) {
    std::string fromDir = fxDirOf(from);
    return fxRelativePath(fxAbsolutePath("/" + fromDir), fxAbsolutePath("/" + to));
}

void localNote(LocalUnpack* u, int number, const std::string& why) {
    u->notes.push_back(std::to_string(number) + ": " + why);
}

const LocalItem& localItem(const LocalUnpack& u, int number) { return u.items[u.byNumber.at(number)]; }

bool localWriteLibrary(LocalUnpack* u, LocalItem* it) {
    const unsigned char* bytes = u->p.Data() + u->p.OffsetAt(it->i);
    FXPackageData d;
    d.InitData(bytes, u->p.SizeAt(it->i));
    std::string text, reason;
    if (!qmpackLibraryToMtl(
            &d, [&](int picture) { return localLink(it->file, localItem(*u, picture).file); }, &text, &reason)) {
        return qmpackRefuse("%s: entry %d: the material library cannot be read", u->package.c_str(), it->number);
    }
    if (!reason.empty()) localNote(u, it->number, reason);
    return localWriteFile(u, it->file, text.data(), text.size());
}

// Writes a record through the engine: loaded from the package, its references renamed by
// rename, saved to a scratch file and copied into DIR.
bool localWriteRecord(LocalUnpack* u, LocalItem* it, QMPackScratch* scratch) {
    std::string saved = scratch->NewPath("." + fxExtOf(it->file));
    bool ok = false;
    auto libPath = [&](const FXStr& name) {
        int number = 0;
        return fxParseEntryName(name, &number) ? localLink(it->file, localItem(*u, number).file) : std::string();
    };
    if (it->info.kind == "model") {
        FXModel m;
        ok = m.LoadCN(u->env, &u->p, it->number);
        if (ok) m.matlibName.Set(libPath(m.matlibName).c_str());
        m.UpdateMeshes();  // a model saves its working group
        ok = ok && m.Save(saved.c_str());
    } else if (it->info.kind == "animation") {
        FXAnim a;
        ok = a.LoadCN(u->env, &u->p, it->number) && a.GetFrameCount() > 0;
        std::string lib = ok && a.GetModel(0) ? libPath(a.GetModel(0)->matlibName) : "";
        for (int k = 0; ok && k < a.GetFrameCount(); k++)
            if (FXModel* m = a.GetModel(k)) m->matlibName.Set(lib.c_str());
        ok = ok && a.Save(saved.c_str());
    } else {
        SMovie mv;
        ok = mv.LoadCN(&u->p, it->number);
        FXStrArray* lists[2] = {&mv.colorNames, &mv.maskNames};
        for (FXStrArray* names : lists)
            for (int k = 0; ok && k < names->top; k++) {
                int number = 0;
                if (fxParseEntryName(names->Get(k), &number))
                    names->Change(k, localLink(it->file, localItem(*u, number).file).c_str());
            }
        mv.saved = true;  // the frames are pictures already: written as they are
        ok = ok && mv.Save(saved.c_str());
        std::string version(reinterpret_cast<const char*>(u->p.Data() + u->p.OffsetAt(it->i) + 4), 4);
        if (version != "xs03") localNote(u, it->number, "a movie of the older layout " + version + " is built as xs03");
    }
    scratch->TakeEngineErrors();
    if (!ok)
        return qmpackRefuse("%s: entry %d: the %s cannot be read back", u->package.c_str(), it->number,
                            it->info.kind.c_str());
    return localCopyFile(u, saved, it->file);
}

// Names each entry's file: top-level entries by number, libraries by their label where it is a
// path inside DIR that can be a file there, pictures of records under pictures/.
void localNameFiles(LocalUnpack* u) {
    for (LocalItem& it : u->items) {
        if (u->byNumber[it.number] != size_t(&it - u->items.data())) continue;
        std::string n = std::to_string(it.number);
        const std::string& k = it.info.kind;
        auto claim = [&](const std::string& want) { return u->tree.Claim(want, want); };
        if (localIsPicture(k))
            it.file = claim((it.owned ? "pictures/" : "") + n + "." + k);
        else if (it.compiled && k == "model")
            it.file = claim(n + ".xm");
        else if (it.compiled && k == "animation")
            it.file = claim(n + ".xa");
        else if (it.compiled && k == "movie")
            it.file = claim(n + ".xs");
        else if (it.compiled && k == "library") {
            // The library keeps its label when the label is a path inside DIR.
            const unsigned char* b = u->p.Data() + u->p.OffsetAt(it.i);
            FXPackageData d;
            d.InitData(b, u->p.SizeAt(it.i));
            FXStr label;
            d.ReadString(&label);
            std::string safe = localSafeRelative(label.c_str());
            if (!safe.empty() && fxExtOf(safe) != "mtl") safe += ".mtl";
            if (safe != label.c_str())
                localNote(u, it.number,
                          "the library's label '" + localSafeRelative(label.c_str()) +
                              "' is not the path of a .mtl file inside the folder");
            std::string fallback = "libraries/" + n + ".mtl";
            it.file = u->tree.Claim(safe.empty() ? fallback : safe, fallback);
            if (it.file != safe && safe == label.c_str())
                localNote(u, it.number,
                          "the library's label '" + safe + "' cannot be a file of its own here (another file has " +
                              "that name or needs it as a folder, or a part is too long); written as " + it.file);
        } else
            it.file = claim(n + ".bin");
    }
}

// Runs this program's build on the written tree (into the scratch folder), which writes the names
// file; then compares the package built with the original.
bool localVerify(LocalUnpack* u, QMPackScratch* scratch, std::vector<int>* differ, int* identical) {
    std::string built = scratch->NewPath(".dat"), log = scratch->NewPath(".log");
    std::string manifest = u->dir + "/qmsave.txt", names = u->dir + "/qmsave.names";
    int status = -1;
    if (int e = qmpackRunSelf({"build", built, manifest, "--names", names, "--quiet"}, log, &status))
        return qmpackRefuse("cannot run the check build (%s)", strerror(e));
    qmpackRemoveTemp(built + ".part");
    if (status != 0) {
        std::string text;
        std::vector<unsigned char> bytes;
        std::string why;
        if (qmpackReadFile(log, &bytes, &why)) text.assign(bytes.begin(), bytes.end());
        return qmpackRefuse("%s: the unpacked tree does not build again:\n%s", u->dir.c_str(), text.c_str());
    }
    FXPackage again;
    again.Load(built.c_str());
    std::map<int, int> builtAt;  // number -> its first position in the package built
    for (int i = 0; i < again.GetCount(); i++) builtAt.emplace(again.IdAt(i), i);
    *identical = 0;
    for (const LocalItem& it : u->items) {
        if (u->byNumber[it.number] != size_t(&it - u->items.data())) continue;
        auto at = builtAt.find(it.number);
        FXPackageData* a = u->p.EntryAt(it.i);
        FXPackageData* b = at == builtAt.end() ? nullptr : again.EntryAt(at->second);
        bool same = a && b && a->size == b->size && u->p.TypeAt(it.i) == again.TypeAt(at->second) &&
                    (a->size == 0 || memcmp(a->start, b->start, size_t(a->size)) == 0);
        if (same)
            ++*identical;
        else
            differ->push_back(it.number);
    }
    if (again.GetCount() != int(u->byNumber.size())) differ->push_back(-1);
    return true;
}

// The entries of the package, each described from the package's index.
void localDescribe(LocalUnpack* u, const QMPackIndex& index) {
    for (int i = 0; i < index.Count(); i++) {
        LocalItem it;
        it.i = i;
        it.number = index.Id(i);
        qmpackDescribeEntry(index, i, &it.info);
        u->byNumber.emplace(it.number, u->items.size());
        if (u->byNumber[it.number] != u->items.size())
            localNote(u, it.number, "a second entry of this number is never read and is left out");
        u->items.push_back(it);
    }
}

// Writes every entry's file and the manifest (top-level entries in the package's order; free
// numbers from the first owned one) into the staging folder.
bool localWriteEntries(LocalUnpack* u, QMPackScratch* scratch, QMPackProgress* progress) {
    std::string manifest = "# qmpack unpack of " + localSafeRelative(fxBaseOf(u->package)) +
                           ": 'qmpack build OUT qmsave.txt' builds it again.\n";
    int freeStart = -1;
    for (const LocalItem& it : u->items)
        if (it.owned && (freeStart < 0 || it.number < freeStart)) freeStart = it.number;
    if (freeStart >= 0) manifest += "free " + std::to_string(freeStart) + "\n";
    for (size_t k = 0; k < u->items.size(); k++) {
        LocalItem& it = u->items[k];
        progress->Step(int(k), it.file);
        if (u->byNumber[it.number] != k) continue;
        bool ok = true;
        if (!it.compiled || localIsPicture(it.info.kind)) {
            if (!it.compiled && !it.info.problem.empty())
                localNote(u, it.number, "written as its bytes: " + it.info.problem);
            ok = localWriteFile(u, it.file, u->p.Data() + u->p.OffsetAt(it.i), size_t(u->p.SizeAt(it.i)));
        } else if (it.info.kind == "library") {
            ok = localWriteLibrary(u, &it);
        } else {
            ok = localWriteRecord(u, &it, scratch);
        }
        if (!ok) return false;
        if (!it.owned) manifest += std::to_string(it.number) + " " + it.file + "\n";
    }
    return localWriteFile(u, "qmsave.txt", manifest.data(), manifest.size());
}

// What unpack says when it is done: as text, or as one JSON object.
int localReport(const LocalUnpack& u, const std::vector<int>& differ, int identical) {
    std::string differText, differJson;
    for (int n : differ) {
        differText += (differText.empty() ? "" : ", ") + (n < 0 ? "(entry count)" : std::to_string(n));
        if (n >= 0) differJson += (differJson.empty() ? "" : ",") + std::to_string(n);
    }
    if (u.json) {
        std::string notes;
        for (const std::string& n : u.notes) notes += (notes.empty() ? "" : ",") + qmpackJson(n);
        printf(
            "{\"package\":%s,\"folder\":%s,\"manifest\":%s,\"names\":%s,\"entries\":%d,\"files\":%d,"
            "\"identical\":%d,\"differ\":[%s],\"notes\":[%s]}\n",
            qmpackJson(u.package).c_str(), qmpackJson(u.dir).c_str(), qmpackJson(u.dir + "/qmsave.txt").c_str(),
            qmpackJson(u.dir + "/qmsave.names").c_str(), int(u.byNumber.size()), u.tree.Written(), identical,
            differJson.c_str(), notes.c_str());
    } else {
        qmpackSay("%s: %d entries unpacked into %s (%d files); manifest %s/qmsave.txt, names %s/qmsave.names",
                  u.package.c_str(), int(u.byNumber.size()), u.dir.c_str(), u.tree.Written(), u.dir.c_str(),
                  u.dir.c_str());
        if (differ.empty())
            qmpackSay("built again, every entry comes back byte for byte");
        else
            qmpackSay("built again, %d entries come back byte for byte; these differ: %s", identical,
                      differText.c_str());
        for (const std::string& n : u.notes) qmpackDetail("entry %s", n.c_str());
    }
    if (fflush(stdout) != 0) return qmpackFail("unpack: cannot write the report");
    return QMPACK_OK;
}

}  // namespace

int qmpackUnpack(int argc, char** argv) {
    QMPackArgs args;
    if (!args.Parse("unpack", argc, argv, {"-o"}, {"--force", "--json"})) return QMPACK_USAGE;
    if (args.positional.size() != 1 || !args.Has("-o") || args.Value("-o").empty()) return qmpackUsage("unpack");
    LocalUnpack u;
    u.package = args.positional[0];
    u.dir = args.Value("-o");
    u.force = args.Has("--force");
    u.json = args.Has("--json");
    while (u.dir.size() > std::max<size_t>(fxRootLength(u.dir), 1) && fxIsSeparator(u.dir.back())) u.dir.pop_back();

    QMPackIndex index;
    if (!index.Open(u.package) || !qmpackLoadPackage(u.package, -1, &u.p, nullptr)) return QMPACK_FAILED;
    QMPackScratch scratch;
    if (!u.tree.Open(u.dir, u.force) || !scratch.Create()) return QMPACK_FAILED;
    localDescribe(&u, index);
    localClassify(&u);
    QMPackEnv env;  // libraries of the records read below come from the package
    u.env = &env;
    u.tree.Claim("qmsave.txt", "qmsave.txt");
    u.tree.Reserve("qmsave.names");  // written by the check build
    localNameFiles(&u);
    // No file of the tree may replace the package it comes from, under whatever name.
    if (!u.tree.Check({{u.package, "the package"}})) return QMPACK_FAILED;

    QMPackProgress progress;
    progress.Start(index.Count() > 200, "unpacking " + std::to_string(index.Count()) + " entries of " + u.package,
                   index.Count());
    if (!localWriteEntries(&u, &scratch, &progress) || !u.tree.Commit()) {
        progress.Clear();
        return QMPACK_FAILED;
    }
    progress.Step(index.Count(), "building the tree again to check it");
    std::vector<int> differ;
    int identical = 0;
    if (!localVerify(&u, &scratch, &differ, &identical)) {
        progress.Clear();
        return QMPACK_FAILED;
    }
    progress.Finish("unpacked " + u.package + " into " + u.dir);
    return localReport(u, differ, identical);
}
