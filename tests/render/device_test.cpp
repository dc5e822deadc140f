// The OpenGL device on a real window: the fixed render state seen through pixels, lights,
// window handling of the X11 layer, and extension probing.
#include <gtest/gtest.h>

#include <GL/glx.h>

#include <algorithm>
#include <string>

#include "base/trace.h"
#include "geometry/mesh.h"
#include "image/light.h"
#include "device/gl_api.h"
#include "support/gl_window_x11.h"
#include "support/test_support.h"

TEST_F(GLWindowTest, ClearColourAndBufferSelection) {
    EXPECT_EQ(gl.width, kW);
    EXPECT_EQ(gl.screenWidth, DisplayWidth(dpy, DefaultScreen(dpy)));
    EXPECT_TRUE(gl.TestGL(false));  // this driver multitextures
    float c[4] = {0.2f, 0.4f, 0.6f, 1.0f}, red[4] = {1, 0, 0, 1};
    gl.SetClrColor(c);
    gl.Clrscr(true, true, false);
    EXPECT_TRUE(QmNear(Centre(), 51, 102, 153));
    qmSaveBackBuffer("device_clear", kW, kH);
    gl.SetClrColor(red);
    gl.Clrscr(false, false, false);  // an empty mask clears nothing
    EXPECT_TRUE(QmNear(Centre(), 51, 102, 153));
    gl.Clrscr(true, false, false);
    EXPECT_TRUE(QmNear(Centre(), 255, 0, 0));
}

TEST_F(GLWindowTest, LargerZLiesFurtherAwayAndEqualDepthPasses) {
    gl.Clrscr(true, true, true);
    Quad(-0.5f, 1, 0, 0, 1);
    Quad(0.5f, 0, 1, 0, 1);  // further: hidden
    EXPECT_TRUE(QmNear(Centre(), 255, 0, 0));
    Quad(-0.5f, 0, 0, 1, 1);  // the same depth: drawn over
    EXPECT_TRUE(QmNear(Centre(), 0, 0, 255));
    gl.Clrscr(true, true, false);
    Quad(1.99f, 1, 1, 0, 1);  // the depth buffer clears to the far end
    EXPECT_TRUE(QmNear(Centre(), 255, 255, 0));
    gl.EnableDepthWrite(false);
    Quad(-1.0f, 1, 0, 0, 1);
    Quad(1.0f, 0, 1, 0, 1);  // the near quad left no depth behind
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
    gl.Clrscr(true, true, false);
    Quad(0.0f, 1, 0, 0, 0.5f);
    EXPECT_TRUE(QmNear(Centre(), 128, 0, 127));
}

TEST_F(GLWindowTest, CullingBackWinsWhenBothAreAsked) {
    gl.Clrscr(true, true, false);
    gl.EnableCullface(true, true);
    Quad(0, 1, 0, 0, 1);  // counter-clockwise on screen: a front face, drawn
    EXPECT_TRUE(QmNear(Centre(), 255, 0, 0));
    gl.EnableCullface(true, false);
    Quad(0, 0, 1, 0, 1);  // now culled
    EXPECT_TRUE(QmNear(Centre(), 255, 0, 0));
}

TEST_F(GLWindowTest, LightsColourLitSurfacesAndSwitchOff) {
    FXLight light;
    float red[4] = {1, 0, 0, 1}, none[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; i++) light.diffuse[i] = red[i], light.ambient[i] = none[i];
    ASSERT_TRUE(gl.RegisterLight(&light));
    gl.UpdateLights();
    gl.ApplyDefaultMaterial();  // white diffuse
    gl.EnableLights(true);
    gl.Clrscr(true, true, false);
    glNormal3f(0, 0, -1);  // facing the viewer, as the light shines
    Quad(0, 1, 1, 1, 1);
    EXPECT_TRUE(QmNear(Centre(), 255, 0, 0, 3));
    gl.EnableLight(false, &light);
    Quad(0, 1, 1, 1, 1);
    EXPECT_TRUE(QmNear(Centre(), 0, 0, 0, 3));
    gl.EnableLight(true, &light);
    gl.DisableAllLights();
    gl.UpdateLights();  // an off light stays off
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    gl.EnableLights(false);
    Quad(0, 0, 1, 0, 1);  // unlit: the vertex colour
    EXPECT_TRUE(QmNear(Centre(), 0, 255, 0));
}

