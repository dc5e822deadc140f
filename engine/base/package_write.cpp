// The package's authoring side: registering source files under names or numbers, saving the
// package (appending the registered files to the data area), and the names files. Saving checks
// every source before anything changes, so an unreadable file never turns into undefined bytes
// in the package, and writes through a temporary file so a failed save keeps the old package.
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/binio.h"
#include "base/input_file.h"
#include "base/package.h"
#include "base/paths.h"
#include "base/trace.h"

namespace {

// The type code for a path's extension. The path is scanned from its last character back to its
// third one (so a drive "C:" or a leading "./" is never taken for an extension), collecting
// characters until a '.' is met; the collected text is the extension, compared ignoring case. A
// path without any '.' has no extension. The scan looks at the whole path, separators included,
// so "art/.png" is a PNG while "my.art/leaf" (text "art/leaf") is not a picture.
int localTypeFromPath(const char* path) {
    if (!strchr(path, '.')) return FX_PACKAGE_TYPE_RECORD;
    const size_t kStop = 2;  // the third character
    size_t len = strlen(path);
    size_t from = len < kStop ? len : kStop;  // the collected text starts here unless a '.' is met
    for (size_t i = len; i-- > kStop;)
        if (path[i] == '.') {
            from = i + 1;
            break;
        }
    if (from >= len) return FX_PACKAGE_TYPE_RECORD;
    static const struct {
        const char* ext;
        int type;
    } kTypes[] = {{"jpg", FX_PACKAGE_TYPE_JPG},
                  {"png", FX_PACKAGE_TYPE_PNG},
                  {"tga", FX_PACKAGE_TYPE_TGA},
                  {"bmp", FX_PACKAGE_TYPE_BMP},
                  {"gif", FX_PACKAGE_TYPE_GIF}};
    FXStr ext(path + from);
    ext.ToLower();
    for (const auto& t : kTypes)
        if (ext.Compare(t.ext)) return t.type;
    return FX_PACKAGE_TYPE_RECORD;
}

// Reads exactly size bytes of path into dst; false when the file cannot be read or no longer
// has that size (a file changed since it was measured).
bool localReadWhole(const char* path, unsigned char* dst, int size) {
    FILE* f = fxOpenInputFile(path);
    if (!f) return false;
    bool ok = fread(dst, 1, size_t(size), f) == size_t(size);
    ok = ok && fgetc(f) == EOF && !ferror(f);
    fclose(f);
    return ok;
}

// Writes the whole package file: short-string signature, then the body.
bool localWritePackage(const char* path, const FXStr& sig, const unsigned char* body, size_t bodySize) {
    FILE* f = fopen(path, "wb");
    if (!f) return false;
    bool ok = fxFileWriteInt(f, sig.len) && fwrite(sig.text, 1, size_t(sig.len), f) == size_t(sig.len) &&
              (bodySize == 0 || fwrite(body, 1, bodySize, f) == bodySize);
    if (fclose(f) != 0) ok = false;
    return ok;
}

}  // namespace

void FXPackage::AddDataFile1(FXStr* name) {
    if (!name || name->IsEmpty()) return;
    int id = names.FindId(name->text);
    if (id < 0) {
        id = names.BuildId(name->text);
        if (id < 0) return;  // no number left; the name stays a file name (traced)
        AddDataFile(id, name->text);
    }
    name->Format("%d", id);
}

void FXPackage::AddDataFile(int id, const char* path) {
    pendingIds.PushInt(id);
    pendingPaths.Push(path);
}

void FXPackage::AddTmpFile(const char* path) { tmpFiles.Push(path); }

void FXPackage::DeleteTmpFiles() {
    for (int i = 0; i < tmpFiles.top; i++)
        if (tmpFiles.items[i]) remove(tmpFiles.items[i]);
    tmpFiles.DestroyBuf();
}

bool FXPackage::CheckFile(const char* path, int* size, int* type) const {
    *size = 0;
    *type = path ? localTypeFromPath(path) : FX_PACKAGE_TYPE_RECORD;
    FXInputInfo info;
    int fd = fxOpenInput(path, &info);
    if (fd < 0) return false;
    fxCloseInput(fd);
    if (info.size > INT_MAX) return false;
    *size = int(info.size);
    return true;
}

// Measures every pending file: one that cannot be read refuses the whole save.
bool FXPackage::MeasurePending(const char* path, FXArray* sizes, FXArray* types, int64_t* total) const {
    *total = dataLength;
    for (int i = 0; i < pendingIds.top; i++) {
        const char* src = pendingPaths.Get(i);
        int size = 0, type = 0;
        if (!CheckFile(src, &size, &type)) {
            err({FX_ERR_IO, nullptr, src}, "package %s not saved: cannot read %s\n", path, src);
            return false;
        }
        sizes->PushInt(size);
        types->PushInt(type);
        *total += size;
    }
    int64_t count = int64_t(tables.Count()) + pendingIds.top;
    int64_t bodySize = *total + 16 + 16 * count;
    if (bodySize > INT_MAX) {
        err(FX_ERR_REFUSED, "package %s not saved: %lld bytes is too large\n", path, static_cast<long long>(bodySize));
        return false;
    }
    return true;
}

