// FXStr, FXLongStr, the converters and the trimming helpers.
#include "base/strings.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "base/binio.h"
#include "base/paths.h"

namespace {

bool localIsSpace(int c) { return c >= 0 && c <= 255 && isspace(c); }
char localLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }
char localUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

template <typename Ch>
int localTrim(Ch* buf, int len) {
    if (len <= 0) return 0;
    int lead = 0;
    while (lead < len && localIsSpace(int(buf[lead]))) lead++;
    if (lead == len) {
        buf[0] = 0;
        return 0;
    }
    if (lead > 0) {
        memmove(buf, buf + lead, size_t(len - lead + 1) * sizeof(Ch));
        len -= lead;
    }
    int end = len;
    while (end > 0 && localIsSpace(int(buf[end - 1]))) end--;
    if (end == len) return len;
    buf[end] = 0;
    return end;
}

}  // namespace

int localTrimSpaces(char* buf, int len) { return localTrim(reinterpret_cast<unsigned char*>(buf), len); }

// ---- FXStr ----

void FXStr::Set(const char* s) {
    if (!s || !*s) {
        Clear();
        return;
    }
    size_t n = strnlen(s, kCapacity);
    memmove(text, s, n);  // s may point into this string's own text
    text[n] = 0;
    len = int(n);
}

void FXStr::Append(const char* s) {
    if (!s || !*s) return;
    size_t room = size_t(kCapacity - len);
    size_t n = strnlen(s, room);
    memcpy(text + len, s, n);
    len += int(n);
    text[len] = 0;
}

void FXStr::AppendChar(char c) {
    if (len > kCapacity - 1) return;
    text[len] = c;
    text[len + 1] = 0;
    len = int(strlen(text));
}

void FXStr::InsertChar(char c) {
    if (len > kCapacity - 1) return;
    memmove(text + 1, text, size_t(len) + 1);
    text[0] = c;
    len = int(strlen(text));
}

void FXStr::RemoveLast() {
    if (len > 0) text[--len] = 0;
}

void FXStr::Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    FormatV(fmt, args);
    va_end(args);
}

void FXStr::FormatV(const char* fmt, va_list args) {
    int n = vsnprintf(text, sizeof(text), fmt ? fmt : "", args);
    if (n < 0) {
        Clear();
        return;
    }
    len = n > kCapacity ? kCapacity : n;
    text[len] = 0;
}

void FXStr::TrimSpaces() { len = localTrimSpaces(text, len); }

void FXStr::ToLower() {
    for (int i = 0; i < len; i++) text[i] = localLower(text[i]);
}

void FXStr::ToUpper() {
    for (int i = 0; i < len; i++) text[i] = localUpper(text[i]);
}

void FXStr::ExchangeChars(char from, char to) {
    for (int i = 0; i < len; i++)
        if (text[i] == from) text[i] = to;
}

bool FXStr::Compare(const char* s) const {
    if (!s || !*s) return len == 0;
    if (len == 0) return false;
    return strncmp(text, s, kCapacity) == 0;
}

bool FXStr::nCompare(const char* s, int n) const {
    if (!s || !*s) return len == 0;
    if (len == 0) return false;
    if (n <= 0) return true;
    return strncmp(text, s, size_t(n)) == 0;
}

bool FXStr::iCompare(const char* s) const {
    if (!s) return len == 0;
    if (len == 0) return false;
    return strncasecmp(text, s, kCapacity) == 0;
}

void FXStr::Save(FILE* f) const {
    fxFileWriteInt(f, len);
    if (len > 0) fwrite(text, 1, size_t(len), f);
}

FXStr& FXStr::Load(FILE* f) {
    Clear();
    int32_t k = 0;
    if (!fxFileReadInt(f, &k) || k <= 0) return *this;
    int keep = k > kCapacity ? kCapacity : k;
    size_t got = fread(text, 1, size_t(keep), f);
    text[got] = 0;
    len = int(got);
    if (k > keep && got == size_t(keep)) fseek(f, long(k - keep), SEEK_CUR);
    return *this;
}

void FXStr::SaveShortPath(FILE* f, const char* dir) const {
    if (len == 0) {
        fxFileWriteInt(f, 0);
        return;
    }
    FXStr rel(fxBuildRelativePath(dir, false, text, true));
    rel.Save(f);
}

// ---- FXLongStr ----

void FXLongStr::Set(const char* s) {
    if (!s || !*s) {
        len = 0;
        if (text) text[0] = 0;
        return;
    }
    int n = int(strlen(s));
    if (capacity < n + 1) {
        free(text);
        text = static_cast<char*>(malloc(size_t(n) + 1));
        capacity = n + 1;
    }
    memmove(text, s, size_t(n) + 1);  // s may point into this string's own text
    len = n;
}

void FXLongStr::Append(const char* s) {
    if (!s || !*s) return;
    if (!text) len = 0;  // after ClearBuf the old text is gone: nothing is left to keep
    int n = int(strlen(s));
    if (!text || capacity < len + n + 1) {
        // s may be (part of) this string's own text: it is copied before the old buffer goes.
        char* grown = static_cast<char*>(malloc(size_t(len + n) + 1));
        if (text && len > 0) memcpy(grown, text, size_t(len));
        memcpy(grown + len, s, size_t(n));
        free(text);
        text = grown;
        capacity = len + n + 1;
    } else {
        memmove(text + len, s, size_t(n));
    }
    len += n;
    text[len] = 0;
}

void FXLongStr::Clear() {
    free(text);
    text = nullptr;
    len = 0;
    capacity = 0;
}

void FXLongStr::ClearBuf() {
    free(text);
    text = nullptr;
    capacity = 0;
}

void FXLongStr::TrimSpaces() {
    if (text) len = localTrimSpaces(text, len);
}

void FXLongStr::ToLower() {
    for (int i = 0; text && i < len; i++) text[i] = localLower(text[i]);
}

bool FXLongStr::Compare(const char* s) const {
    if (!s || !*s) return len == 0;
    return len > 0 && text && strcmp(text, s) == 0;
}

bool FXLongStr::iCompare(const char* s) const {
    if (!s || !*s) return len == 0;
    return len > 0 && text && strcasecmp(text, s) == 0;
}

// ---- converters ----

FXConvertW::~FXConvertW() { free(text); }

wchar_t* FXConvertW::Convert(const char* s) {
    free(text);
    text = nullptr;
    len = 0;
    if (!s) return nullptr;
    size_t n = mbstowcs(nullptr, s, 0);
    if (n == size_t(-1) || n == 0 || n > size_t(INT_MAX - 1)) return nullptr;
    text = static_cast<wchar_t*>(malloc(sizeof(wchar_t) * (n + 1)));
    size_t done = mbstowcs(text, s, n + 1);
    if (done == size_t(-1) || done == 0) {
        free(text);
        text = nullptr;
        return nullptr;
    }
    text[done] = 0;
    len = int(done);
    return text;
}

FXConvertC::~FXConvertC() { free(text); }

char* FXConvertC::Convert(const wchar_t* s) {
    free(text);
    text = nullptr;
    len = 0;
    if (!s) return nullptr;
    size_t n = wcstombs(nullptr, s, 0);
    if (n == size_t(-1) || n == 0 || n > size_t(INT_MAX - 1)) return nullptr;
    text = static_cast<char*>(malloc(n + 1));
    size_t done = wcstombs(text, s, n + 1);
    if (done == size_t(-1) || done == 0) {
        free(text);
        text = nullptr;
        return nullptr;
    }
    text[done] = 0;
    len = int(done);
    return text;
}
