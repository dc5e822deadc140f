// The OpenGL device on a real window: the fixed render state seen through pixels, buffer
// clearing, lights, the window handling of the X11 layer, and the extension probing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/trace.h"
#include "image/light.h"
#include "render/gl_api.h"
#include "render/gl_window.h"
#include "support/test_support.h"

TEST_F(GLWindowTest, DeviceTakesTheWindowSizeAndTheScreenSize) {
    EXPECT_EQ(gl.width, kW);
    EXPECT_EQ(gl.height, kH);
    EXPECT_EQ(gl.screenWidth, DisplayWidth(dpy, DefaultScreen(dpy)));
    EXPECT_EQ(gl.screenHeight, DisplayHeight(dpy, DefaultScreen(dpy)));
    EXPECT_EQ(gl.childWindow, fxX11Handle(win));  // same visual: no child window of our own
    EXPECT_EQ(gl.ownWindow, nullptr);
    EXPECT_TRUE(gl.hasMultitexture);
    EXPECT_TRUE(gl.TestGL(false));
    EXPECT_NE(fxglActiveTexture, nullptr);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], kW);
    EXPECT_EQ(viewport[3], kH);
}

TEST_F(GLWindowTest, ClearColourAndBufferSelection) {
    float c[4] = {0.2f, 0.4f, 0.6f, 1.0f};
    gl.SetClrColor(c);
    EXPECT_EQ(gl.clearColor[2], 0.6f);
    gl.Clrscr(true, true, false);
    EXPECT_TRUE(QmNear(Centre(), 51, 102, 153));
    qmSaveBackBuffer("device_clear", kW, kH);

    // An empty mask clears nothing.
    float red[4] = {1, 0, 0, 1};
    gl.SetClrColor(red);
    gl.Clrscr(false, false, false);
    EXPECT_TRUE(QmNear(Centre(), 51, 102, 153));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    gl.Clrscr(true, false, false);
    EXPECT_TRUE(QmNear(Centre(), 255, 0, 0));
}

TEST_F(GLWindowTest, LargerZLiesFurtherAwayAndEqualDepthPasses) {
    gl.Clrscr(true, true, true);
    Quad(-0.5f, 1, 0, 0, 1);  // near
    Quad(0.5f, 0, 1, 0, 1);   // further: hidden
    EXPECT_TRUE(QmNear(Centre(), 255, 0, 0));
    Quad(-0.5f, 0, 0, 1, 1);  // the same depth: drawn over
    EXPECT_TRUE(QmNear(Centre(), 0, 0, 255));

    // The depth buffer clears to the far end, so the farthest visible depth still passes.
    gl.Clrscr(true, true, false);
    Quad(1.99f, 1, 1, 0, 1);
    EXPECT_TRUE(QmNear(Centre(), 255, 255, 0));
    Quad(-1.99f, 0, 1, 1, 1);
    EXPECT_TRUE(QmNear(Centre(), 0, 255, 255));

    // Without the depth test and without depth writes everything is drawn in order.
    gl.EnableDepthTest(false);
    EXPECT_FALSE(gl.depthTest);
    Quad(1.0f, 1, 0, 1, 1);
    EXPECT_TRUE(QmNear(Centre(), 255, 0, 255));
    gl.EnableDepthTest(true);
    gl.Clrscr(true, true, false);  // the depth mask also guards clearing: clear first
    gl.EnableDepthWrite(false);
    Quad(-1.0f, 1, 0, 0, 1);
    Quad(1.0f, 0, 1, 0, 1);  // nothing recorded the near quad's depth
    EXPECT_TRUE(QmNear(Centre(), 0, 255, 0));
    qmSaveBackBuffer("device_depth", kW, kH);
}

TEST_F(GLWindowTest, AlmostTransparentFragmentsAreDroppedAndOthersBlend) {
    float blue[4] = {0, 0, 1, 1};
    gl.SetClrColor(blue);
    gl.Clrscr(true, true, false);
    // Dropped fragments neither colour nor hide what lies behind them.
    Quad(-1.0f, 1, 0, 0, 0.0f);
    Quad(-1.0f, 1, 0, 0, 1.0f / 255.0f);
    Quad(0.5f, 0, 1, 0, 1);
    EXPECT_TRUE(QmNear(Centre(), 0, 255, 0, 0));

    // 3/255 passes the test and blends in.
    gl.Clrscr(true, true, false);
    Quad(0.0f, 1, 0, 0, 3.0f / 255.0f);
    QmPixel p = Centre();
    EXPECT_GE(p.r, 2);
    EXPECT_LE(p.b, 253);

    gl.Clrscr(true, true, false);
    Quad(0.0f, 1, 0, 0, 0.5f);
    EXPECT_TRUE(QmNear(Centre(), 128, 0, 127, 2));
    qmSaveBackBuffer("device_blend", kW, kH);
}