TEST_F(GLWindowTest, EveryLightValueReachesItsOwnParameter) {
    FXLight unused, light;
    const float pos[4] = {0.5f, -0.25f, 0.75f, 1}, dir[3] = {0.1f, 0.2f, 0.3f};
    const float amb[4] = {0.11f, 0.12f, 0.13f, 0.14f}, dif[4] = {0.21f, 0.22f, 0.23f, 0.24f};
    const float spc[4] = {0.31f, 0.32f, 0.33f, 0.34f};
    std::copy(pos, pos + 4, light.position), std::copy(dir, dir + 3, light.spotDirection);
    std::copy(amb, amb + 4, light.ambient), std::copy(dif, dif + 4, light.diffuse);
    std::copy(spc, spc + 4, light.specular);
    light.spotExponent = 7, light.spotCutoff = 45;
    light.constantAttenuation = 1.5f, light.linearAttenuation = 2.5f, light.quadraticAttenuation = 3.5f;
    ASSERT_TRUE(gl.RegisterLight(&unused) && gl.RegisterLight(&light));
    unused.off = true;
    gl.UpdateLights();  // with the identity model-view: positions are stored as given
    EXPECT_EQ(light.lightId, int(GL_LIGHT1));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    struct {
        GLenum pname;
        const float* want;
        int n;
    } checks[] = {{GL_POSITION, pos, 4}, {GL_SPOT_DIRECTION, dir, 3}, {GL_AMBIENT, amb, 4},
                  {GL_DIFFUSE, dif, 4}, {GL_SPECULAR, spc, 4}};
    for (auto& c : checks) {
        float got[4] = {};
        glGetLightfv(GL_LIGHT1, c.pname, got);
        for (int i = 0; i < c.n; i++) EXPECT_FLOAT_EQ(got[i], c.want[i]) << c.pname << "[" << i << "]";
    }
    const GLenum single[5] = {GL_SPOT_EXPONENT, GL_SPOT_CUTOFF, GL_CONSTANT_ATTENUATION,
                              GL_LINEAR_ATTENUATION, GL_QUADRATIC_ATTENUATION};
    const float singleWant[5] = {7, 45, 1.5f, 2.5f, 3.5f};
    for (int i = 0; i < 5; i++) {
        float got = 0;
        glGetLightfv(GL_LIGHT1, single[i], &got);
        EXPECT_EQ(got, singleWant[i]) << single[i];
    }
}

TEST_F(GLWindowTest, EnlargeDetachesToScreenSizeAndPutsTheWindowBack) {
    gl.SetAct(false);
    Window child = fxGLCreateWindow(dpy, win, 10, 20, 50, 40, 0);
    qmMapAndWait(dpy, child);
    gl.CreateChild(fxX11Handle(child));
    auto parentOf = [&](Window w) {
        Window root, parent, *kids = nullptr;
        unsigned n;
        XQueryTree(dpy, w, &root, &parent, &kids, &n);
        if (kids) XFree(kids);
        return parent;
    };
    gl.Enlarge(true);
    gl.Enlarge(true);  // the second call keeps the first saved place
    EXPECT_EQ(parentOf(child), DefaultRootWindow(dpy));
    EXPECT_EQ(gl.height, gl.screenHeight);
    gl.Enlarge(false);
    EXPECT_EQ(parentOf(child), win);
    XWindowAttributes a;
    XGetWindowAttributes(dpy, child, &a);
    EXPECT_EQ(a.x * 1000 + a.y, 10020);
    EXPECT_EQ(gl.width * 1000 + gl.height, 50040);
    gl.CreateChild(fxX11Handle(win));
    fxGLDestroyWindow(dpy, child);
}

