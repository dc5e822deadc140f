// FXPixmap sizing and reuse, and the colour packing helpers.
#include "image/pixmap.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Pixmap, SizingReuseAndClear) {
    FXPixmap p, flat;
    EXPECT_EQ(p.Realloc(300, 200), 512 * 256);
    EXPECT_EQ(p.bufWidth, 512);
    EXPECT_EQ(p.bufHeight, 256);
    EXPECT_EQ(p.width, 300);
    flat.power2 = 0;
    EXPECT_EQ(flat.Realloc(300, 200), 300 * 200);
    EXPECT_EQ(flat.bufWidth, 300);
    // A smaller picture keeps the buffer and its contents; the stride follows the picture.
    uint32_t* before = p.data;
    p.data[512 * 256 - 1] = 0x12345678;
    EXPECT_EQ(p.Realloc(64, 64), 512 * 256);
    EXPECT_EQ(p.data, before);
    EXPECT_EQ(p.bufWidth, 64);
    EXPECT_EQ(p.data[512 * 256 - 1], 0x12345678u);
    p.data[64 * 64] = 0x55;
    p.Clear(0xA1B2C3D4);  // the whole 64 x 64 buffer, nothing past it
    EXPECT_EQ(p.data[0], 0xA1B2C3D4u);
    EXPECT_EQ(p.data[64 * 64 - 1], 0xA1B2C3D4u);
    EXPECT_EQ(p.data[64 * 64], 0x55u);
    EXPECT_EQ(p.Realloc(1, 1), 512 * 256);
    EXPECT_EQ(p.bufWidth, 1);
    EXPECT_EQ(p.Realloc(1024, 513), 1024 * 1024);  // larger: a buffer of exactly that size
}

TEST(Colour, PackingTruncatesAndUnpackingDividesBy255) {
    float red[4] = {1, 0, 0, 1};
    EXPECT_EQ(fxColToInt(red), 0xFFFF0000u);
    EXPECT_EQ(fxColToInt1(red), 0xFF0000FFu);
    float c[4] = {0.5f, 0.999f, 0.0f, 0.25f};
    EXPECT_EQ(fxColToInt1(c), 0x3F00FE7Fu);  // 127, 254, 0, 63
    EXPECT_EQ(fxColToInt(c), 0x3F7FFE00u);
    fxColFromInt1(c, 0x80FF0000u);
    EXPECT_EQ(c[0], 0.0f);
    EXPECT_EQ(c[2], 1.0f);
    EXPECT_NEAR(c[3], 0.50196, 1e-5);
    for (unsigned v : {0xFFFFFFFFu, 0x01020304u, 0x80FE7F01u}) {
        fxColFromInt(c, v);
        EXPECT_EQ(fxColToInt(c), v);
        fxColFromInt1(c, v);
        EXPECT_EQ(fxColToInt1(c), v);
    }
    // Out-of-range channels are held to a byte: nothing spills into a neighbour.
    float wild[4] = {2.0f, -1.0f, NAN, 1e30f};
    EXPECT_EQ(fxColToInt(wild), 0xFFFF0000u);
    EXPECT_EQ(fxColToInt1(wild), 0xFF0000FFu);
}

TEST(Colour, CutRangeAndZero) {
    float c[4] = {-0.5f, 2.0f, 0.3f, 1.0f};
    fxColCutRange(c);
    EXPECT_EQ(c[0], 0.0f);
    EXPECT_EQ(c[1], 1.0f);
    EXPECT_EQ(c[2], 0.3f);
    fxColSetBlackT(c);
    c[2] = -0.0f;
    EXPECT_TRUE(fxColIsZero(c));
    c[1] = NAN;
    EXPECT_FALSE(fxColIsZero(c));
}
