// Mesh drawing on a real device: colour modes, material and default material, what is sent per
// vertex for each device state, and the second texture layer.
#include <gtest/gtest.h>

#include "geometry/mesh.h"
#include "image/canvas.h"
#include "image/light.h"
#include "device/gl_api.h"
#include "support/gl_window_x11.h"

class MeshTest : public GLWindowTest {
protected:
    FXCanvas canvasA, canvasB;
    FXMaterial matA, matB;
    FXMesh quad, layer;

    void SetUp() override {
        GLWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        qmMakeQuadMesh(&quad);
        gl.Clrscr(true, true, false);
    }
    void TearDown() override {
        if (dpy) gl.UnprepareTexture(&matA), gl.UnprepareTexture(&matB);
        GLWindowTest::TearDown();
    }
};

TEST_F(MeshTest, ColourModesAndMaterials) {
    for (int i = 0; i < 4; i++) {  // red along the bottom, blue along the top
        float* c = quad.vertices[i].color;
        c[0] = i < 2, c[1] = 0, c[2] = i >= 2;
    }
    quad.colorMode = 1;
    gl.RenderMesh(&quad);
    qmSaveBackBuffer("mesh_vertex_colours", kW, kH);
    EXPECT_TRUE(QmNear(qmReadPixel(kW / 2, 1), 255, 0, 0, 6));
    EXPECT_TRUE(QmNear(qmReadPixel(kW / 2, kH - 2), 0, 0, 255, 6));

    qmSolidTexture(&gl, &matA, &canvasA, 255, 255, 0);
    quad.colorMode = 0;  // white whatever the vertices hold, textured by the material
    quad.material = &matA;
    gl.RenderMesh(&quad);
    EXPECT_TRUE(QmNear(Centre(), 255, 255, 0));
    quad.material = nullptr;  // the default material: untextured white
    gl.RenderMesh(&quad);
    EXPECT_TRUE(QmNear(Centre(), 255, 255, 255));

    gl.Clrscr(true, true, false);
    quad.colorMode = 2;  // other modes send no vertices
    gl.RenderMesh(&quad);
    EXPECT_TRUE(QmNear(Centre(), 0, 0, 0, 0));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// An opaque material draws without blending and the alpha test, and leaves both on for the next
// surface: a half-transparent one drawn after it still mixes with what lies beneath.
TEST_F(MeshTest, OpaqueSurfacesSkipBlendingAndLeaveItOnForTheNext) {
    qmSolidTexture(&gl, &matA, &canvasA, 0, 0, 255);
    quad.material = &matA;
    gl.RenderMesh(&quad);
    EXPECT_TRUE(QmNear(Centre(), 0, 0, 255));
    EXPECT_TRUE(glIsEnabled(GL_BLEND) && glIsEnabled(GL_ALPHA_TEST));
    quad.material = &matB;  // untextured; unlit, the vertex colours carry half opacity
    quad.colorMode = 1;
    for (tagFXVertex* v = quad.vertices; v < quad.vertices + 4; v++) fxColSet(v->color, 1, 1, 1, 0.5f);
    gl.RenderMesh(&quad);
    EXPECT_TRUE(QmNear(Centre(), 128, 128, 255, 3));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(MeshTest, EmptyOrDisabledMeshesChangeNothing) {
    qmSolidTexture(&gl, &matA, &canvasA, 255, 0, 0);
    FXMesh empty, noIndices;
    noIndices.Realloc(3, 0);
    empty.material = noIndices.material = quad.material = &matA;
    quad.disabled = true;
    for (FXMesh* m : {&empty, &noIndices, &quad}) gl.RenderMesh(m);
    EXPECT_FALSE(gl.textureOn);  // the material was never applied
    EXPECT_TRUE(QmNear(Centre(), 0, 0, 0, 0));
}

// Drawing needs the device's context current on the calling thread: a caller that forgot it is
// stopped in builds with assertions, and a device whose window is gone draws nowhere quietly.
TEST_F(MeshTest, DrawingWithoutTheContextIsAProgrammerError) {
    gl.SetAct(false);
    EXPECT_FALSE(gl.CanIssueCalls());
#if defined(FX_ASSERTS) || !defined(NDEBUG)
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(gl.RenderMesh(&quad), "context current");
#endif
    gl.windowLost = true;
    EXPECT_TRUE(gl.CanIssueCalls());
    gl.RenderMesh(&quad);
    gl.windowLost = false;
    gl.SetAct(true);
    EXPECT_TRUE(gl.CanIssueCalls());
}

TEST_F(MeshTest, NormalsOnlyWhenLitAndCoordinatesOnlyWhenTextured) {
    // Sentinels in the current normal and texture coordinate show what the mesh sent.
    glNormal3f(0.5f, 0.5f, 0.5f);
    glTexCoord2f(7, 7);
    gl.RenderMesh(&quad);  // unlit, untextured
    float n[3], tc[4];
    glGetFloatv(GL_CURRENT_NORMAL, n);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, tc);
    EXPECT_EQ(n[0] * 100 + tc[0], 57.0f);

    FXLight light;
    gl.RegisterLight(&light);
    gl.UpdateLights();
    gl.EnableLights(true);
    qmSolidTexture(&gl, &matA, &canvasA, 0, 255, 0);
    quad.material = &matA;
    gl.RenderMesh(&quad);
    glGetFloatv(GL_CURRENT_NORMAL, n);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, tc);
    EXPECT_EQ(n[2], -1.0f);
    EXPECT_EQ(tc[1], 1.0f);  // the last corner sent: (0, 1)
    EXPECT_TRUE(QmNear(Centre(), 0, 255, 0, 3));
}

TEST_F(MeshTest, SecondLayerModulatesWithItsOwnCoordinates) {
    // Layer one yellow; layer two cyan on its left half, red on its right half, sampled through
    // the second mesh's coordinates, which all point at the left half.
    qmSolidTexture(&gl, &matA, &canvasA, 255, 255, 0);
    qmSolidTexture(&gl, &matB, &canvasB, 0, 255, 255);
    for (int y = 0; y < 4; y++)
        for (int x = 2; x < 4; x++) canvasB.pixmap.PixelBytes(x, y)[0] = 255, canvasB.pixmap.PixelBytes(x, y)[2] = 0;
    ASSERT_TRUE(gl.PrepareTexture(&matB));
    qmMakeQuadMesh(&layer);
    for (int i = 0; i < 4; i++) {
        layer.vertices[i].uv[0] = 0.1f;
        layer.vertices[i].pos[0] = 5;  // positions of the second mesh are not used
    }
    layer.material = &matB;
    quad.material = &matA;
    quad.secondMesh = &layer;
    gl.RenderMesh(&quad);
    qmSaveBackBuffer("mesh_two_layers", kW, kH);
    EXPECT_TRUE(QmNear(qmReadPixel(kW - 4, kH / 2), 0, 255, 0));  // yellow x cyan everywhere
    EXPECT_TRUE(QmNear(qmReadPixel(3, kH / 2), 0, 255, 0));

    quad.secondMesh = nullptr;  // a single layer switches unit 1 off again
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