TEST_F(GLWindowTest, CullingBackWinsWhenBothAreAsked) {
    gl.Clrscr(true, true, false);
    gl.EnableCullface(true, true);
    EXPECT_TRUE(gl.cullFront && gl.cullBack);
    GLint face = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &face);
    EXPECT_EQ(face, GL_BACK);
    Quad(0, 1, 0, 0, 1);  // counter-clockwise on screen: a front face, drawn
    EXPECT_TRUE(QmNear(Centre(), 255, 0, 0));
    gl.EnableCullface(true, false);
    Quad(0, 0, 1, 0, 1);  // now culled
    EXPECT_TRUE(QmNear(Centre(), 255, 0, 0));
    gl.EnableCullface(false, false);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(GLWindowTest, LightsColourLitSurfacesAndSwitchOff) {
    FXLight light;
    for (int i = 0; i < 4; i++) {
        light.ambient[i] = 0;
        light.diffuse[i] = (i == 0 || i == 3) ? 1.0f : 0.0f;  // red
        light.specular[i] = 0;
    }
    ASSERT_TRUE(gl.RegisterLight(&light));
    gl.ApplyMatrixIdentity();
    gl.UpdateLights();
    EXPECT_EQ(light.lightId, int(GL_LIGHT0));
    gl.ApplyDefaultMaterial();  // white diffuse
    gl.EnableLights(true);
    EXPECT_TRUE(gl.lightsOn);

    gl.Clrscr(true, true, false);
    glNormal3f(0, 0, -1);  // facing the viewer, as the light shines
    Quad(0, 1, 1, 1, 1);
    EXPECT_TRUE(QmNear(Centre(), 255, 0, 0, 3));

    gl.EnableLight(false, &light);
    EXPECT_TRUE(light.off);
    gl.Clrscr(true, true, false);
    Quad(0, 1, 1, 1, 1);
    EXPECT_TRUE(QmNear(Centre(), 0, 0, 0, 3));

    gl.EnableLight(true, &light);
    gl.DisableAllLights();
    EXPECT_TRUE(light.off);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    gl.UpdateLights();  // an off light stays off
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));

    gl.EnableLights(false);
    gl.Clrscr(true, true, false);
    Quad(0, 0, 1, 0, 1);  // unlit: the vertex colour
    EXPECT_TRUE(QmNear(Centre(), 0, 255, 0));
    gl.UnregisterLight(&light);
}

TEST_F(GLWindowTest, MatricesAreTrackedAndLoaded) {
    FXMatrix move, scale;
    move.SetMoveF(0.5f, 0, 0);
    scale.SetScaleF(0.25f, 1, 1);
    gl.ApplyMatrix(&move);
    gl.MultiplyMatrix(&scale);
    // The device's matrix is what GL holds.
    float loaded[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, loaded);
    for (int i = 0; i < 16; i++) EXPECT_FLOAT_EQ(loaded[i], gl.matrix.m[i]) << i;
    // Scaled first, then moved: the quad covers x in [0.25, 0.75] of the view.
    gl.Clrscr(true, true, false);
    Quad(0, 1, 1, 1, 1);
    EXPECT_TRUE(QmNear(qmReadPixel(kW * 5 / 8, kH / 2), 255, 255, 255));
    EXPECT_TRUE(QmNear(qmReadPixel(kW * 3 / 8, kH / 2), 0, 0, 0));
    EXPECT_TRUE(QmNear(qmReadPixel(kW * 15 / 16, kH / 2), 0, 0, 0));
    gl.ApplyMatrixIdentity();
    glGetFloatv(GL_MODELVIEW_MATRIX, loaded);
    EXPECT_FLOAT_EQ(loaded[12], 0.0f);
    EXPECT_FLOAT_EQ(gl.matrix.m[12], 0.0f);
}

