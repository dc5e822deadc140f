// FXMatlib: a reference-counted, named set of materials with a parent library searched first;
// loads from a package entry, from the engine's library file and from Wavefront .mtl text, and
// rewrites its picture names into package entry numbers when a package is built. Library records
// are untrusted: a count is never believed beyond the bytes that hold the materials.
#include "image/matlib.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/binio.h"
#include "base/input_file.h"
#include "base/package.h"
#include "base/paths.h"
#include "base/trace.h"
#include "image/material.h"

namespace {

// The smallest material record: two empty strings, four colours and the shininess.
const long kMinMaterialRecord = 4 + 4 + 4 * 16 + 4;
// Parent chains deeper than this are taken as a loop.
const int kMaxParentDepth = 64;

FXMaterial* localFindOwn(const FXMatlib* lib, const char* name) {
    for (int i = 0; i < lib->GetCount(); i++) {
        FXMaterial* m = lib->GetMaterial(i);
        if (m && m->name.Compare(name)) return m;
    }
    return nullptr;
}

FXMaterial* localFind(const FXMatlib* lib, const char* name, int depth) {
    if (!lib || depth > kMaxParentDepth) return nullptr;
    if (FXMaterial* m = localFind(lib->parent, name, depth + 1)) return m;
    return localFindOwn(lib, name);
}

}  // namespace

void FXMatlib::Destroy() {
    materials_.DestroyBuf();
    owned_.DeleteContents();
}

void FXMatlib::AddMaterial(FXMaterial* m) {
    if (m && materials_.Findpos(m) < 0) materials_.Push(m);
}

void FXMatlib::AdoptMaterial(FXMaterial* m) {
    if (!m) return;
    AddMaterial(m);
    if (!Owns(m)) owned_.Push(m);
}

void FXMatlib::RemoveMaterial(FXMaterial* m) {
    if (!m) return;
    materials_.Remove(m);
    int i = owned_.Find(m);
    if (i >= 0) delete owned_.Take(i);
}

FXMaterial* FXMatlib::FindMaterial(const char* name) { return localFind(this, name, 0); }

// ---- engine records ----

bool FXMatlib::LoadC(PTextureDevice* device, FXPackage* p, const char* entryName) {
    int id = 0;
    if (!p || !fxParseEntryName(entryName, &id)) return false;
    FXPackageData* d = p->GetDataPtr(id);
    if (!d) return false;
    d->ReadString(&name);
    int count = d->ReadInt();
    if (count < 0) {
        err({FX_ERR_DAMAGED, "FXMatlib::LoadC"}, "entry %d: damaged material count %d\n", id, count);
        return false;
    }
    for (int i = 0; i < count; i++) {
        if (d->remaining < kMinMaterialRecord) {
            err({FX_ERR_DAMAGED, "FXMatlib::LoadC"}, "entry %d holds %d of %d materials\n", id, i, count);
            return false;
        }
        FXMaterial* m = new FXMaterial;
        AdoptMaterial(m);
        m->LoadC(device, p, d);  // a missing picture leaves the material untextured
    }
    return true;
}

bool FXMatlib::Load(PTextureDevice* device, const char* file) {
    FILE* f = fxOpenInputFile(file);
    if (!f) return false;
    fseek(f, 0, SEEK_END);
    long end = ftell(f);
    fseek(f, 0, SEEK_SET);
    name.Load(f);
    int32_t count = 0;
    bool ok = fxFileReadInt(f, &count) && count >= 0;
    for (int i = 0; ok && i < count; i++) {
        long pos = ftell(f);
        if (pos < 0 || end - pos < kMinMaterialRecord) {
            ok = false;
            break;
        }
        FXMaterial* m = new FXMaterial;
        m->Load(device, f);
        if (feof(f) || ferror(f)) {  // the record ran past the end of the file
            delete m;
            ok = false;
            break;
        }
        AdoptMaterial(m);
    }
    fclose(f);
    if (!ok) err({FX_ERR_DAMAGED, "FXMatlib::Load", file}, "damaged library file %s\n", file);
    return ok;
}

bool FXMatlib::Save(const char* file) const {
    FILE* f = file ? fopen(file, "wb") : nullptr;
    if (!f) return false;
    name.Save(f);
    fxFileWriteInt(f, GetCount());
    for (int i = 0; i < GetCount(); i++) GetMaterial(i)->Save(f);
    bool ok = !ferror(f);
    if (fclose(f) != 0) ok = false;
    return ok;
}

// ---- Wavefront .mtl ----

