// Test fixture: a real OpenGL device on a real window of the test display (the private Xvfb of
// ./qm test), with helpers for pixels, screenshots, meshes and textures. Tests are skipped with
// a message when there is no display.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "device/gl.h"
#include "base/x11_display.h"
#include "support/x11_test.h"

struct QmPixel {
    int r, g, b, a;
};

// One pixel of the back buffer (window coordinates, y = 0 at the bottom).
QmPixel qmReadPixel(int x, int y);
// Saves the back buffer as <test output>/<name>.png.
void qmSaveBackBuffer(const std::string& name, int w, int h);
::testing::AssertionResult QmNear(const QmPixel& p, int r, int g, int b, int tol = 2);
// A quad over the whole view at depth 0 facing the viewer: corners bottom-left, bottom-right,
// top-right, top-left with texture coordinates (0,0) (1,0) (1,1) (0,1), white vertex colours.
void qmMakeQuadMesh(FXMesh* mesh);
// A 4 x 4 texture of one colour in canvas, uploaded as m's texture (no mipmaps).
void qmSolidTexture(FXGL* gl, FXMaterial* m, FXCanvas* canvas, int r, int g, int b);

class GLWindowTest : public ::testing::Test {
protected:
    static constexpr int kW = 128;
    static constexpr int kH = 96;
    Display* dpy = nullptr;
    Window win = 0;
    FXGL gl;

    // A window of kW x kH.
    void SetUp() override;
    void TearDown() override;
    // Opens a window of width x height at (x, y) and makes the device current on it.
    void OpenWindow(int x, int y, int width, int height);
    // An untextured quad over the whole view at depth z in colour (r, g, b, a).
    void Quad(float z, float r, float g, float b, float a);
    QmPixel Centre() { return qmReadPixel(kW / 2, kH / 2); }
};
