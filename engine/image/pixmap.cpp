// FXPixmap buffer management and the colour packing helpers. Packing truncates channel x 255;
// a channel outside [0, 1] (or NaN) is held to the byte range before it is shifted into place, so
// an unclamped colour can never spill into a neighbouring channel.
#include "image/pixmap.h"

#include <climits>
#include <cstdint>
#include <cstdlib>

#include "base/arrays.h"

void FXPixmap::Destroy() {
    free(data);
    data = nullptr;
    allocated = 0;
    bufWidth = bufHeight = 0;
    width = height = 0;
}

int FXPixmap::Realloc(int w, int h) {
    if (w < 0) w = 0;
    if (h < 0) h = 0;
    int bw = power2 ? fxPower2(w) : w;
    int bh = power2 ? fxPower2(h) : h;
    int64_t need = int64_t(bw) * bh;
    if (need > INT_MAX / 4) {  // no picture is this large; refuse rather than overflow
        Destroy();
        return 0;
    }
    width = w;
    height = h;
    bufWidth = bw;
    bufHeight = bh;
    if (data && allocated >= need) return allocated;
    free(data);
    data = nullptr;
    allocated = 0;
    if (need > 0) {
        data = static_cast<uint32_t*>(malloc(size_t(need) * sizeof(uint32_t)));
        if (!data) {
            Destroy();
            return 0;
        }
        allocated = int(need);
    }
    return allocated;
}

void FXPixmap::Clear(uint32_t v) {
    if (!data) return;
    size_t n = size_t(bufWidth) * size_t(bufHeight);
    for (size_t k = 0; k < n; k++) data[k] = v;
}

namespace {

// channel x 255 truncated toward zero, held to 0..255 (NaN gives 0).
unsigned localByte(float c) {
    float v = c * 255.0f;
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return unsigned(v);
}

float localUnit(unsigned v, int shift) { return float((v >> shift) & 0xFFu) / 255.0f; }

}  // namespace

void fxColSet(float* c, float r, float g, float b, float a) {
    c[0] = r;
    c[1] = g;
    c[2] = b;
    c[3] = a;
}

void fxColSetBlackT(float* c) { c[0] = c[1] = c[2] = c[3] = 0.0f; }

void fxColSetBlack(float* c) {
    c[0] = c[1] = c[2] = 0.0f;
    c[3] = 1.0f;
}

void fxColSetWhite(float* c) { c[0] = c[1] = c[2] = c[3] = 1.0f; }

unsigned fxColToInt(const float* c) {
    return (localByte(c[3]) << 24) | (localByte(c[0]) << 16) | (localByte(c[1]) << 8) | localByte(c[2]);
}

void fxColFromInt(float* c, unsigned v) {
    c[3] = localUnit(v, 24);
    c[0] = localUnit(v, 16);
    c[1] = localUnit(v, 8);
    c[2] = localUnit(v, 0);
}

unsigned fxColToInt1(const float* c) {
    return (localByte(c[3]) << 24) | (localByte(c[2]) << 16) | (localByte(c[1]) << 8) | localByte(c[0]);
}

void fxColFromInt1(float* c, unsigned v) {
    c[3] = localUnit(v, 24);
    c[2] = localUnit(v, 16);
    c[1] = localUnit(v, 8);
    c[0] = localUnit(v, 0);
}

void fxColCutRange(float* c) {
    for (int k = 0; k < 4; k++) {
        if (c[k] < 0.0f) c[k] = 0.0f;
        if (c[k] > 1.0f) c[k] = 1.0f;
    }
}

bool fxColIsZero(const float* c) { return c[0] == 0.0f && c[1] == 0.0f && c[2] == 0.0f && c[3] == 0.0f; }
