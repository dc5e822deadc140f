// FXArray, FXStrArray, FXFloatArray, FXMemory, FXRect and the two memory helpers.
#include "base/arrays.h"

#include <cstdlib>
#include <cstring>

#include "base/binio.h"
#include "base/paths.h"

void* fxMalloc(unsigned size) { return calloc(1, size ? size : 1); }

int fxPower2(int n) {
    int p = 1;
    while (p < n && p < (1 << 30)) p <<= 1;
    return p;
}

namespace {

// The number of slots worth reserving for a stored count, when every item takes at least
// minBytes of file: never more than the file can hold.
int localPlausibleCount(FILE* f, int count, int minBytes) {
    long left = fxFileRemaining(f);
    if (left < 0) return count < 4096 ? count : 4096;
    long most = left / minBytes;
    return count < most ? count : int(most);
}

// Shared slot growth: copies the used slots, zero-fills the rest.
template <typename T>
void localGrow(T*& items, int top, int& capacity, int n) {
    if (capacity >= n || n <= 0) return;
    T* grown = static_cast<T*>(malloc(sizeof(T) * size_t(n)));
    int keep = top < capacity ? top : capacity;
    if (keep < 0) keep = 0;
    if (items && keep > 0) memcpy(grown, items, sizeof(T) * size_t(keep));
    memset(grown + keep, 0, sizeof(T) * size_t(n - keep));
    free(items);
    items = grown;
    capacity = n;
}

template <typename T>
void localSwapMove(T* items, int top, int pos, int dir) {
    int other;
    if (dir > 0) {
        if (pos < 0 || pos >= top - 1) return;
        other = pos + 1;
    } else if (dir < 0) {
        if (pos < 1 || pos >= top) return;
        other = pos - 1;
    } else {
        return;
    }
    T t = items[pos];
    items[pos] = items[other];
    items[other] = t;
}

char* localDup(const char* s) {
    if (!s || !*s) return nullptr;
    size_t n = strlen(s);
    char* d = static_cast<char*>(malloc(n + 1));
    memcpy(d, s, n + 1);
    return d;
}

}  // namespace

// ---- FXArray ----

void FXArray::DestroyBuf() {
    free(items);
    items = nullptr;
    top = 0;
    capacity = 0;
}

void FXArray::Realloc(int n) { localGrow(items, top, capacity, n); }

void FXArray::Push(void* v) {
    if (top >= capacity) Realloc(capacity + step);
    items[top++] = v;
}

void FXArray::PushVoid() {
    if (top >= capacity) Realloc(capacity + step);
    top++;
}

void FXArray::Insert(int pos, void* v) {
    if (pos == -1 || pos > top) {
        Push(v);
        return;
    }
    if (pos < 0) return;
    if (top >= capacity) Realloc(top + 1);
    memmove(items + pos + 1, items + pos, sizeof(void*) * size_t(top - pos));
    items[pos] = v;
    top++;
}

void* FXArray::Pop() {
    if (top <= 0) return nullptr;
    return items[--top];
}

void FXArray::MovePos(int pos, int dir) { localSwapMove(items, top, pos, dir); }

void FXArray::RemovePos(int pos) {
    if (pos < 0 || pos >= top) return;
    memmove(items + pos, items + pos + 1, sizeof(void*) * size_t(top - pos - 1));
    top--;
}

int FXArray::Findpos(void* p) const {
    for (int i = 0; i < top; i++)
        if (items[i] == p) return i;
    return -1;
}

int FXArray::Remove(void* p) {
    int pos = Findpos(p);
    if (pos < 0) return -1;
    RemovePos(pos);
    return pos;
}

void FXArray::Save(FILE* f) const {
    int n = (items && top > 0) ? top : 0;
    fxFileWriteInt(f, n);
    for (int i = 0; i < n; i++) fxFileWriteInt(f, int32_t(reinterpret_cast<intptr_t>(items[i])));
}

