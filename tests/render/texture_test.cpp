// Texture upload on a real device: orientation of the pixel block, mipmapped and plain
// uploads seen through minification, name reuse and release, and material binding.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "image/canvas.h"
#include "image/material.h"
#include "render/gl_api.h"
#include "render/gl_window.h"

namespace {

void localPut(FXPixmap& p, int x, int y, unsigned char r, unsigned char g, unsigned char b,
              unsigned char a = 255) {
    unsigned char* px = p.PixelBytes(x, y);
    px[0] = r;
    px[1] = g;
    px[2] = b;
    px[3] = a;
}

// A square from (x0, y0) to (x1, y1) in view coordinates, texture coordinates 0..1.
void localTexturedQuad(float x0, float y0, float x1, float y1) {
    glColor4f(1, 1, 1, 1);
    glBegin(GL_TRIANGLES);
    glTexCoord2f(0, 0); glVertex3f(x0, y0, 0);
    glTexCoord2f(1, 0); glVertex3f(x1, y0, 0);
    glTexCoord2f(1, 1); glVertex3f(x1, y1, 0);
    glTexCoord2f(0, 0); glVertex3f(x0, y0, 0);
    glTexCoord2f(1, 1); glVertex3f(x1, y1, 0);
    glTexCoord2f(0, 1); glVertex3f(x0, y1, 0);
    glEnd();
}

}  // namespace

class TextureTest : public GLWindowTest {
protected:
    FXCanvas canvas;
    FXMaterial mat;

    // 64 x 64: quadrants red (rows 0..31, columns 0..31), green, blue, white.
    void Quadrants() {
        ASSERT_GT(canvas.pixmap.Realloc(64, 64), 0);
        for (int y = 0; y < 64; y++)
            for (int x = 0; x < 64; x++) {
                bool right = x >= 32, upper = y >= 32;
                if (!right && !upper) localPut(canvas.pixmap, x, y, 255, 0, 0);
                if (right && !upper) localPut(canvas.pixmap, x, y, 0, 255, 0);
                if (!right && upper) localPut(canvas.pixmap, x, y, 0, 0, 255);
                if (right && upper) localPut(canvas.pixmap, x, y, 255, 255, 255);
            }
    }
    // 64 x 64 of one-pixel columns, alternately red and blue.
    void Stripes() {
        ASSERT_GT(canvas.pixmap.Realloc(64, 64), 0);
        for (int y = 0; y < 64; y++)
            for (int x = 0; x < 64; x++)
                localPut(canvas.pixmap, x, y, (x & 1) ? 0 : 255, 0, (x & 1) ? 255 : 0);
    }
    void Upload(bool mipmaps) {
        mat.useMipmaps = mipmaps;
        mat.textureSource = &canvas;
        ASSERT_TRUE(gl.PrepareTexture(&mat));
        mat.hasTexture = true;
    }
    void TearDown() override {
        if (dpy) gl.UnprepareTexture(&mat);
        mat.textureSource = nullptr;
        GLWindowTest::TearDown();
    }
};