TEST_F(GLWindowTest, EnlargeDetachesToScreenSizeAndPutsTheWindowBack) {
    // A child window placed inside a parent, as a preview pane would hold it.
    gl.SetAct(false);
    gl.Destroy();
    Window child = fxGLCreateWindow(dpy, win, 10, 20, 50, 40, 0);
    ASSERT_NE(child, 0u);
    qmMapAndWait(dpy, child);
    gl.CreateChild(fxX11Handle(child));
    ASSERT_NE(gl.hglrc, nullptr);

    auto parentOf = [&](Window w) {
        Window root, parent, *kids = nullptr;
        unsigned n;
        XQueryTree(dpy, w, &root, &parent, &kids, &n);
        if (kids) XFree(kids);
        return parent;
    };
    gl.Enlarge(true);
    gl.Enlarge(true);  // the second call keeps the first saved place
    EXPECT_TRUE(gl.enlarged);
    EXPECT_EQ(parentOf(child), DefaultRootWindow(dpy));
    EXPECT_EQ(gl.width, gl.screenWidth);
    EXPECT_EQ(gl.height, gl.screenHeight);
    EXPECT_EQ(gl.oldRect.left, 10);
    EXPECT_EQ(gl.oldRect.top, 20);

    gl.Enlarge(false);
    EXPECT_FALSE(gl.enlarged);
    EXPECT_EQ(parentOf(child), win);
    XWindowAttributes a;
    XGetWindowAttributes(dpy, child, &a);
    EXPECT_EQ(a.x, 10);
    EXPECT_EQ(a.y, 20);
    EXPECT_EQ(gl.width, 50);
    EXPECT_EQ(gl.height, 40);
    gl.Enlarge(false);  // not enlarged: nothing happens
    EXPECT_EQ(parentOf(child), win);

    gl.Destroy();
    fxGLDestroyWindow(dpy, child);
    gl.CreateChild(fxX11Handle(win));  // for TearDown
}

TEST(GLDevice, ForeignVisualGetsAChildWindowWithOurVisual) {
    QM_REQUIRE_DISPLAY();
    Display* dpy = fxX11OpenDisplay();
    ASSERT_NE(dpy, nullptr);
    XVisualInfo* vi = fxGLChooseVisual(dpy);
    ASSERT_NE(vi, nullptr);
    // An input-output window of the root's own visual, as a launcher would make it.
    Window plain = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 64, 48, 0, 0, 0);
    if (XVisualIDFromVisual(DefaultVisual(dpy, DefaultScreen(dpy))) == vi->visualid)
        GTEST_SKIP() << "the screen's default visual is the GL visual here";
    qmMapAndWait(dpy, plain);
    FXGL gl;
    gl.CreateChild(fxX11Handle(plain));
    ASSERT_NE(gl.hglrc, nullptr);
    ASSERT_NE(gl.ownWindow, nullptr);
    EXPECT_EQ(gl.childWindow, gl.ownWindow);
    Window own = fxX11Window(gl.ownWindow);
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(dpy, own, &a));
    EXPECT_EQ(XVisualIDFromVisual(a.visual), vi->visualid);
    EXPECT_EQ(a.width, 64);
    EXPECT_EQ(a.height, 48);
    EXPECT_EQ(a.map_state, IsViewable);

    gl.SetAct(true);
    float green[4] = {0, 1, 0, 1};
    gl.SetClrColor(green);
    gl.Clrscr(true, true, false);
    glReadBuffer(GL_BACK);
    EXPECT_TRUE(QmNear(qmReadPixel(5, 5), 0, 255, 0));
    gl.SetAct(false);
    gl.Destroy();
    EXPECT_FALSE(fxX11IsWindow(dpy, own));  // the device's own window goes with it
    EXPECT_TRUE(fxX11IsWindow(dpy, plain));
    XDestroyWindow(dpy, plain);
    EXPECT_FALSE(fxX11IsWindow(dpy, plain));
}

TEST(GLDevice, FailuresLeaveNoContextAndSetActDoesNothing) {
    FXGL gl;
    EXPECT_FALSE(gl.CreateChild(nullptr));
    EXPECT_EQ(gl.hglrc, nullptr);
    EXPECT_NE(gl.lock, nullptr);  // a new lock even so
    gl.SetAct(true);  // no context: no make-current, no protocol error
    gl.SetAct(false);
    gl.RenderEnd();
    gl.Enlarge(true);
    EXPECT_FALSE(gl.enlarged);
    if (getenv("DISPLAY")) {
        Display* dpy = fxX11OpenDisplay();
        ASSERT_NE(dpy, nullptr);
        Window gone = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 8, 8, 0, 0, 0);
        XDestroyWindow(dpy, gone);
        EXPECT_FALSE(gl.CreateChild(fxX11Handle(gone)));  // BadWindow is an answer, not an exit
        EXPECT_EQ(gl.hglrc, nullptr);
    }
    gl.Destroy();
    gl.Destroy();  // twice is harmless
    EXPECT_EQ(gl.lock, nullptr);
}

