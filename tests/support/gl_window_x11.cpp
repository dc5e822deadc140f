// The real-device test fixture and its helpers (X11).
#include "support/gl_window_x11.h"

#include <vector>

#include "geometry/mesh.h"
#include "device/gl_api.h"
#include "support/png_write_gl.h"
#include "support/test_support.h"

QmPixel qmReadPixel(int x, int y) {
    unsigned char p[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
}

void qmSaveBackBuffer(const std::string& name, int w, int h) {
    std::vector<unsigned char> px(size_t(w) * h * 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    qmWritePngRGBA(qmTestPath(name + ".png"), w, h, px.data(), w * 4, true);
}

::testing::AssertionResult QmNear(const QmPixel& p, int r, int g, int b, int tol) {
    if (std::abs(p.r - r) <= tol && std::abs(p.g - g) <= tol && std::abs(p.b - b) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << p.r << ", " << p.g << ", " << p.b
                                         << ") is not (" << r << ", " << g << ", " << b << ")";
}

void qmMakeQuadMesh(FXMesh* mesh) {
    mesh->Realloc(4, 6);
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int i = 0; i < 4; i++) {
        tagFXVertex& v = mesh->vertices[i];
        v = tagFXVertex{};
        v.pos[0] = corners[i][0], v.pos[1] = corners[i][1];
        v.normal[2] = -1;
        v.uv[0] = (corners[i][0] + 1) / 2, v.uv[1] = (corners[i][1] + 1) / 2;
        for (float& c : v.color) c = 1;
    }
    const int32_t tri[6] = {0, 1, 2, 0, 2, 3};
    for (int i = 0; i < 6; i++) mesh->indices[i] = tri[i];
}

void qmSolidTexture(FXGL* gl, FXMaterial* m, FXCanvas* canvas, int r, int g, int b) {
    canvas->pixmap.Realloc(4, 4);
    for (int k = 0; k < 16; k++) {
        unsigned char* p = canvas->pixmap.PixelBytes(k % 4, k / 4);
        p[0] = (unsigned char)r, p[1] = (unsigned char)g, p[2] = (unsigned char)b, p[3] = 255;
    }
    m->useMipmaps = false;
    m->textureSource = canvas;
    gl->PrepareTexture(m);
    m->hasTexture = true;
}

void GLWindowTest::SetUp() {
    QM_REQUIRE_DISPLAY();
    OpenWindow(40, 30, kW, kH);
}

void GLWindowTest::OpenWindow(int x, int y, int width, int height) {
    dpy = fxX11OpenDisplay();
    ASSERT_NE(dpy, nullptr);
    win = fxGLCreateWindow(dpy, DefaultRootWindow(dpy), x, y, width, height, 0);
    ASSERT_NE(win, 0u);
    qmMapAndWait(dpy, win);
    gl.CreateChild(fxX11Handle(win));
    ASSERT_TRUE(gl.HasContext()) << "no GLX context";
    gl.SetAct(true);
}

void GLWindowTest::TearDown() {
    if (!dpy) return;
    gl.SetAct(false);
    gl.Destroy();
    fxGLDestroyWindow(dpy, win);
    XSync(dpy, False);
}

void GLWindowTest::Quad(float z, float r, float g, float b, float a) {
    glColor4f(r, g, b, a);
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, z), glVertex3f(1, -1, z), glVertex3f(1, 1, z), glVertex3f(-1, 1, z);
    glEnd();
}