TEST(GLDevice, ForeignVisualGetsAChildWindowWithOurVisual) {
    QM_REQUIRE_DISPLAY();
    Display* dpy = fxX11OpenDisplay();
    Window plain = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 64, 48, 0, 0, 0);
    if (XVisualIDFromVisual(DefaultVisual(dpy, DefaultScreen(dpy))) == fxGLChooseVisual(dpy)->visualid)
        GTEST_SKIP() << "the screen's default visual is the GL visual here";
    qmMapAndWait(dpy, plain);
    FXGL gl;
    gl.CreateChild(fxX11Handle(plain));
    Window own = gl.DrawnWindow().xWindow;
    ASSERT_NE(own, plain);
    XWindowAttributes a;
    XGetWindowAttributes(dpy, own, &a);
    EXPECT_EQ(XVisualIDFromVisual(a.visual), fxGLChooseVisual(dpy)->visualid);
    EXPECT_EQ(a.width * 1000 + a.height, 64048);
    gl.SetAct(true);
    float green[4] = {0, 1, 0, 1};
    gl.SetClrColor(green);
    gl.Clrscr(true, true, false);
    EXPECT_TRUE(QmNear(qmReadPixel(5, 5), 0, 255, 0));
    gl.SetAct(false);
    gl.Destroy();
    EXPECT_FALSE(fxX11IsWindow(dpy, own));  // the device's own window goes with it
    EXPECT_TRUE(fxX11IsWindow(dpy, plain));
    XDestroyWindow(dpy, plain);
}

TEST(GLDevice, FailuresLeaveNoContextAndAreHarmless) {
    FXGL gl;
    EXPECT_FALSE(gl.CreateChild(nullptr));
    gl.SetAct(true);  // no context: no make-current, no protocol error
    gl.RenderEnd();
    if (Display* dpy = getenv("DISPLAY") ? fxX11OpenDisplay() : nullptr) {
        Window gone = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 8, 8, 0, 0, 0);
        XDestroyWindow(dpy, gone);
        EXPECT_FALSE(gl.CreateChild(fxX11Handle(gone)));  // BadWindow is an answer, not an exit
    }
    EXPECT_FALSE(gl.HasContext());
    gl.Destroy();
    gl.Destroy();  // twice is harmless
    EXPECT_EQ(gl.lock, nullptr);
}

TEST(GLExtensions, NamesMatchOnlyAsWholeWords) {
    const char* list = "GL_EXT_bgra GL_ARB_multitexture";
    EXPECT_TRUE(FXGL::TestExtensionString(list, "EXT_bgra"));
    EXPECT_TRUE(FXGL::TestExtensionString(list, "ARB_multitexture"));
    EXPECT_FALSE(FXGL::TestExtensionString("GL_EXT_bgrax GL_ARB_multitexture", "EXT_bgra"));
    EXPECT_TRUE(FXGL::TestExtensionString("GL_EXT_bgrax GL_EXT_bgra", "EXT_bgra"));
    EXPECT_FALSE(FXGL::TestExtensionString(nullptr, "EXT_bgra"));
    EXPECT_FALSE(FXGL::TestExtensionString(list, ""));
}

TEST(GLExtensions, FlagsEntryPointsAndTraceLines) {
    std::string log = qmTestPath("gl_extensions.log");
    ASSERT_TRUE(fxOpenTraces(log.c_str()));
    FXGL gl;
    EXPECT_FALSE(gl.InitExtensionsFrom("GL_EXT_bgra GL_ARB_multitexture"));  // no edge clamp
    EXPECT_TRUE(gl.hasBgra && gl.hasMultitexture && gl.TestGL(false));
    EXPECT_NE(fxglMultiTexCoord2fv, nullptr);
    EXPECT_TRUE(gl.InitExtensionsFrom("GL_SGIS_texture_edge_clamp GL_ARB_texture_non_power_of_two"));
    EXPECT_TRUE(gl.npotTextures);
    EXPECT_FALSE(gl.hasBgra || gl.hasMultitexture || gl.TestGL(false));
    EXPECT_EQ(fxglActiveTexture, nullptr);  // never a lookup for an unlisted extension
    fxCloseTraces();
    std::string text = qmReadText(log);
    size_t bgra = text.find("] EXT_bgra\n"), multi = text.find("] ARB_multitexture\n");
    EXPECT_LT(bgra, multi);  // found extensions are traced in a fixed order
    EXPECT_NE(multi, std::string::npos);
    EXPECT_NE(text.find("] EXT_texture_edge_clamp\n"), std::string::npos);  // the SGIS form
    EXPECT_EQ(text.find("SGIS"), std::string::npos) << text;
}

