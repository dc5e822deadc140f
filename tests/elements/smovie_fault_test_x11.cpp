// Rows of the fault table for sprite movies on the OpenGL device: frames of different sizes one
// after another into the movie's reused picture and the material's reused texture (shrinking,
// then growing), with power-of-two textures and without; and frames whose pictures fail to
// decode, through the in-memory path the scene uses. Each frame is drawn over the whole window
// and the window read back.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "image/material.h"
#include "device/gl.h"
#include "base/x11_display.h"
#include "smovie_test_util.h"
#include "support/x11_test.h"

namespace {

const int kW = 64, kH = 48;

struct Frame {
    int w, h, r, g, b;
    bool broken;  // its colour picture does not decode
};

// The material's texture over the whole window (the picture part of the buffer only); the
// pixels at a quarter and at three quarters of the window, rows from the top.
void localShow(const FXMaterial& m, unsigned out[2]) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, m.textureName);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const float u = m.texScaleU, v = m.texScaleV;
    glBegin(GL_QUADS);
    glTexCoord2f(0, v), glVertex2f(-1, -1);
    glTexCoord2f(u, v), glVertex2f(1, -1);
    glTexCoord2f(u, 0), glVertex2f(1, 1);
    glTexCoord2f(0, 0), glVertex2f(-1, 1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    std::vector<unsigned char> px(size_t(kW) * kH * 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    for (int k = 0; k < 2; k++) {
        int x = kW / 4 + k * kW / 2, y = kH / 4 + k * kH / 2;
        const unsigned char* p = &px[(size_t(kH - 1 - y) * kW + x) * 4];
        out[k] = p[0] | (p[1] << 8) | (p[2] << 16) | 0xFF000000u;
    }
}

}  // namespace

TEST_F(SMovieDevil, FramesOfChangingSizesAndUndecodableFramesOnTheDevice) {
    QM_REQUIRE_DISPLAY();
    const Frame frames[] = {
        {48, 32, 220, 30, 30, false}, {8, 6, 30, 220, 30, false},    {100, 60, 30, 30, 220, false},
        {8, 6, 220, 220, 30, true},   {7, 5, 30, 220, 220, true},    {8, 6, 220, 30, 220, false},
        {130, 70, 240, 140, 20, false}, {3, 2, 20, 140, 240, false},
    };
    const int n = int(sizeof frames / sizeof frames[0]);
    QmMovieRecord r = qmMovieFrames(n);
    std::vector<QmEntry> entries;
    for (int i = 0; i < n; i++) {
        const Frame& f = frames[i];
        std::string base = qmTestPath("frame" + std::to_string(i));
        qmWriteFramePair(base, f.w, f.h, f.r, f.g, f.b, [](int, int) { return 255; });
        std::vector<unsigned char> colour = qmReadFile(base + ".jpg");
        if (f.broken && i % 2) colour.resize(colour.size() / 3);            // cut short
        if (f.broken && i % 2 == 0) colour.assign(colour.size(), 0x5A);      // not a picture at all
        entries.push_back({100 + i, FX_PACKAGE_TYPE_JPG, colour});
        entries.push_back({200 + i, FX_PACKAGE_TYPE_JPG, qmReadFile(base + "_m.jpg")});
    }
    entries.push_back({5, -1, r.Bytes()});
    FXPackage pkg;
    qmMoviePackage(&pkg, entries);

    Display* dpy = fxX11OpenDisplay();
    ASSERT_TRUE(dpy);
    Window win = fxGLCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, kW, kH, StructureNotifyMask);
    XMapWindow(dpy, win);
    XEvent e;
    do XNextEvent(dpy, &e);
    while (e.type != MapNotify || e.xmap.window != win);
    {
        FXGL gl;
        gl.CreateChild(fxX11Handle(win));
        ASSERT_TRUE(gl.HasContext()) << "no OpenGL context";
        gl.SetAct(true);
        for (int npot = 0; npot < 2; npot++) {
            SCOPED_TRACE(npot ? "any texture size" : "power-of-two textures");
            gl.npotTextures = npot;
            SMovie mv;
            ASSERT_TRUE(mv.LoadCN(&pkg, 5));
            mv.LoadIntoMem();
            FXMaterial m;
            const Frame* shown = nullptr;
            for (int i = 0; i < n; i++) {
                SCOPED_TRACE("frame " + std::to_string(i));
                const Frame& f = frames[i];
                bool ok = mv.PrepareTextureMem(&gl, i, &m);
                EXPECT_EQ(ok, !f.broken);
                if (ok) {
                    shown = &f;
                    EXPECT_EQ(mv.pixmap.width * 1000 + mv.pixmap.height, f.w * 1000 + f.h);
                    // The block holds the movie's largest picture, in power-of-two sides where
                    // the device needs them.
                    EXPECT_GE(mv.pixmap.bufWidth, f.w);
                    EXPECT_GE(mv.pixmap.bufHeight, f.h);
                    if (!npot) {
                        EXPECT_EQ(mv.pixmap.bufWidth, fxPower2(mv.pixmap.bufWidth));
                    }
                }
                ASSERT_NE(shown, nullptr);
                unsigned px[2];
                localShow(m, px);
                // A frame that failed leaves the previous frame's texture in place.
                for (unsigned p : px)
                    EXPECT_TRUE(qmNearRgba(p, shown->r, shown->g, shown->b, 255, 20)) << std::hex << p;
            }
            m.Destroy();
        }
        gl.SetAct(false);
        gl.Destroy();
    }
    fxGLDestroyWindow(dpy, win);
}

// A movie destroyed and loaded again in the same object (the scene built a second time) forgets
// the materials it deleted: its quad must not point at one of them when it is set up again.
TEST_F(SMovieDevil, AMovieLoadedAgainAfterDestroyForgetsItsOldMaterials) {
    std::string base = qmTestPath("frame");
    qmWriteFramePair(base, 8, 8, 200, 40, 90, [](int, int) { return 255; });
    QmMovieRecord r = qmMovieFrames(2);
    FXPackage pkg;
    qmMoviePackage(&pkg, {{5, -1, r.Bytes()},
                         {100, FX_PACKAGE_TYPE_JPG, qmReadFile(base + ".jpg")},
                         {101, FX_PACKAGE_TYPE_JPG, qmReadFile(base + ".jpg")},
                         {200, FX_PACKAGE_TYPE_JPG, qmReadFile(base + "_m.jpg")},
                         {201, FX_PACKAGE_TYPE_JPG, qmReadFile(base + "_m.jpg")}});
    SMovie mv;
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(mv.LoadCN(&pkg, 5));
        mv.LoadIntoMem();
        mv.Restart(0.0);
        mv.Prepare(&env, -1);  // sets the quad up (the sanitizers catch a read of a deleted material)
        mv.OnRender0(&env, 0.01);
        EXPECT_NE(mv.desk.mesh.material, nullptr);
        mv.Destroy();
        EXPECT_EQ(mv.desk.mesh.material, nullptr);
    }
}