void FXArray::Load(FILE* f) {
    top = 0;
    int32_t count = 0;
    if (!fxFileReadInt(f, &count) || count <= 0) return;
    Realloc(localPlausibleCount(f, count, 4));
    for (int i = 0; i < count; i++) {
        int32_t v;
        if (!fxFileReadInt(f, &v)) break;
        Push(reinterpret_cast<void*>(intptr_t(v)));
    }
}

// ---- FXStrArray ----

void FXStrArray::DestroyBuf() {
    RemoveAll();
    free(items);
    items = nullptr;
    top = 0;
    capacity = 0;
}

void FXStrArray::Realloc(int n) { localGrow(items, top, capacity, n); }

void FXStrArray::Push(const char* s) {
    if (top >= capacity) Realloc(capacity + step);
    items[top++] = localDup(s);
}

void FXStrArray::Insert(int pos, const char* s) {
    if (pos == -1 || pos > top) {
        Push(s);
        return;
    }
    if (pos < 0) return;
    if (top >= capacity) Realloc(top + 1);
    memmove(items + pos + 1, items + pos, sizeof(char*) * size_t(top - pos));
    items[pos] = localDup(s);
    top++;
}

void FXStrArray::Pop() {
    if (top <= 0) return;
    top--;
    free(items[top]);
    items[top] = nullptr;
}

void FXStrArray::MovePos(int pos, int dir) { localSwapMove(items, top, pos, dir); }

void FXStrArray::RemovePos(int pos) {
    if (pos < 0 || pos >= top) return;
    free(items[pos]);
    memmove(items + pos, items + pos + 1, sizeof(char*) * size_t(top - pos - 1));
    top--;
    items[top] = nullptr;
}

void FXStrArray::RemoveAll() {
    for (int i = 0; i < top; i++) {
        free(items[i]);
        items[i] = nullptr;
    }
    top = 0;
}

int FXStrArray::Findpos(const char* s) const {
    bool sEmpty = !s || !*s;
    for (int i = 0; i < top; i++) {
        const char* item = items[i];
        if (item == s) return i;
        bool itemEmpty = !item || !*item;
        if (itemEmpty) {
            if (sEmpty) return i;
        } else if (!sEmpty && strcmp(item, s) == 0) {
            return i;
        }
    }
    return -1;
}

int FXStrArray::Remove(const char* s) {
    int pos = Findpos(s);
    if (pos < 0) return -1;
    RemovePos(pos);
    return pos;
}

void FXStrArray::Change(int pos, const char* s) {
    if (pos < 0 || pos >= top || !s) return;
    size_t n = strlen(s);
    char* d = static_cast<char*>(malloc(n + 1));
    memcpy(d, s, n + 1);
    free(items[pos]);
    items[pos] = d;
}

namespace {
void localSaveString(FILE* f, const char* s) {
    int n = s ? int(strlen(s)) : 0;
    fxFileWriteInt(f, n);
    if (n > 0) fwrite(s, 1, size_t(n), f);
}
}  // namespace

void FXStrArray::Save(FILE* f) const {
    int n = (items && top > 0) ? top : 0;
    fxFileWriteInt(f, n);
    for (int i = 0; i < n; i++) localSaveString(f, items[i]);
}

void FXStrArray::SaveShortPaths(FILE* f, const char* dir) const {
    int n = (items && top > 0) ? top : 0;
    fxFileWriteInt(f, n);
    for (int i = 0; i < n; i++) {
        if (!items[i] || !*items[i]) {
            localSaveString(f, nullptr);
            continue;
        }
        // The work buffer of the path helpers is overwritten by the next call: write it at once.
        localSaveString(f, fxBuildRelativePath(dir, false, items[i], true));
    }
}