namespace {

const int kWordSize = 1024;

bool localStarts(const char* word, const char* prefix) { return strncmp(word, prefix, strlen(prefix)) == 0; }

// Reads one white-space separated word (at most kWordSize - 1 characters).
bool localReadWord(FILE* f, char* word) { return fscanf(f, "%1023s", word) == 1; }

void localSkipLine(FILE* f) {
    int c;
    while ((c = fgetc(f)) != EOF && c != '\n') {
    }
}

// The rest of the current line, trimmed; characters beyond the buffer are dropped.
void localRestOfLine(FILE* f, char* buf) {
    int n = 0;
    int c;
    while ((c = fgetc(f)) != EOF && c != '\n')
        if (n < kWordSize - 1) buf[n++] = char(c);
    buf[n] = 0;
    localTrimSpaces(buf, n);
}

// One number after white space (line ends included). Anything that cannot start a number is
// left unread for the keyword loop: glibc's %f would swallow the first letters of a word such as
// "newmtl" while looking for "nan", losing the material that follows a short "Kd 0.5" line.
bool localReadFloat(FILE* f, float* out) {
    int c;
    do c = fgetc(f);
    while (c != EOF && isspace(c));
    if (c == EOF) return false;
    ungetc(c, f);
    if (!isdigit(c) && c != '-' && c != '+' && c != '.') return false;
    return fscanf(f, "%f", out) == 1;
}

// Up to three numbers into red, green, blue; stops at the first that is not there.
void localReadRGB(FILE* f, float* c) {
    for (int i = 0; i < 3 && localReadFloat(f, &c[i]); i++) {
    }
}

// A material of an .mtl file: owned by its library, specular defaults.
FXMaterial* localNewMtlMaterial() {
    FXMaterial* m = new FXMaterial;
    m->loaded = true;
    m->SetDefSpecular(1.0f);
    return m;
}

}  // namespace

bool FXMatlib::LoadFromMtl(PTextureDevice* device, const char* file) {
    Destroy();
    FILE* f = fxOpenInputFile(file, nullptr, FX_INPUT_TEXT);
    if (!f) return false;
    name.Set(file);
    char word[kWordSize];
    char line[kWordSize];

    // Counting pass: one material for the settings before the first newmtl, one per newmtl.
    int count = 1;
    while (localReadWord(f, word)) {
        if (localStarts(word, "newmtl"))
            count++;
        else if (word[0] == 'n')
            err({FX_WARN_UNKNOWN_TOKEN, "FXMatlib::LoadFromMtl"}, "unknown token(0): %s  in lib:%s\n", word, file);
        localSkipLine(f);
    }
    materials_.Realloc(count);
    owned_.Reserve(count);
    for (int i = 0; i < count; i++) AdoptMaterial(localNewMtlMaterial());

    rewind(f);
    int current = 0;
    while (localReadWord(f, word)) {
        FXMaterial* m = GetMaterial(current);
        if (localStarts(word, "newmtl")) {
            localRestOfLine(f, line);
            // Only the first word names the material.
            size_t n = 0;
            while (line[n] && !isspace(static_cast<unsigned char>(line[n]))) n++;
            line[n] = 0;
            // The counting pass sees only the newmtl words that start a line; one that follows
            // numbers on the same line gets a material of its own here.
            if (current + 1 >= GetCount()) AdoptMaterial(localNewMtlMaterial());
            GetMaterial(++current)->name.Set(line);
        } else if (localStarts(word, "Ka")) {
            localReadRGB(f, m->ambient);
        } else if (localStarts(word, "Kd")) {
            localReadRGB(f, m->diffuse);
        } else if (localStarts(word, "Ks")) {
            localReadRGB(f, m->specular);
        } else if (localStarts(word, "Ns")) {
            float v;
            if (localReadFloat(f, &v)) m->shininess = v * 1.28f;
        } else if (localStarts(word, "Ni")) {
            localSkipLine(f);
        } else if (word[0] == 'N') {
            // Continue with the next word of the same line.
        } else if (word[0] == 'd') {
            float v;
            if (localReadFloat(f, &v)) m->diffuse[3] = v;
        } else if (localStarts(word, "map_Kd")) {
            localRestOfLine(f, line);
            m->LoadTexture(device, line);  // a picture that cannot be read leaves the material untextured
            m->textureFile.Set(line);
        } else {
            // illum, comments, other K, r, m and n words and anything unknown.
            localSkipLine(f);
        }
    }
    fclose(f);
    return true;
}

// ---- package building ----


void FXMatlib::Compile(FXPackage* p) {
    if (!p || compiledFor == p->serial) return;  // picture names are entry numbers already
    compiledFor = p->serial;
    compiledEntry.Clear();
    for (int i = 0; i < GetCount(); i++) {
        FXMaterial* m = GetMaterial(i);
        if (!m || m->textureFile.IsEmpty()) continue;
        if (!fxIsAbsolutePath(m->textureFile)) {  // absolute names are used as they stand
            const char* joined = fxCombinePaths(p->sourceDir, m->textureFile);
            if (!joined) {
                err({FX_ERR_REFUSED, "FXMatlib::Compile"}, "picture path too long: %s\n", m->textureFile.c_str());
                continue;
            }
            m->textureFile.Set(joined);
        }
        p->AddDataFile1(&m->textureFile);
    }
}
