// Engine strings: FXStr (fixed 1023-character capacity, held by value), FXLongStr (heap-grown),
// the one-shot converters FXConvertW/FXConvertC and the trimming helpers. FXStr also owns the
// length-prefixed string encoding of the engine's files: int32 length, then that many bytes, no
// terminator.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "base/compiler.h"

// Trims leading and trailing white space of buf (len characters) in place; returns the new length.
int localTrimSpaces(char* buf, int len);

class FXStr {
public:
    enum { kCapacity = 1023 };

    char text[kCapacity + 1];
    int len;

    FXStr() { Clear(); }
    FXStr(const char* s) { Set(s); }
    FXStr(const FXStr& o) { Set(o.text); }
    FXStr& operator=(const FXStr& o) { if (this != &o) Set(o.text); return *this; }

    void Clear() { text[0] = 0; len = 0; }
    void Set(const char* s);
    void Append(const char* s);
    void AppendChar(char c);
    void InsertChar(char c);
    void RemoveLast();
    void Format(const char* fmt, ...) FX_PRINTF(2, 3);
    void FormatV(const char* fmt, va_list args);
    void TrimSpaces();
    void ToLower();
    void ToUpper();
    void ExchangeChars(char from, char to);

    bool IsEmpty() const { return len == 0; }
    bool Compare(const char* s) const;
    bool nCompare(const char* s, int n) const;
    bool iCompare(const char* s) const;

    operator const char*() const { return text; }
    const char* c_str() const { return text; }

    // The short-string encoding. Load of a stored length above the capacity keeps the first
    // 1023 characters and skips the rest, so the stream stays in step; a negative length reads
    // as empty. A short file keeps what could be read.
    void Save(FILE* f) const;
    FXStr& Load(FILE* f);
    // Writes the text relative to dir (or unchanged when no relative form exists).
    void SaveShortPath(FILE* f, const char* dir) const;
};

class FXLongStr {
public:
    char* text = nullptr;
    int len = 0;
    int capacity = 0;  // characters including the terminator

    FXLongStr() = default;
    FXLongStr(const FXLongStr&) = delete;
    FXLongStr& operator=(const FXLongStr&) = delete;
    ~FXLongStr() { Clear(); }

    void Set(const char* s);
    void Append(const char* s);
    void Clear();
    // Frees the buffer and keeps len; an Append after it starts from empty text.
    void ClearBuf();
    void TrimSpaces();
    void ToLower();
    bool IsEmpty() const { return len == 0; }
    bool Compare(const char* s) const;
    bool iCompare(const char* s) const;
    const char* c_str() const { return text ? text : ""; }
};

// Multibyte to wide text in the standard library's current locale; null text when nothing converts.
class FXConvertW {
public:
    wchar_t* text = nullptr;
    int len = 0;

    FXConvertW() = default;
    explicit FXConvertW(const char* s) { Convert(s); }
    FXConvertW(const FXConvertW&) = delete;
    FXConvertW& operator=(const FXConvertW&) = delete;
    ~FXConvertW();
    wchar_t* Convert(const char* s);
};

// Wide to multibyte text; the reverse of FXConvertW.
class FXConvertC {
public:
    char* text = nullptr;
    int len = 0;

    FXConvertC() = default;
    explicit FXConvertC(const wchar_t* s) { Convert(s); }
    FXConvertC(const FXConvertC&) = delete;
    FXConvertC& operator=(const FXConvertC&) = delete;
    ~FXConvertC();
    char* Convert(const wchar_t* s);
};
