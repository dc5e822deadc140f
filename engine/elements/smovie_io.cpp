// SMovie records: reading "xs01", "xs02" and "xs03" from package entries and files, and
// reading the frame pictures into memory. A file is read whole and parsed with the same cursor
// as a package entry (the two encodings are the same bytes), so both forms get the same checks.
//
// Records are untrusted: a count beyond the bytes that follow, a negative count, a string longer
// than what is left, a frame duration that is not a finite number of seconds >= 0, or a mask
// list whose length differs from the colour list refuses the record (the movie stays empty and a
// trace line says why). Crop rectangles that are not four per frame leave the movie uncropped.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "base/binio.h"
#include "base/input_file.h"
#include "base/package.h"
#include "base/paths.h"
#include "base/trace.h"
#include "elements/smovie.h"

namespace {

// Strict reads over a cursor: a read that finds too few bytes marks the record damaged and
// names what was being read, instead of padding with zeros.
struct localReader {
    FXPackageData* d;
    const char* damage = nullptr;

    bool Ok() const { return damage == nullptr; }
    bool Need(int64_t bytes, const char* what) {
        if (Ok() && (bytes < 0 || bytes > d->remaining)) damage = what;
        return Ok();
    }
    bool Bool(const char* what) { return Need(1, what) && d->ReadBool(); }
    int Int(const char* what) { return Need(4, what) ? d->ReadInt() : 0; }
    double Double(const char* what) { return Need(8, what) ? d->ReadDouble() : 0.0; }
    void Str(FXStr* s, const char* what) {
        s->Clear();
        if (!Need(4, what)) return;
        int k = fxGetI32(d->current);
        if (k > 0 && !Need(4 + int64_t(k), what)) return;
        d->ReadString(s);
    }
    // An array count: each item takes at least 4 bytes, so a count the entry cannot hold is damage.
    int Count(const char* what) {
        int n = Int(what);
        if (Ok() && (n < 0 || n > FXPackageData::kMaxArrayItems || int64_t(n) * 4 > d->remaining)) damage = what;
        return Ok() ? n : 0;
    }
    void Floats(FXFloatArray* a, const char* what) {
        int n = Count(what);
        a->DestroyBuf();
        a->Realloc(n);
        for (int i = 0; i < n; i++) a->Push(d->ReadFloat());
    }
    void Ints(FXArray* a, const char* what) {
        int n = Count(what);
        a->DestroyBuf();
        a->Realloc(n);
        for (int i = 0; i < n; i++) a->PushInt(d->ReadInt());
    }
    void Strings(FXStrArray* a, const char* what) {
        int n = Count(what);
        a->DestroyBuf();
        a->Realloc(n);
        FXStr s;
        for (int i = 0; i < n && Ok(); i++) {
            Str(&s, what);
            if (Ok()) a->Push(s.text);
        }
    }
};

// The whole file in a new block (free it); null when it cannot be read, is empty or does not
// fit a cursor.
std::unique_ptr<unsigned char[]> localReadFile(const char* path, int* size) {
    *size = 0;
    FILE* f = fxOpenInputFile(path);
    if (!f) return nullptr;
    long length = fxFileRemaining(f);
    std::unique_ptr<unsigned char[]> block;
    if (length > 0 && length <= INT32_MAX) {
        block.reset(new (std::nothrow) unsigned char[size_t(length)]);
        if (block && fread(block.get(), 1, size_t(length), f) != size_t(length)) block.reset();
    }
    fclose(f);
    if (block) *size = int(length);
    return block;
}

// One picture into memory: a package entry referenced in place, or a whole file in a new block
// the movie keeps. No block and size 0 when the picture is not there.
void localPictureBlock(SMovie* mv, FXPackage* pkg, const char* name, void** block, int* size) {
    *block = nullptr;
    *size = 0;
    if (!pkg) {
        std::unique_ptr<unsigned char[]> bytes = localReadFile(name, size);
        if (bytes) *block = mv->KeepBlock(std::move(bytes));
        return;
    }
    int id = 0;
    FXPackageData* d = fxParseEntryName(name, &id) ? pkg->GetDataPtr(id) : nullptr;
    if (d && d->size > 0) {
        *block = const_cast<unsigned char*>(d->start);
        *size = d->size;
    }
}

void localLoadBlocks(SMovie* mv, const FXStrArray& names, FXArray* data, FXArray* sizes, const char* kind) {
    data->Realloc(names.top);
    sizes->Realloc(names.top);
    for (int i = 0; i < names.top; i++) {
        void* block;
        int size;
        localPictureBlock(mv, mv->package, names.Get(i), &block, &size);
        if (!block)
            err({FX_ERR_MISSING, nullptr, names.Get(i)}, "movie frame %d: %s picture '%s' not found\n", i, kind,
                names.Get(i));
        data->Push(block);
        sizes->PushInt(size);
    }
}

// Frame names of a movie file are relative to the movie file's folder; absolute ones stand.
void localJoinNames(FXStrArray* names, const std::string& dir) {
    for (int i = 0; i < names->top; i++) {
        const char* name = names->Get(i);
        if (!*name || fxIsAbsolutePath(name)) continue;
        const char* joined = fxCombinePaths(dir.c_str(), name);
        if (!joined) {
            err(FX_ERR_REFUSED, "movie frame %d: path too long: %s\n", i, name);
            continue;
        }
        FXStr copy(joined);  // the path helpers' buffer is overwritten by the next call
        names->Change(i, copy);
    }
}

}  // namespace

