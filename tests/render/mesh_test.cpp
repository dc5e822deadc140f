// Mesh drawing on a real device: colour modes, material and default material, what is sent per
// vertex for each device state, and the second texture layer.
#include <gtest/gtest.h>

#include "geometry/mesh.h"
#include "image/canvas.h"
#include "image/light.h"
#include "image/material.h"
#include "render/gl_api.h"
#include "render/gl_window.h"

class MeshTest : public GLWindowTest {
protected:
    FXCanvas canvasA, canvasB;
    FXMaterial matA, matB;
    FXMesh quad;

    void SetUp() override {
        GLWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        qmMakeQuadMesh(&quad);
        gl.Clrscr(true, true, false);
    }
    void TearDown() override {
        if (dpy) {
            gl.UnprepareTexture(&matA);
            gl.UnprepareTexture(&matB);
        }
        GLWindowTest::TearDown();
    }
    void Colour(int i, float r, float g, float b, float a = 1) {
        float c[4] = {r, g, b, a};
        for (int k = 0; k < 4; k++) quad.vertices[i].color[k] = c[k];
    }
};

TEST_F(MeshTest, ColourModesAndMaterials) {
    // Mode 1: per-vertex colours, interpolated.
    Colour(0, 1, 0, 0);
    Colour(1, 1, 0, 0);
    Colour(2, 0, 0, 1);
    Colour(3, 0, 0, 1);
    quad.colorMode = 1;
    gl.RenderMesh(&quad);
    qmSaveBackBuffer("mesh_vertex_colours", kW, kH);
    EXPECT_TRUE(QmNear(qmReadPixel(kW / 2, 1), 255, 0, 0, 6));
    EXPECT_TRUE(QmNear(qmReadPixel(kW / 2, kH - 2), 0, 0, 255, 6));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));

    // Mode 0: white whatever the vertices hold, textured by the material.
    qmSolidTexture(&gl, &matA, &canvasA, 255, 255, 0);
    quad.colorMode = 0;
    quad.material = &matA;
    gl.RenderMesh(&quad);
    EXPECT_TRUE(gl.textureOn);
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_TRUE(QmNear(Centre(), 255, 255, 0));

    // Without a material the default one applies: untextured white.
    quad.material = nullptr;
    gl.RenderMesh(&quad);
    EXPECT_FALSE(gl.textureOn);
    EXPECT_TRUE(QmNear(Centre(), 255, 255, 255));

    // Other modes send the batch without vertices.
    gl.Clrscr(true, true, false);
    quad.colorMode = 2;
    gl.RenderMesh(&quad);
    EXPECT_TRUE(QmNear(Centre(), 0, 0, 0, 0));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(MeshTest, EmptyOrDisabledMeshesChangeNothing) {
    qmSolidTexture(&gl, &matA, &canvasA, 255, 0, 0);
    quad.material = &matA;
    FXMesh empty;
    empty.material = &matA;
    gl.RenderMesh(&empty);
    quad.disabled = true;
    gl.RenderMesh(&quad);
    FXMesh noIndices;
    noIndices.Realloc(3, 0);
    noIndices.material = &matA;
    gl.RenderMesh(&noIndices);
    EXPECT_FALSE(gl.textureOn);  // the material was never applied
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(QmNear(Centre(), 0, 0, 0, 0));
}

TEST_F(MeshTest, NormalsOnlyWhenLitAndCoordinatesOnlyWhenTextured) {
    // Sentinels in the current normal and texture coordinate show what the mesh sent.
    glNormal3f(0.5f, 0.5f, 0.5f);
    glTexCoord2f(7, 7);
    gl.RenderMesh(&quad);  // unlit, untextured
    float n[3], tc[4];
    glGetFloatv(GL_CURRENT_NORMAL, n);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, tc);
    EXPECT_FLOAT_EQ(n[0], 0.5f);
    EXPECT_FLOAT_EQ(tc[0], 7.0f);

    FXLight light;
    gl.RegisterLight(&light);
    gl.UpdateLights();
    gl.EnableLights(true);
    qmSolidTexture(&gl, &matA, &canvasA, 0, 255, 0);
    quad.material = &matA;
    gl.RenderMesh(&quad);
    glGetFloatv(GL_CURRENT_NORMAL, n);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, tc);
    EXPECT_FLOAT_EQ(n[2], -1.0f);
    EXPECT_FLOAT_EQ(tc[0], 0.0f);  // the last corner sent: (0, 1)
    EXPECT_FLOAT_EQ(tc[1], 1.0f);
    EXPECT_TRUE(QmNear(Centre(), 0, 255, 0, 3));  // lit white by the default light, textured
    gl.EnableLights(false);
    gl.UnregisterLight(&light);
}

TEST_F(MeshTest, SecondLayerModulatesWithItsOwnCoordinates) {
    // Layer one yellow; layer two: left half cyan, right half red, sampled through the second
    // mesh's coordinates, which all point at the left half.
    qmSolidTexture(&gl, &matA, &canvasA, 255, 255, 0);
    canvasB.pixmap.Realloc(4, 4);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) {
            unsigned char* p = canvasB.pixmap.PixelBytes(x, y);
            p[0] = x < 2 ? 0 : 255;
            p[1] = x < 2 ? 255 : 0;
            p[2] = x < 2 ? 255 : 0;
            p[3] = 255;
        }
    matB.useMipmaps = false;
    matB.textureSource = &canvasB;
    ASSERT_TRUE(gl.PrepareTexture(&matB));
    matB.hasTexture = true;

    FXMesh layer;
    qmMakeQuadMesh(&layer);
    for (int i = 0; i < 4; i++) {
        layer.vertices[i].uv[0] = 0.1f;
        layer.vertices[i].uv[1] = 0.5f;
        layer.vertices[i].pos[0] = 5;  // positions of the second mesh are not used
    }
    layer.material = &matB;
    quad.material = &matA;
    quad.secondMesh = &layer;
    gl.RenderMesh(&quad);
    EXPECT_TRUE(gl.texture2On);
    qmSaveBackBuffer("mesh_two_layers", kW, kH);
    EXPECT_TRUE(QmNear(qmReadPixel(kW - 4, kH / 2), 0, 255, 0));  // yellow x cyan everywhere
    EXPECT_TRUE(QmNear(qmReadPixel(3, kH / 2), 0, 255, 0));

    // A single-layer mesh switches unit 1 off again.
    quad.secondMesh = nullptr;
    gl.RenderMesh(&quad);
    EXPECT_FALSE(gl.texture2On);
    EXPECT_TRUE(QmNear(Centre(), 255, 255, 0));

    // A second mesh with fewer vertices than the first cannot be paired: nothing is drawn.
    gl.Clrscr(true, true, false);
    layer.Realloc(3, 6);
    quad.secondMesh = &layer;
    gl.RenderMesh(&quad);
    EXPECT_TRUE(QmNear(Centre(), 0, 0, 0, 0));
}
