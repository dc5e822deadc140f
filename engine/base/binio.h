// Little-endian, unaligned value I/O: the one set of primitives every record reader and writer
// uses, in memory (Get/Put) and on stdio files (fxFileRead/fxFileWrite). No file buffer is ever
// cast onto a struct.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

inline uint16_t fxGetU16(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return uint16_t(b[0] | (b[1] << 8));
}
inline uint32_t fxGetU32(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}
inline uint64_t fxGetU64(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return uint64_t(fxGetU32(b)) | (uint64_t(fxGetU32(b + 4)) << 32);
}
inline int32_t fxGetI32(const void* p) { return int32_t(fxGetU32(p)); }
inline float fxGetF32(const void* p) {
    uint32_t u = fxGetU32(p);
    float f;
    memcpy(&f, &u, 4);
    return f;
}
inline double fxGetF64(const void* p) {
    uint64_t u = fxGetU64(p);
    double d;
    memcpy(&d, &u, 8);
    return d;
}

inline void fxPutU16(void* p, uint16_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    b[0] = uint8_t(v);
    b[1] = uint8_t(v >> 8);
}
inline void fxPutU32(void* p, uint32_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    b[0] = uint8_t(v);
    b[1] = uint8_t(v >> 8);
    b[2] = uint8_t(v >> 16);
    b[3] = uint8_t(v >> 24);
}
inline void fxPutU64(void* p, uint64_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    fxPutU32(b, uint32_t(v));
    fxPutU32(b + 4, uint32_t(v >> 32));
}
inline void fxPutI32(void* p, int32_t v) { fxPutU32(p, uint32_t(v)); }
inline void fxPutF32(void* p, float f) {
    uint32_t u;
    memcpy(&u, &f, 4);
    fxPutU32(p, u);
}
inline void fxPutF64(void* p, double d) {
    uint64_t u;
    memcpy(&u, &d, 8);
    fxPutU64(p, u);
}

// File forms: each returns true when the whole value was written or read. A failed read
// leaves *out untouched.
inline bool fxFileWriteInt(FILE* f, int32_t v) {
    uint8_t b[4];
    fxPutI32(b, v);
    return fwrite(b, 1, 4, f) == 4;
}
inline bool fxFileReadInt(FILE* f, int32_t* out) {
    uint8_t b[4];
    if (fread(b, 1, 4, f) != 4) return false;
    *out = fxGetI32(b);
    return true;
}
inline bool fxFileWriteFloat(FILE* f, float v) {
    uint8_t b[4];
    fxPutF32(b, v);
    return fwrite(b, 1, 4, f) == 4;
}
inline bool fxFileReadFloat(FILE* f, float* out) {
    uint8_t b[4];
    if (fread(b, 1, 4, f) != 4) return false;
    *out = fxGetF32(b);
    return true;
}
inline bool fxFileWriteDouble(FILE* f, double v) {
    uint8_t b[8];
    fxPutF64(b, v);
    return fwrite(b, 1, 8, f) == 8;
}
inline bool fxFileReadDouble(FILE* f, double* out) {
    uint8_t b[8];
    if (fread(b, 1, 8, f) != 8) return false;
    *out = fxGetF64(b);
    return true;
}
// Booleans are one byte, true only when it is exactly 1.
inline bool fxFileWriteBool(FILE* f, bool v) {
    uint8_t b = v ? 1 : 0;
    return fwrite(&b, 1, 1, f) == 1;
}
inline bool fxFileReadBool(FILE* f, bool* out) {
    uint8_t b;
    if (fread(&b, 1, 1, f) != 1) return false;
    *out = (b == 1);
    return true;
}
// Bytes left in f from its current position, or -1 when the stream cannot tell.
inline long fxFileRemaining(FILE* f) {
    long here = ftell(f);
    if (here < 0 || fseek(f, 0, SEEK_END) != 0) return -1;
    long end = ftell(f);
    fseek(f, here, SEEK_SET);
    return end < here ? 0 : end - here;
}

// Float arrays as consecutive little-endian singles.
inline bool fxFileWriteFloats(FILE* f, const float* v, int n) {
    for (int i = 0; i < n; i++)
        if (!fxFileWriteFloat(f, v[i])) return false;
    return true;
}
inline bool fxFileReadFloats(FILE* f, float* v, int n) {
    for (int i = 0; i < n; i++)
        if (!fxFileReadFloat(f, &v[i])) return false;
    return true;
}
