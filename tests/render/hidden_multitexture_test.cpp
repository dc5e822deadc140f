// A device whose driver does not offer multitexturing. The driver reads its extension override
// once per process, before the first context, so the checks run in a child copy of this program
// started with MESA_EXTENSION_OVERRIDE=-GL_ARB_multitexture.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "geometry/mesh.h"
#include "image/canvas.h"
#include "image/material.h"
#include "render/gl_api.h"
#include "render/gl_window.h"
#include "support/test_support.h"

extern char** environ;

namespace {

const char* kChildMark = "QM_HIDDEN_MULTITEXTURE_CHILD";

// Runs this program again for one test with extra environment; returns its exit status.
int localRunChild(const char* test, const std::vector<std::string>& extraEnv, const std::string& out) {
    std::string self(4096, 0);
    ssize_t n = readlink("/proc/self/exe", &self[0], self.size() - 1);
    if (n <= 0) return -1;
    self.resize(size_t(n));
    std::string filter = std::string("--gtest_filter=") + test;
    std::vector<std::string> env;
    for (char** e = environ; *e; e++)
        if (strncmp(*e, "MESA_EXTENSION_OVERRIDE=", 24) != 0) env.push_back(*e);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> argv = {&self[0], &filter[0], nullptr};
    std::vector<char*> envp;
    for (std::string& s : env) envp.push_back(&s[0]);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(HiddenMultitexture, DeviceReportsTheMissingCapability) {
    QM_REQUIRE_DISPLAY();
    if (!getenv(kChildMark)) {
        std::string out = qmTestPath("hidden_multitexture_child.txt");
        int status = localRunChild("HiddenMultitexture.DeviceReportsTheMissingCapability",
                                   {"MESA_EXTENSION_OVERRIDE=-GL_ARB_multitexture",
                                    std::string(kChildMark) + "=1"},
                                   out);
        std::string text = qmReadText(out);
        EXPECT_EQ(status, 0) << text;
        // The capability message reached standard error, word for word.
        EXPECT_NE(text.find(kFXGLCapabilityMessage), std::string::npos) << text;
        return;
    }

    // ---- in the child ----
    Display* dpy = fxX11OpenDisplay();
    ASSERT_NE(dpy, nullptr);
    Window win = fxGLCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, 32, 32, 0);
    ASSERT_NE(win, 0u);
    qmMapAndWait(dpy, win);
    FXGL gl;
    gl.CreateChild(fxX11Handle(win));
    ASSERT_NE(gl.hglrc, nullptr);
    EXPECT_FALSE(gl.hasMultitexture);
    EXPECT_EQ(fxglActiveTexture, nullptr);
    EXPECT_EQ(fxglMultiTexCoord2fv, nullptr);
    EXPECT_FALSE(gl.TestGL(false));
    EXPECT_FALSE(gl.TestGL(true));  // shows the message

    gl.SetAct(true);
    FXCanvas canvas;
    FXMaterial m;
    qmSolidTexture(&gl, &m, &canvas, 255, 255, 0);
    gl.ApplyMaterial2(&m);  // no second unit: nothing happens
    EXPECT_FALSE(gl.texture2On);

    // A two-layer mesh is not drawn at all; its own material is still applied.
    FXMesh quad, layer;
    qmMakeQuadMesh(&quad);
    qmMakeQuadMesh(&layer);
    quad.material = &m;
    quad.secondMesh = &layer;
    layer.material = &m;
    gl.Clrscr(true, true, false);
    gl.RenderMesh(&quad);
    EXPECT_TRUE(gl.textureOn);
    glReadBuffer(GL_BACK);
    EXPECT_TRUE(QmNear(qmReadPixel(16, 16), 0, 0, 0, 0));
    quad.secondMesh = nullptr;  // the single layer draws
    gl.RenderMesh(&quad);
    EXPECT_TRUE(QmNear(qmReadPixel(16, 16), 255, 255, 0));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    gl.UnprepareTexture(&m);
    gl.SetAct(false);
    gl.Destroy();
    fxGLDestroyWindow(dpy, win);
}