void FXStrArray::Load(FILE* f) {
    RemoveAll();
    int32_t count = 0;
    if (!fxFileReadInt(f, &count) || count <= 0) return;
    Realloc(localPlausibleCount(f, count, 4));
    for (int i = 0; i < count; i++) {
        int32_t k;
        if (!fxFileReadInt(f, &k)) break;
        if (k <= 0) {
            Push(nullptr);
            continue;
        }
        long left = fxFileRemaining(f);
        if (left >= 0 && k > left) break;
        char* s = static_cast<char*>(malloc(size_t(k) + 1));
        if (fread(s, 1, size_t(k), f) != size_t(k)) {
            free(s);
            break;
        }
        s[k] = 0;
        if (top >= capacity) Realloc(capacity + step);
        items[top++] = s;
    }
}

// ---- FXFloatArray ----

void FXFloatArray::DestroyBuf() {
    free(items);
    items = nullptr;
    top = 0;
    capacity = 0;
}

void FXFloatArray::Realloc(int n) { localGrow(items, top, capacity, n); }

void FXFloatArray::Push(float v) {
    if (top >= capacity) Realloc(capacity + step);
    items[top++] = v;
}

void FXFloatArray::Insert(int pos, float v) {
    if (pos == -1 || pos > top) {
        Push(v);
        return;
    }
    if (pos < 0) return;
    if (top >= capacity) Realloc(top + 1);
    memmove(items + pos + 1, items + pos, sizeof(float) * size_t(top - pos));
    items[pos] = v;
    top++;
}

float FXFloatArray::Pop() {
    if (top <= 0) return 0.0f;
    return items[--top];
}

void FXFloatArray::MovePos(int pos, int dir) { localSwapMove(items, top, pos, dir); }

void FXFloatArray::RemovePos(int pos) {
    if (pos < 0 || pos >= top) return;
    memmove(items + pos, items + pos + 1, sizeof(float) * size_t(top - pos - 1));
    top--;
}

void FXFloatArray::Save(FILE* f) const {
    int n = (items && top > 0) ? top : 0;
    fxFileWriteInt(f, n);
    fxFileWriteFloats(f, items, n);
}

void FXFloatArray::Load(FILE* f) {
    top = 0;
    int32_t count = 0;
    if (!fxFileReadInt(f, &count) || count <= 0) return;
    Realloc(localPlausibleCount(f, count, 4));
    for (int i = 0; i < count; i++) {
        float v;
        if (!fxFileReadFloat(f, &v)) break;
        Push(v);
    }
}

// ---- FXMemory ----

void FXMemory::Realloc(int n) {
    if (capacity >= n || n <= 0 || itemSize <= 0) return;
    size_t bytes = size_t(n) * size_t(itemSize);
    char* grown = static_cast<char*>(malloc(bytes));
    if (!grown) return;  // the block stays as it was; callers see the capacity unchanged
    int keep = count < capacity ? count : capacity;
    if (keep < 0) keep = 0;
    size_t kept = size_t(keep) * size_t(itemSize);
    if (data && kept > 0) memcpy(grown, data, kept);
    memset(grown + kept, 0, bytes - kept);
    free(data);
    data = grown;
    capacity = n;
}

void* FXMemory::GetItemPtr(int i) const {
    if (!data || i < 0 || i >= count || i >= capacity) return nullptr;
    return static_cast<char*>(data) + size_t(i) * size_t(itemSize);
}

void FXMemory::DestroyBuf() {
    free(data);
    data = nullptr;
    count = 0;
    capacity = 0;
}

// ---- FXRect ----

void FXRect::CombineOr(const FXRect* r) {
    if (r->left < left) left = r->left;
    if (r->top < top) top = r->top;
    if (r->right > right) right = r->right;
    if (r->bottom > bottom) bottom = r->bottom;
}

bool FXRect::CombineAnd(const FXRect* r) {
    if (r->left > left) left = r->left;
    if (r->top > top) top = r->top;
    if (r->right < right) right = r->right;
    if (r->bottom < bottom) bottom = r->bottom;
    return !IsEmpty();
}
