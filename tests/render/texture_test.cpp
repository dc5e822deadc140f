// Texture upload on a real device: orientation of the pixel block, edge clamping, mipmapped and
// plain uploads seen through minification, name reuse and release.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/canvas.h"
#include "image/material.h"
#include "device/gl_api.h"
#include "support/gl_window_x11.h"

namespace {

// A quad from (x0, y0) to (x1, y1) in view coordinates, texture coordinates u0..u1, v0..v1.
void localQuad(float x0, float y0, float x1, float y1, float u0 = 0, float v0 = 0, float u1 = 1,
               float v1 = 1) {
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(u0, v0), glVertex3f(x0, y0, 0);
    glTexCoord2f(u1, v0), glVertex3f(x1, y0, 0);
    glTexCoord2f(u1, v1), glVertex3f(x1, y1, 0);
    glTexCoord2f(u0, v1), glVertex3f(x0, y1, 0);
    glEnd();
}

}  // namespace

class TextureTest : public GLWindowTest {
protected:
    FXCanvas canvas;
    FXMaterial mat;

    // 64 x 64 pixels from fn(x, y) -> R, G, B.
    template <class Fn>
    void Fill(Fn fn) {
        ASSERT_GT(canvas.pixmap.Realloc(64, 64), 0);
        for (int y = 0; y < 64; y++)
            for (int x = 0; x < 64; x++) {
                unsigned char* p = canvas.pixmap.PixelBytes(x, y);
                fn(x, y, p);
                p[3] = 255;
            }
        mat.textureSource = &canvas;
        mat.hasTexture = true;
    }
    void TearDown() override {
        if (dpy) gl.UnprepareTexture(&mat);
        GLWindowTest::TearDown();
    }
};

TEST_F(TextureTest, BlockRowZeroIsTheBottomAndEdgesClamp) {
    // Rows 0..31: red left, green right; rows 32..63: blue.
    Fill([](int x, int y, unsigned char* p) {
        p[0] = (y < 32 && x < 32) ? 255 : 0;
        p[1] = (y < 32 && x >= 32) ? 255 : 0;
        p[2] = y >= 32 ? 255 : 0;
    });
    mat.useMipmaps = false;
    ASSERT_TRUE(gl.PrepareTexture(&mat));
    gl.Clrscr(true, true, false);
    gl.ApplyMaterial(&mat);
    localQuad(-1, -1, 1, 1);
    qmSaveBackBuffer("texture_quadrants", kW, kH);
    EXPECT_TRUE(QmNear(qmReadPixel(kW / 4, kH / 4), 255, 0, 0));
    EXPECT_TRUE(QmNear(qmReadPixel(kW * 3 / 4, kH / 4), 0, 255, 0));
    EXPECT_TRUE(QmNear(qmReadPixel(kW / 2, kH * 3 / 4), 0, 0, 255));
    // u from 1.2 to 1.5 repeats the last column instead of wrapping round to red.
    localQuad(-1, -1, 1, 1, 1.2f, 0.1f, 1.5f, 0.1f);
    EXPECT_TRUE(QmNear(qmReadPixel(kW / 4, kH / 4), 0, 255, 0));
}

TEST_F(TextureTest, MipmapsSmoothMinifiedStripes) {
    // One-pixel columns, red and blue, drawn 10 pixels wide: sampled without mipmaps some pixels
    // land near a single column; with mipmaps every pixel averages to purple.
    for (bool mipmaps : {true, false}) {
        Fill([](int x, int, unsigned char* p) {
            p[0] = (x & 1) ? 0 : 255;
            p[1] = 0;
            p[2] = (x & 1) ? 255 : 0;
        });
        mat.useMipmaps = mipmaps;
        ASSERT_TRUE(gl.PrepareTexture(&mat));
        gl.Clrscr(true, true, false);
        gl.ApplyMaterial(&mat);
        localQuad(-1, -1, -1 + 20.0f / kW, -1 + 20.0f / kH);
        qmSaveBackBuffer(mipmaps ? "texture_mipmapped" : "texture_plain", kW, kH);
        int spread = 0;
        for (int x = 0; x < 10; x++) {
            QmPixel p = qmReadPixel(x, 5);
            spread = std::max(spread, std::abs(p.r - p.b));
        }
        if (mipmaps)
            EXPECT_LE(spread, 24);
        else
            EXPECT_GE(spread, 100);
        gl.UnprepareTexture(&mat);
    }
}