bool SMovie::ReadRecord(FXPackageData* d, const char* where) {
    localReader in{d};
    FXStr magic;
    in.Str(&magic, "magic");
    int version = magic.Compare("xs01") ? 1 : magic.Compare("xs02") ? 2 : magic.Compare("xs03") ? 3 : 0;
    if (!in.Ok() || version == 0) {
        err(FX_ERR_DAMAGED, "%s: not a movie record\n", where);
        return false;
    }
    // xs01 has no timing: loop, pingPong and frameDuration keep their values.
    bool newLoop = loop, newPingPong = pingPong;
    double newDuration = frameDuration;
    if (version >= 2) {
        newLoop = in.Bool("loop");
        newPingPong = in.Bool("pingPong");
        newDuration = in.Double("frame duration");
        if (in.Ok() && !(std::isfinite(newDuration) && newDuration >= 0.0)) in.damage = "frame duration";
    }
    maxCropWidth = in.Int("crop size");
    maxCropHeight = in.Int("crop size");
    in.Floats(&rects, "crop rectangles");
    in.Strings(&colorNames, "colour names");
    in.Strings(&maskNames, "mask names");
    bool newKeyed = keyed;
    if (version == 3) {
        newKeyed = in.Bool("keyed");
        if (newKeyed) in.Ints(&keyFrames, "key frames");
    }
    if (in.Ok() && maskNames.top != colorNames.top) in.damage = "mask names (not one per frame)";
    if (!in.Ok()) {
        err(FX_ERR_DAMAGED, "%s: damaged movie record (%s)\n", where, in.damage);
        return false;
    }
    loop = newLoop;
    pingPong = newPingPong;
    frameDuration = newDuration;
    keyed = newKeyed;
    compiled = saved = true;
    hasRects = rects.top == 4 * colorNames.top;
    if (!hasRects)
        err(FX_ERR_DAMAGED, "%s: %d crop values for %d frames; the frames are drawn uncropped\n", where, rects.top,
            colorNames.top);
    return true;
}

bool SMovie::LoadCN(FXPackage* pkg, int id) {
    Destroy();
    keyStart = keyEnd = -1;  // new key frames: the pair is found anew
    FXPackageData* d = pkg ? pkg->GetDataPtr(id) : nullptr;
    if (!d) return false;
    package = pkg;
    char where[48];
    snprintf(where, sizeof where, "movie entry %d", id);
    if (!ReadRecord(d, where)) {
        Destroy();
        return false;
    }
    return true;
}

bool SMovie::LoadC(FXPackage* pkg, const char* name) {
    int id = 0;
    if (!fxParseEntryName(name, &id)) return false;
    return LoadCN(pkg, id);
}

bool SMovie::Load(const char* path) {
    Destroy();
    keyStart = keyEnd = -1;
    int size = 0;
    std::unique_ptr<unsigned char[]> bytes = localReadFile(path, &size);
    if (!bytes) {
        err({FX_ERR_IO, nullptr, path}, "movie file %s could not be read\n", path ? path : "");
        return false;
    }
    FXPackageData d;
    d.InitData(bytes.get(), size);
    FXStr where;
    where.Format("movie file %s", path);
    bool ok = ReadRecord(&d, where);
    bytes.reset();
    if (!ok) {
        Destroy();
        return false;
    }
    std::string dir = fxAbsolutePath(fxDirOf(path));
    localJoinNames(&colorNames, dir);
    localJoinNames(&maskNames, dir);
    return true;
}

void SMovie::LoadIntoMem() {
    FreeBlocks();
    localLoadBlocks(this, colorNames, &colorData, &colorSizes, "colour");
    localLoadBlocks(this, maskNames, &maskData, &maskSizes, "mask");
    inMemory = true;
}

void* SMovie::KeepBlock(std::unique_ptr<unsigned char[]> block) {
    void* kept = block.get();
    if (kept) fileBlocks.push_back(std::move(block));
    return kept;
}

void SMovie::FreeBlock(const void* block) {
    for (size_t i = 0; block && i < fileBlocks.size(); i++) {
        if (fileBlocks[i].get() == block) {
            fileBlocks.erase(fileBlocks.begin() + long(i));
            return;
        }
    }
}