TEST(GLDevice, WindowDestroyedByAnotherClientIsNeverDrawnIntoAgain) {
    QM_REQUIRE_DISPLAY();
    Display* dpy = fxX11OpenDisplay();
    Display* owner = XOpenDisplay(nullptr);  // the pane's or launcher's own connection
    ASSERT_NE(owner, nullptr);
    Window pane = XCreateSimpleWindow(owner, DefaultRootWindow(owner), 0, 0, 64, 48, 0, 0, 0);
    XMapWindow(owner, pane);
    XSync(owner, False);
    Window win = fxGLCreateWindow(dpy, pane, 0, 0, 64, 48, 0);
    qmMapAndWait(dpy, win);
    FXGL gl;
    ASSERT_TRUE(gl.CreateChild(fxX11Handle(win)));
    gl.SetAct(true);
    EXPECT_TRUE(gl.RenderStart());
    gl.RenderEnd();
    gl.SetAct(false);
    EXPECT_FALSE(gl.windowLost.load());

    XDestroyWindow(owner, pane);  // takes our window along
    XSync(owner, False);
    gl.SetAct(true);  // the frame start notices
    EXPECT_TRUE(gl.windowLost.load());
    EXPECT_EQ(glXGetCurrentContext(), nullptr) << "no context made current on a vanished window";
    EXPECT_FALSE(gl.RenderStart());
    gl.RenderEnd();  // no swap
    gl.SetAct(false);
    gl.Destroy();
    EXPECT_FALSE(gl.windowLost.load()) << "a destroyed device is reusable";
    XCloseDisplay(owner);
}

// A frame shown in part: the window keeps what it showed outside the part, and the back buffer
// keeps the whole picture for the next frame. Drawing limited to an area clears only there.
TEST_F(GLWindowTest, APartShownLeavesTheRestOfTheWindowAndTheBackBufferAsTheyWere) {
    if (!gl.PresentsPart()) GTEST_SKIP() << "this display's GLX has no GLX_MESA_copy_sub_buffer";
    QmServerGrab grab(dpy, win);
    float green[4] = {0, 1, 0, 1}, blue[4] = {0, 0, 1, 1};
    gl.SetClrColor(green);
    gl.Clrscr(true, true, false);
    FXScreenRects all;
    all.Add(FXScreenRect::Whole());
    gl.RenderEndPart(all);
    // Blue only inside the part, though the clear asks for the whole buffer.
    const FXScreenRect part = FXScreenRect::Of(10, 20, 40, 50);
    gl.SetDrawArea(part);
    gl.SetClrColor(blue);
    gl.Clrscr(true, true, false);
    gl.SetDrawArea(FXScreenRect::Whole());
    EXPECT_TRUE(QmNear(qmReadPixel(20, 30), 0, 0, 255));
    EXPECT_TRUE(QmNear(qmReadPixel(60, 30), 0, 255, 0));
    // The whole buffer blue now, but only the part shown.
    gl.Clrscr(true, true, false);
    FXScreenRects shown;
    shown.Add(part);
    gl.RenderEndPart(shown);
    glFinish();
    XSync(dpy, False);
    XImage* im = XGetImage(dpy, win, 0, 0, kW, kH, AllPlanes, ZPixmap);
    ASSERT_NE(im, nullptr);
    // X rows run from the top: the part's window rows are kH - 50 .. kH - 21.
    EXPECT_EQ(XGetPixel(im, 20, kH - 30) & 0xFFFFFF, 0x0000FFu) << "inside the part";
    EXPECT_EQ(XGetPixel(im, 60, kH - 30) & 0xFFFFFF, 0x00FF00u) << "beside it";
    EXPECT_EQ(XGetPixel(im, 20, kH - 60) & 0xFFFFFF, 0x00FF00u) << "above it";
    XDestroyImage(im);
    EXPECT_TRUE(QmNear(qmReadPixel(60, 30), 0, 0, 255)) << "the back buffer keeps its picture";
}

// While an area is asked for, each mesh drawn adds where it lands.
TEST_F(GLWindowTest, DrawnMeshesAddWhereTheyLand) {
    FXMesh quad;
    qmMakeQuadMesh(&quad);
    FXMatrix half;
    half.SetScaleF(0.5f, 0.25f, 1.0f);
    FXScreenRect area;
    gl.drawnArea = &area;
    gl.ApplyMatrix(&half);
    gl.RenderMesh(&quad);
    gl.drawnArea = nullptr;
    EXPECT_FALSE(area.whole);
    // kW x kH = 128 x 96: x 32..96, y 36..60, a pixel to spare.
    EXPECT_EQ(area.x0, 31);
    EXPECT_EQ(area.x1, 97);
    EXPECT_EQ(area.y0, 35);
    EXPECT_EQ(area.y1, 61);
}