TEST_F(TextureTest, NamesAreReusedAndReleased) {
    Fill([](int, int, unsigned char* p) { p[0] = p[1] = p[2] = 9; });
    ASSERT_TRUE(gl.PrepareTexture(&mat));
    unsigned first = mat.textureName;
    ASSERT_TRUE(gl.PrepareTexture(&mat));
    EXPECT_EQ(mat.textureName, first);
    gl.UnprepareTexture(&mat);
    EXPECT_EQ(mat.textureName, 0u);
    EXPECT_FALSE(glIsTexture(first));
    FXMaterial empty;
    EXPECT_FALSE(gl.PrepareTexture(&empty));  // no source: nothing uploaded
    EXPECT_FALSE(gl.PrepareCubeTexture(&mat, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(TextureTest, FastUploadRecordsTheUsedFraction) {
    FXPixmap frame;
    ASSERT_GT(frame.Realloc(48, 20), 0);  // in a 64 x 32 block
    frame.Clear(0xFF00FF00u);             // memory order R G B A = 0, 255, 0, 255
    ASSERT_TRUE(gl.FastPrepareTexture(&mat, &frame));
    EXPECT_TRUE(mat.hasTexture);
    EXPECT_FLOAT_EQ(mat.texScaleU, 0.75f);
    EXPECT_FLOAT_EQ(mat.texScaleV, 0.625f);
    gl.Clrscr(true, true, false);
    gl.ApplyMaterial(&mat);
    localQuad(-1, -1, 1, 1);
    EXPECT_TRUE(QmNear(Centre(), 0, 255, 0));
    frame.Clear(0x00FFFFFFu);  // the same name uploaded again, alpha 0: dropped by the alpha test
    ASSERT_TRUE(gl.FastPrepareTexture(&mat, &frame));
    gl.Clrscr(true, true, false);
    gl.ApplyMaterial(&mat);  // an upload leaves no texture bound
    localQuad(-1, -1, 1, 1);
    EXPECT_TRUE(QmNear(Centre(), 0, 0, 0, 0));
}

// A second frame of the same block size goes into the texture's storage: its picture and the one
// column and row beyond it (which linear filtering at the picture's edge reads) are replaced, the
// rest of the block keeps what it had. A frame of another block size gets new storage.
TEST_F(TextureTest, FramesOfTheSameBlockSizeReuseTheStorage) {
    FXPixmap frame;
    ASSERT_GT(frame.Realloc(64, 32), 0);  // the whole 64 x 32 block
    frame.Clear(0xFF00FF00u);             // green
    ASSERT_TRUE(gl.FastPrepareTexture(&mat, &frame));
    const unsigned name = mat.textureName;
    ASSERT_GT(frame.Realloc(40, 18), 0);  // the same block
    ASSERT_EQ(frame.bufWidth, 64);
    ASSERT_EQ(frame.bufHeight, 32);
    for (int y = 0; y < 32; y++)  // red over the whole block; only the picture's part is sent
        for (int x = 0; x < 64; x++) memcpy(frame.PixelBytes(x, y), "\xff\x00\x00\xff", 4);
    ASSERT_TRUE(gl.FastPrepareTexture(&mat, &frame));
    EXPECT_EQ(mat.textureName, name);
    EXPECT_FLOAT_EQ(mat.texScaleU, 40.0f / 64.0f);
    gl.Clrscr(true, true, false);
    gl.ApplyMaterial(&mat);
    localQuad(-1, -1, 1, 1, 0, 0, mat.texScaleU, mat.texScaleV);  // the picture
    EXPECT_TRUE(QmNear(qmReadPixel(2, 2), 255, 0, 0));
    EXPECT_TRUE(QmNear(qmReadPixel(kW - 3, kH - 3), 255, 0, 0));
    localQuad(-1, -1, 1, 1);  // the whole block: beyond column 40 and row 18 the first frame stays
    EXPECT_TRUE(QmNear(qmReadPixel(2, 2), 255, 0, 0));
    EXPECT_TRUE(QmNear(qmReadPixel(kW * 7 / 8, kH * 7 / 8), 0, 255, 0));

    ASSERT_GT(frame.Realloc(100, 40), 0);  // a 128 x 64 block: specified afresh
    frame.Clear(0xFFFF0000u);              // blue
    ASSERT_TRUE(gl.FastPrepareTexture(&mat, &frame));
    gl.Clrscr(true, true, false);
    gl.ApplyMaterial(&mat);
    localQuad(-1, -1, 1, 1);
    EXPECT_TRUE(QmNear(qmReadPixel(kW * 3 / 4, kH * 3 / 4), 0, 0, 255));
}

// A picture smaller than its power-of-two block: where the device takes textures of any size it
// becomes a texture of the picture's own size (with its own mipmaps), and its texture
// scales cover the whole texture, so the quad's far edge shows the picture's last column, not
// the padding blended into it. A device without such textures keeps the padded block.
TEST_F(TextureTest, PaddedPicturesBecomeTexturesOfTheirOwnSize) {
    ASSERT_TRUE(gl.npotTextures) << "llvmpipe takes textures of any size";
    for (bool npot : {true, false}) {
        for (bool mipmaps : {true, false}) {
            SCOPED_TRACE(std::string(npot ? "any size" : "powers of two") + (mipmaps ? ", mipmaps" : ""));
            ASSERT_GT(canvas.pixmap.Realloc(48, 40), 0);
            ASSERT_EQ(canvas.pixmap.bufWidth, 64);
            canvas.pixmap.Clear(0xFF000000u);  // opaque black padding
            for (int y = 0; y < 40; y++)
                for (int x = 0; x < 48; x++) {
                    unsigned char* p = canvas.pixmap.PixelBytes(x, y);
                    p[0] = 255, p[1] = x >= 40 ? 255 : 0, p[2] = 0, p[3] = 255;  // yellow in the last 8 columns
                }
            mat.useMipmaps = mipmaps;
            gl.npotTextures = npot;
            ASSERT_TRUE(mat.SetTexture(&gl, &canvas));
            gl.npotTextures = true;
            GLint w = 0, h = 0, w1 = 0;
            glBindTexture(GL_TEXTURE_2D, mat.textureName);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &w1);
            glBindTexture(GL_TEXTURE_2D, 0);
            EXPECT_EQ(w, npot ? 48 : 64);
            EXPECT_EQ(h, npot ? 40 : 64);
            EXPECT_EQ(w1, mipmaps ? (npot ? 24 : 32) : 0);
            if (npot && mipmaps) {  // level 1: each texel the mean of the 2 x 2 it covers
                std::vector<unsigned char> l1(24 * 20 * 4);
                glBindTexture(GL_TEXTURE_2D, mat.textureName);
                glGetTexImage(GL_TEXTURE_2D, 1, GL_RGBA, GL_UNSIGNED_BYTE, l1.data());
                glBindTexture(GL_TEXTURE_2D, 0);
                EXPECT_EQ(l1[19 * 4 + 1], 0) << "columns 38 and 39: red";
                EXPECT_EQ(l1[20 * 4 + 1], 255) << "columns 40 and 41: yellow";
            }
            EXPECT_FLOAT_EQ(mat.texScaleU, npot ? 1.0f : 0.75f);
            EXPECT_FLOAT_EQ(mat.texScaleV, npot ? 1.0f : 0.625f);
            gl.Clrscr(true, true, false);
            gl.ApplyMaterial(&mat);
            localQuad(-1, -1, 1, 1, 0, 0, mat.texScaleU, mat.texScaleV);
            // The block's padding (black) is blended into the last column where it is kept.
            QmPixel edge = qmReadPixel(kW - 1, kH / 2);
            if (npot)
                EXPECT_TRUE(QmNear(edge, 255, 255, 0)) << "the last column";
            else
                EXPECT_LT(edge.r, 230) << "the last column darkened by the padding";
            EXPECT_TRUE(QmNear(qmReadPixel(kW / 4, kH / 2), 255, 0, 0));
            mat.textureSource = nullptr;
            gl.UnprepareTexture(&mat);
        }
    }
}
