// FXPixmap, the 32-bit pixel buffer behind every picture, capture and texture upload, and the
// colour helpers. The buffer may be rounded up to power-of-two sides with the picture in the
// top-left corner; the row stride is the buffer width. A large enough buffer is reused unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

class FXPixmap {
public:
    uint32_t* data = nullptr;
    int allocated = 0;   // pixels the buffer holds
    int bufWidth = 0;    // row stride
    int bufHeight = 0;
    int width = 0;       // the picture inside
    int height = 0;
    int power2 = 1;      // round buffer sides up to powers of two

    FXPixmap() = default;
    FXPixmap(const FXPixmap&) = delete;
    FXPixmap& operator=(const FXPixmap&) = delete;
    ~FXPixmap() { Destroy(); }

    void Destroy();
    // Records the picture size and sizes the buffer; returns the allocated pixel count.
    int Realloc(int w, int h);
    // Stores v in every pixel of the whole buffer, padding included.
    void Clear(uint32_t v);
    // Byte access: pixel (x, y) as 4 bytes in memory order.
    unsigned char* PixelBytes(int x, int y) { return reinterpret_cast<unsigned char*>(data + size_t(y) * bufWidth + x); }
};

void fxColSet(float* c, float r, float g, float b, float a);
void fxColSetBlackT(float* c);
void fxColSetBlack(float* c);
void fxColSetWhite(float* c);
// A<<24 | R<<16 | G<<8 | B (memory order B, G, R, A); channel bytes = value * 255 truncated.
unsigned fxColToInt(const float* c);
void fxColFromInt(float* c, unsigned v);
// A<<24 | B<<16 | G<<8 | R (memory order R, G, B, A): the order of pictures.
unsigned fxColToInt1(const float* c);
void fxColFromInt1(float* c, unsigned v);
void fxColCutRange(float* c);
bool fxColIsZero(const float* c);
