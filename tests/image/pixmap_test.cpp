// FXPixmap sizing and reuse, and the colour packing helpers.
#include "image/pixmap.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Pixmap, PowerOfTwoBufferHoldsThePictureTopLeft) {
    FXPixmap p;
    EXPECT_EQ(p.Realloc(300, 200), 512 * 256);
    EXPECT_EQ(p.bufWidth, 512);
    EXPECT_EQ(p.bufHeight, 256);
    EXPECT_EQ(p.width, 300);
    EXPECT_EQ(p.height, 200);
    ASSERT_NE(p.data, nullptr);

    FXPixmap q;
    q.power2 = 0;
    EXPECT_EQ(q.Realloc(300, 200), 300 * 200);
    EXPECT_EQ(q.bufWidth, 300);
    EXPECT_EQ(q.bufHeight, 200);

    FXPixmap one;
    EXPECT_EQ(one.Realloc(1, 1), 1);
    EXPECT_EQ(one.bufWidth, 1);
    EXPECT_EQ(one.bufHeight, 1);
    EXPECT_EQ(one.Realloc(257, 3), 512 * 4);
}

TEST(Pixmap, SmallerPictureReusesTheBufferUncleared) {
    FXPixmap p;
    p.Realloc(300, 200);
    uint32_t* before = p.data;
    p.data[5] = 0xDEADBEEF;
    p.data[512 * 256 - 1] = 0x12345678;
    EXPECT_EQ(p.Realloc(64, 64), 512 * 256);
    EXPECT_EQ(p.data, before);
    EXPECT_EQ(p.allocated, 512 * 256);
    EXPECT_EQ(p.bufWidth, 64);  // the stride follows the new picture
    EXPECT_EQ(p.width, 64);
    EXPECT_EQ(p.height, 64);
    EXPECT_EQ(p.data[5], 0xDEADBEEFu);
    EXPECT_EQ(p.data[512 * 256 - 1], 0x12345678u);

    EXPECT_EQ(p.Realloc(1024, 512), 1024 * 512);  // larger: a new buffer of exactly that size
    EXPECT_EQ(p.allocated, 1024 * 512);
    p.Destroy();
    EXPECT_EQ(p.data, nullptr);
    EXPECT_EQ(p.allocated, 0);
    EXPECT_EQ(p.width + p.height + p.bufWidth + p.bufHeight, 0);
    EXPECT_EQ(p.power2, 1);
}

TEST(Pixmap, ClearCoversThePadding) {
    FXPixmap p;
    p.Realloc(3, 3);
    p.data[0] = 0;
    p.Clear(0xA1B2C3D4);
    for (int k = 0; k < 16; k++) EXPECT_EQ(p.data[k], 0xA1B2C3D4u) << k;
    // After shrinking into the same buffer only the new buffer area is the "whole buffer".
    p.Realloc(1, 2);
    p.Clear(7);
    EXPECT_EQ(p.data[0], 7u);
    EXPECT_EQ(p.data[1], 7u);
    EXPECT_EQ(p.data[2], 0xA1B2C3D4u);
    FXPixmap empty;
    empty.Clear(1);  // no buffer: nothing to do, no crash
    EXPECT_EQ(empty.data, nullptr);
}

TEST(Colour, PackingTruncatesTimes255) {
    float red[4] = {1, 0, 0, 1};
    EXPECT_EQ(fxColToInt(red), 0xFFFF0000u);
    EXPECT_EQ(fxColToInt1(red), 0xFF0000FFu);
    float c[4] = {0.5f, 0.999f, 0.0f, 0.25f};
    EXPECT_EQ(fxColToInt1(c), (63u << 24) | (0u << 16) | (254u << 8) | 127u);
    EXPECT_EQ(fxColToInt(c), (63u << 24) | (127u << 16) | (254u << 8) | 0u);
}

TEST(Colour, UnpackingDividesBy255) {
    float c[4];
    fxColFromInt1(c, 0x80FF0000u);
    EXPECT_EQ(c[0], 0.0f);
    EXPECT_EQ(c[1], 0.0f);
    EXPECT_EQ(c[2], 1.0f);
    EXPECT_NEAR(c[3], 0.50196, 1e-5);
    fxColFromInt(c, 0x80FF0040u);
    EXPECT_EQ(c[0], 1.0f);
    EXPECT_EQ(c[1], 0.0f);
    EXPECT_NEAR(c[2], 64 / 255.0, 1e-7);
    EXPECT_NEAR(c[3], 0.50196, 1e-5);
    // Every byte survives a round trip through both packings.
    for (unsigned v : {0x00000000u, 0xFFFFFFFFu, 0x01020304u, 0x80FE7F01u}) {
        fxColFromInt(c, v);
        EXPECT_EQ(fxColToInt(c), v);
        fxColFromInt1(c, v);
        EXPECT_EQ(fxColToInt1(c), v);
    }
}

TEST(Colour, OutOfRangeChannelsNeverSpillIntoNeighbours) {
    float c[4] = {2.0f, -1.0f, NAN, 1.5f};
    EXPECT_EQ(fxColToInt(c), 0xFFFF0000u);
    EXPECT_EQ(fxColToInt1(c), 0xFF0000FFu);
    float big[4] = {0, 1e30f, 0, 0};
    EXPECT_EQ(fxColToInt1(big), 0x0000FF00u);
}

TEST(Colour, SettersRangeAndZero) {
    float c[4] = {-0.5f, 2.0f, 0.3f, 1.0f};
    fxColCutRange(c);
    EXPECT_EQ(c[0], 0.0f);
    EXPECT_EQ(c[1], 1.0f);
    EXPECT_EQ(c[2], 0.3f);
    EXPECT_EQ(c[3], 1.0f);
    fxColSetBlackT(c);
    EXPECT_TRUE(fxColIsZero(c));
    c[2] = -0.0f;
    EXPECT_TRUE(fxColIsZero(c));
    c[1] = NAN;
    EXPECT_FALSE(fxColIsZero(c));
    fxColSetBlack(c);
    EXPECT_FALSE(fxColIsZero(c));
    EXPECT_EQ(fxColToInt(c), 0xFF000000u);
    fxColSetWhite(c);
    EXPECT_EQ(fxColToInt1(c), 0xFFFFFFFFu);
}