TEST_F(TextureTest, BlockRowZeroIsTheBottomOfTheTexture) {
    Quadrants();
    Upload(false);
    gl.Clrscr(true, true, false);
    gl.ApplyMaterial(&mat);
    EXPECT_TRUE(gl.textureOn);
    localTexturedQuad(-1, -1, 1, 1);
    qmSaveBackBuffer("texture_quadrants", kW, kH);
    EXPECT_TRUE(QmNear(qmReadPixel(kW / 4, kH / 4), 255, 0, 0));
    EXPECT_TRUE(QmNear(qmReadPixel(kW * 3 / 4, kH / 4), 0, 255, 0));
    EXPECT_TRUE(QmNear(qmReadPixel(kW / 4, kH * 3 / 4), 0, 0, 255));
    EXPECT_TRUE(QmNear(qmReadPixel(kW * 3 / 4, kH * 3 / 4), 255, 255, 255));

    // Clamped at the edges: u from 1.2 to 1.5 repeats the last column (green) instead of
    // wrapping round to the red quadrant.
    gl.Clrscr(true, true, false);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_TRIANGLES);
    glTexCoord2f(1.2f, 0.1f); glVertex3f(-1, -1, 0);
    glTexCoord2f(1.5f, 0.1f); glVertex3f(1, -1, 0);
    glTexCoord2f(1.5f, 0.1f); glVertex3f(1, 1, 0);
    glEnd();
    EXPECT_TRUE(QmNear(qmReadPixel(kW - 4, kH / 4), 0, 255, 0));

    // Without a texture the material unbinds.
    FXMaterial plain;
    gl.ApplyMaterial(&plain);
    EXPECT_FALSE(gl.textureOn);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(TextureTest, MipmapsSmoothMinifiedStripes) {
    // The quad is 10 pixels wide for 64 texels: sampled without mipmaps, some pixels land near a
    // single red or blue column; with mipmaps every pixel averages to purple.
    const float x0 = -1.0f, x1 = -1.0f + 2.0f * 10 / kW;
    const float y0 = -1.0f, y1 = -1.0f + 2.0f * 10 / kH;
    for (bool mipmaps : {true, false}) {
        Stripes();
        Upload(mipmaps);
        GLint minFilter = 0, level1 = -1;
        glBindTexture(GL_TEXTURE_2D, mat.textureName);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
        glBindTexture(GL_TEXTURE_2D, 0);
        EXPECT_EQ(minFilter, mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
        EXPECT_EQ(level1, mipmaps ? 32 : 0);

        gl.Clrscr(true, true, false);
        gl.ApplyMaterial(&mat);
        localTexturedQuad(x0, y0, x1, y1);
        qmSaveBackBuffer(mipmaps ? "texture_mipmapped" : "texture_plain", kW, kH);
        int maxSpread = 0;
        for (int x = 0; x < 10; x++) {
            QmPixel p = qmReadPixel(x, 5);
            maxSpread = std::max(maxSpread, std::abs(p.r - p.b));
        }
        if (mipmaps)
            EXPECT_LE(maxSpread, 24);
        else
            EXPECT_GE(maxSpread, 100);
        gl.UnprepareTexture(&mat);
    }
}

TEST_F(TextureTest, NamesAreReusedAndReleased) {
    Quadrants();
    Upload(true);
    unsigned first = mat.textureName;
    EXPECT_NE(first, 0u);
    EXPECT_TRUE(glIsTexture(first));
    Upload(false);
    EXPECT_EQ(mat.textureName, first);
    gl.UnprepareTexture(&mat);
    EXPECT_EQ(mat.textureName, 0u);
    EXPECT_FALSE(glIsTexture(first));
    gl.UnprepareTexture(&mat);  // nothing left to release

    FXMaterial empty;
    EXPECT_FALSE(gl.PrepareTexture(&empty));  // no source: nothing uploaded
    EXPECT_EQ(empty.textureName, 0u);
    EXPECT_FALSE(gl.PrepareCubeTexture(&mat, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(TextureTest, FastUploadRecordsTheUsedFraction) {
    FXPixmap frame;
    ASSERT_GT(frame.Realloc(48, 20), 0);
    ASSERT_EQ(frame.bufWidth, 64);
    ASSERT_EQ(frame.bufHeight, 32);
    frame.Clear(0xFF00FF00u);  // memory order R G B A = 0, 255, 0, 255
    ASSERT_TRUE(gl.FastPrepareTexture(&mat, &frame));
    EXPECT_TRUE(mat.hasTexture);
    EXPECT_FLOAT_EQ(mat.texScaleU, 0.75f);
    EXPECT_FLOAT_EQ(mat.texScaleV, 0.625f);
    unsigned name = mat.textureName;
    ASSERT_TRUE(gl.FastPrepareTexture(&mat, &frame));
    EXPECT_EQ(mat.textureName, name);

    gl.Clrscr(true, true, false);
    gl.ApplyMaterial(&mat);
    localTexturedQuad(-1, -1, 1, 1);
    EXPECT_TRUE(QmNear(Centre(), 0, 255, 0));

    // A texel with alpha 0 is dropped by the alpha test.
    frame.Clear(0x00FFFFFFu);
    ASSERT_TRUE(gl.FastPrepareTexture(&mat, &frame));
    gl.ApplyMaterial(&mat);
    localTexturedQuad(-1, -1, 1, 1);
    EXPECT_TRUE(QmNear(Centre(), 0, 255, 0));
}

TEST_F(TextureTest, SecondUnitBindsOnlyTheTexture) {
    Quadrants();
    Upload(false);
    gl.ApplyMaterial2(&mat);
    EXPECT_TRUE(gl.texture2On);
    GLint active = 0, bound1 = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0);  // unit 0 is active again afterwards
    fxglActiveTexture(GL_TEXTURE1);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound1);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    fxglActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(unsigned(bound1), mat.textureName);
    gl.ApplyMaterial2(nullptr);
    EXPECT_FALSE(gl.texture2On);

    // While materials are being tested nothing is applied.
    gl.EnableTestingMaterial(true);
    gl.ApplyMaterial(&mat);
    gl.ApplyMaterial2(&mat);
    EXPECT_FALSE(gl.textureOn);
    EXPECT_FALSE(gl.texture2On);
    gl.EnableTestingMaterial(false);
}