// The new data area: the old one, then each pending file at its running offset; null (traced)
// when a file cannot be read again or there is no memory.
unsigned char* FXPackage::ReadPendingArea(const char* path, const FXArray& sizes, int newLength) const {
    unsigned char* area = static_cast<unsigned char*>(malloc(size_t(newLength) + 1));
    if (!area) {
        err(FX_ERR_MEMORY, "package %s not saved: no memory for %d bytes\n", path, newLength);
        return nullptr;
    }
    if (dataLength > 0) memcpy(area, data.get(), size_t(dataLength));
    int offset = dataLength;
    for (int i = 0; i < pendingIds.top; i++) {
        if (!localReadWhole(pendingPaths.Get(i), area + offset, sizes.GetInt(i))) {
            err(FX_ERR_IO, "package %s not saved: cannot read %s\n", path, pendingPaths.Get(i));
            free(area);
            return nullptr;
        }
        offset += sizes.GetInt(i);
    }
    return area;
}

void FXPackage::AppendPendingRows(const FXArray& sizes, const FXArray& types) {
    int offset = dataLength;
    for (int i = 0; i < pendingIds.top; i++) {
        tables.ids.push_back(pendingIds.GetInt(i));
        tables.offsets.push_back(offset);
        tables.sizes.push_back(sizes.GetInt(i));
        tables.types.push_back(types.GetInt(i));
        offset += sizes.GetInt(i);
    }
}

void FXPackage::DropPendingRows(int n) {
    size_t keep = tables.ids.size() - size_t(n);
    tables.ids.resize(keep);
    tables.offsets.resize(keep);
    tables.sizes.resize(keep);
    tables.types.resize(keep);
}

namespace {

void localWriteTable(FXPackageData* cursor, const std::vector<int32_t>& table) {
    cursor->WriteInt(int(table.size()));
    for (int32_t v : table) cursor->WriteInt(v);
}

}  // namespace

// The tables and the new data area as the file's body, transposed when flags say so, written
// beside the target and renamed over it, so a failed write keeps the old file.
bool FXPackage::WriteFile(const char* path, int flags, const unsigned char* area, int newLength) const {
    int bodySize = 16 + 16 * tables.Count() + newLength;
    std::unique_ptr<unsigned char, FreeBlock> body(static_cast<unsigned char*>(calloc(size_t(bodySize) + 1, 1)));
    if (!body) return false;
    FXPackageData cursor;
    cursor.InitData(body.get(), bodySize);
    localWriteTable(&cursor, tables.ids);
    localWriteTable(&cursor, tables.offsets);
    localWriteTable(&cursor, tables.sizes);
    localWriteTable(&cursor, tables.types);
    if (newLength > 0) memcpy(const_cast<unsigned char*>(cursor.current), area, size_t(newLength));
    std::unique_ptr<unsigned char, FreeBlock> transposed;
    const unsigned char* out = body.get();
    if (flags & 1) {
        transposed.reset(static_cast<unsigned char*>(malloc(size_t(bodySize) + 1)));
        if (!transposed) return false;
        fxPackageTranspose(transposed.get(), body.get(), bodySize);
        out = transposed.get();
    }
    FXStr sig((flags & 1) ? "pck01s" : "pck01");
    FXStr partPath;
    partPath.Format("%s.part", path);
    bool written = size_t(partPath.len) > strlen(path) && localWritePackage(partPath, sig, out, size_t(bodySize)) &&
                   fxReplaceFile(partPath, path);
    if (!written) remove(partPath);
    return written;
}

bool FXPackage::Save(const char* path, int flags) {
    if (!path || !*path) return false;
    FXArray newSizes, newTypes;
    int64_t total = 0;
    if (!MeasurePending(path, &newSizes, &newTypes, &total)) return false;
    int newLength = int(total);
    unsigned char* area = ReadPendingArea(path, newSizes, newLength);
    if (!area) return false;
    // The rows of the new entries are appended, and taken back again when the file cannot be
    // written.
    int n = pendingIds.top;
    AppendPendingRows(newSizes, newTypes);
    if (!WriteFile(path, flags, area, newLength)) {
        err({FX_ERR_IO, nullptr, path}, "package %s not saved: cannot write the file\n", path);
        DropPendingRows(n);
        free(area);
        return false;
    }
    data.reset(area);
    dataLength = newLength;
    pendingIds.DestroyBuf();
    pendingPaths.DestroyBuf();
    RecompClasses();
    return true;
}

bool FXPackage::SaveNames(const char* path) const {
    FILE* f = path ? fopen(path, "wb") : nullptr;
    if (!f) {
        err(FX_ERR_IO, "names file %s: cannot write\n", path ? path : "");
        return false;
    }
    names.names.Save(f);
    bool ok = !ferror(f);
    if (fclose(f) != 0) ok = false;
    if (!ok) err({FX_ERR_IO, nullptr, path}, "names file %s: write failed\n", path);
    return ok;
}

bool FXPackage::SaveNamesCpp(const char* path) const {
    FILE* f = path ? fopen(path, "wt") : nullptr;
    if (!f) {
        err(FX_ERR_IO, "names header %s: cannot write\n", path ? path : "");
        return false;
    }
    for (int i = 0; i < names.names.top; i++) {
        FXStr macro(fxGetFilename(names.names.Get(i)));
        macro.ToUpper();
        for (char* p = macro.text; *p; p++)
            if (strchr(".\\/ +-()[]", *p)) *p = '_';
        int64_t number = int64_t(i) + names.base;
        if (number > INT_MAX) break;  // names past the largest number have none to define
        fprintf(f, "#define FXNAME_%s  %d\n", macro.text, int(number));
    }
    bool ok = !ferror(f);
    if (fclose(f) != 0) ok = false;
    if (!ok) err({FX_ERR_IO, nullptr, path}, "names header %s: write failed\n", path);
    return ok;
}
