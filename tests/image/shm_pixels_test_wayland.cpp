// The conversion of a compositor's capture buffer into the engine's picture: each 32-bit byte
// order, a buffer stored bottom row first, the output transforms, and buffers that do not hold
// what their header claims.
#include <gtest/gtest.h>

#include <vector>

#include <wayland-client-protocol.h>

#include "image/pixmap.h"
#include "image/scrshot_wayland.h"

namespace {

// A 3 x 2 buffer in ARGB8888 (memory B, G, R, X) whose pixel (x, y) is red x*80+10, green
// y*100+20, blue 200; rows padded to a stride of 16 bytes.
std::vector<unsigned char> localBuffer(uint32_t format) {
    int ro, go, bo;
    fxShmFormatOffsets(format, &ro, &go, &bo);
    std::vector<unsigned char> b(16 * 2, 0xEE);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++) {
            unsigned char* p = &b[size_t(y) * 16 + size_t(x) * 4];
            p[ro] = static_cast<unsigned char>(x * 80 + 10);
            p[go] = static_cast<unsigned char>(y * 100 + 20);
            p[bo] = 200;
        }
    return b;
}

// (x, y) of the source buffer that a converted pixel holds, read back from its colours.
std::pair<int, int> localFrom(FXPixmap& p, int x, int y) {
    const unsigned char* px = p.PixelBytes(x, y);
    EXPECT_EQ(px[2], 200);
    EXPECT_EQ(px[3], 255);
    return {(px[0] - 10) / 80, (px[1] - 20) / 100};
}

}  // namespace

TEST(ShmPixels, EveryByteOrderGivesTheSameRGBAndOpaqueAlpha) {
    for (uint32_t f : {WL_SHM_FORMAT_ARGB8888, WL_SHM_FORMAT_XRGB8888, WL_SHM_FORMAT_ABGR8888, WL_SHM_FORMAT_XBGR8888,
                       WL_SHM_FORMAT_BGRA8888, WL_SHM_FORMAT_BGRX8888, WL_SHM_FORMAT_RGBA8888, WL_SHM_FORMAT_RGBX8888}) {
        std::vector<unsigned char> b = localBuffer(f);
        FXPixmap p;
        ASSERT_TRUE(fxCopyShmPixels(b.data(), b.size(), f, 3, 2, 16, false, 0, &p)) << std::hex << f;
        EXPECT_EQ(p.width * 10 + p.height, 32);
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 3; x++) EXPECT_EQ(localFrom(p, x, y), std::make_pair(x, y)) << std::hex << f;
    }
    // Only 32-bit formats are read; the fourth byte (0xEE padding here) never shows.
    int r, g, b;
    EXPECT_FALSE(fxShmFormatOffsets(WL_SHM_FORMAT_RGB565, &r, &g, &b));
}

TEST(ShmPixels, BottomUpBuffersAndTransformsComeOutAsTheUserSeesThem) {
    std::vector<unsigned char> b = localBuffer(WL_SHM_FORMAT_XRGB8888);
    FXPixmap p;
    ASSERT_TRUE(fxCopyShmPixels(b.data(), b.size(), WL_SHM_FORMAT_XRGB8888, 3, 2, 16, true, 0, &p));
    EXPECT_EQ(localFrom(p, 0, 0), std::make_pair(0, 1));  // y_invert: the last row is the top
    // A quarter turn: the shown picture is 2 x 3, the buffer's top-right corner at the top-left.
    ASSERT_TRUE(fxCopyShmPixels(b.data(), b.size(), WL_SHM_FORMAT_XRGB8888, 3, 2, 16, false,
                                WL_OUTPUT_TRANSFORM_90, &p));
    EXPECT_EQ(p.width * 10 + p.height, 23);
    EXPECT_EQ(localFrom(p, 0, 0), std::make_pair(2, 0));
    EXPECT_EQ(localFrom(p, 1, 2), std::make_pair(0, 1));
    ASSERT_TRUE(fxCopyShmPixels(b.data(), b.size(), WL_SHM_FORMAT_XRGB8888, 3, 2, 16, false,
                                WL_OUTPUT_TRANSFORM_180, &p));
    EXPECT_EQ(localFrom(p, 0, 0), std::make_pair(2, 1));
    ASSERT_TRUE(fxCopyShmPixels(b.data(), b.size(), WL_SHM_FORMAT_XRGB8888, 3, 2, 16, false,
                                WL_OUTPUT_TRANSFORM_270, &p));
    EXPECT_EQ(localFrom(p, 0, 0), std::make_pair(0, 1));
    ASSERT_TRUE(fxCopyShmPixels(b.data(), b.size(), WL_SHM_FORMAT_XRGB8888, 3, 2, 16, false,
                                WL_OUTPUT_TRANSFORM_FLIPPED, &p));
    EXPECT_EQ(localFrom(p, 0, 0), std::make_pair(2, 0));  // mirrored left to right
}

TEST(ShmPixels, BuffersThatDoNotHoldTheirRowsAreRefusedUntouched) {
    std::vector<unsigned char> b = localBuffer(WL_SHM_FORMAT_XRGB8888);
    FXPixmap p;
    EXPECT_FALSE(fxCopyShmPixels(b.data(), 16 + 11, WL_SHM_FORMAT_XRGB8888, 3, 2, 16, false, 0, &p));  // last row short
    EXPECT_FALSE(fxCopyShmPixels(b.data(), b.size(), WL_SHM_FORMAT_XRGB8888, 5, 2, 16, false, 0, &p));  // stride < 4w
    EXPECT_FALSE(fxCopyShmPixels(b.data(), b.size(), WL_SHM_FORMAT_XRGB8888, 0, 2, 16, false, 0, &p));
    EXPECT_FALSE(fxCopyShmPixels(b.data(), b.size(), WL_SHM_FORMAT_RGB888, 3, 2, 16, false, 0, &p));
    EXPECT_FALSE(fxCopyShmPixels(nullptr, 0, WL_SHM_FORMAT_XRGB8888, 3, 2, 16, false, 0, &p));
    EXPECT_EQ(p.data, nullptr);  // never allocated by a refused buffer
    // The last row needs only its pixels, not a whole stride.
    EXPECT_TRUE(fxCopyShmPixels(b.data(), 16 + 12, WL_SHM_FORMAT_XRGB8888, 3, 2, 16, false, 0, &p));
}
