// Test fixture: a real OpenGL device on a real window of the test display (the private Xvfb of
// ./qm test). Tests are skipped with a message when no display is available.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/gl.h"
#include "render/x11_display.h"

// Skips the calling test when DISPLAY is unset.
#define QM_REQUIRE_DISPLAY()                                                                    \
    do {                                                                                        \
        if (!getenv("DISPLAY") || !*getenv("DISPLAY"))                                          \
            GTEST_SKIP() << "DISPLAY is not set: rendering tests need an X server "             \
                            "(./qm test runs them under a private Xvfb)";                       \
    } while (0)

struct QmPixel {
    int r, g, b, a;
};

// Maps the window and waits until the server has shown it.
void qmMapAndWait(Display* dpy, Window w);
// One pixel of the current read buffer (window coordinates, y = 0 at the bottom).
QmPixel qmReadPixel(int x, int y);
// Saves the back buffer as test-output/<name>.png.
void qmSaveBackBuffer(const std::string& name, int w, int h);

class GLWindowTest : public ::testing::Test {
protected:
    static constexpr int kW = 128;
    static constexpr int kH = 96;
    Display* dpy = nullptr;
    Window win = 0;
    FXGL gl;

    void SetUp() override;
    void TearDown() override;
    // Draws an untextured quad over the whole view at depth z with glColor (r, g, b, a).
    void Quad(float z, float r, float g, float b, float a);
    QmPixel Centre() { return qmReadPixel(kW / 2, kH / 2); }
};

class FXCanvas;
class FXMaterial;
class FXMesh;

// A quad over the whole view at depth 0 facing the viewer: corners bottom-left, bottom-right,
// top-right, top-left with texture coordinates (0,0) (1,0) (1,1) (0,1), white vertex colours.
void qmMakeQuadMesh(FXMesh* mesh);
// Fills canvas with a 4 x 4 texture of one colour and uploads it as m's texture (no mipmaps).
void qmSolidTexture(FXGL* gl, FXMaterial* m, FXCanvas* canvas, int r, int g, int b, int a = 255);

// Colour comparison with a tolerance per channel.
::testing::AssertionResult QmNear(const QmPixel& p, int r, int g, int b, int tol = 2);