// ---- extension probing (no device needed) ----

TEST(GLExtensions, NamesMatchOnlyAsWholeWords) {
    const char* list = "GL_EXT_bgra GL_ARB_multitexture";
    EXPECT_TRUE(FXGL::TestExtensionString(list, "EXT_bgra"));
    EXPECT_TRUE(FXGL::TestExtensionString(list, "ARB_multitexture"));  // at the end
    EXPECT_FALSE(FXGL::TestExtensionString("GL_EXT_bgrax GL_ARB_multitexture", "EXT_bgra"));
    EXPECT_FALSE(FXGL::TestExtensionString("GL_EXT_bgra", "EXT_bgra_more"));
    // A longer name first does not hide the exact one behind it.
    EXPECT_TRUE(FXGL::TestExtensionString("GL_ARB_multitexture_x GL_ARB_multitexture", "ARB_multitexture"));
    EXPECT_FALSE(FXGL::TestExtensionString("", "EXT_bgra"));
    EXPECT_FALSE(FXGL::TestExtensionString(nullptr, "EXT_bgra"));
    EXPECT_FALSE(FXGL::TestExtensionString(list, ""));
}

TEST(GLExtensions, FlagsEntryPointsAndTraceLines) {
    std::string log = qmTestPath("gl_extensions.log");
    ASSERT_TRUE(fxOpenTraces(log.c_str()));
    FXGL gl;
    EXPECT_FALSE(gl.InitExtensionsFrom("GL_EXT_bgra GL_ARB_multitexture"));  // no edge clamp
    EXPECT_TRUE(gl.hasBgra);
    EXPECT_TRUE(gl.hasMultitexture);
    EXPECT_FALSE(gl.hasCubeMap);
    EXPECT_FALSE(gl.npotTextures);
    EXPECT_NE(fxglActiveTexture, nullptr);
    EXPECT_NE(fxglMultiTexCoord2fv, nullptr);
    EXPECT_TRUE(gl.TestGL(false));

    EXPECT_TRUE(gl.InitExtensionsFrom("GL_SGIS_texture_edge_clamp GL_ARB_texture_non_power_of_two"));
    EXPECT_TRUE(gl.hasEdgeClamp);
    EXPECT_FALSE(gl.hasBgra);
    EXPECT_FALSE(gl.hasMultitexture);
    EXPECT_TRUE(gl.npotTextures);
    EXPECT_EQ(fxglActiveTexture, nullptr);  // never a lookup for an unlisted extension
    EXPECT_EQ(fxglMultiTexCoord2fv, nullptr);
    EXPECT_FALSE(gl.TestGL(false));
    fxCloseTraces();

    std::string text = qmReadText(log);
    EXPECT_NE(text.find("] EXT_bgra\n"), std::string::npos) << text;
    EXPECT_NE(text.find("] ARB_multitexture\n"), std::string::npos);
    EXPECT_NE(text.find("] EXT_texture_edge_clamp\n"), std::string::npos);  // the SGIS form
    EXPECT_NE(text.find("] ARB_texture_non_power_of_two\n"), std::string::npos);
    EXPECT_EQ(text.find("SGIS"), std::string::npos);
    EXPECT_EQ(text.find("cube_map"), std::string::npos);
    // Found extensions are traced in a fixed order.
    EXPECT_LT(text.find("] EXT_bgra\n"), text.find("] ARB_multitexture\n"));
}

TEST_F(GLWindowTest, DriverStringsAreTraced) {
    std::string log = qmTestPath("gl_driver.log");
    ASSERT_TRUE(fxOpenTraces(log.c_str()));
    EXPECT_TRUE(gl.InitExtensions());  // this driver clamps to edges
    fxCloseTraces();
    std::string text = qmReadText(log);
    EXPECT_NE(text.find("OpenGL info:\n"), std::string::npos);
    std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    EXPECT_NE(text.find("renderer: " + renderer + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("] ARB_multitexture\n"), std::string::npos);
}
