// A device whose driver does not offer multitexturing. The driver reads its extension override
// once per process, before the first context, so the checks run in a child copy of this program
// started with MESA_EXTENSION_OVERRIDE=-GL_ARB_multitexture.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geometry/mesh.h"
#include "image/canvas.h"
#include "device/gl_api.h"
#include "support/gl_window_x11.h"
#include "support/test_support.h"

extern char** environ;

namespace {

// Runs this program again for one test with extra environment, output into a file; returns
// its exit status.
int localRunChild(const char* test, std::vector<std::string> env, const std::string& out) {
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return -1;
    std::string filter = std::string("--gtest_filter=") + test;
    for (char** e = environ; *e; e++) env.push_back(*e);  // the first setting of a name wins
    std::vector<char*> argv = {self, &filter[0], nullptr}, envp;
    for (std::string& s : env) envp.push_back(&s[0]);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, self, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(HiddenMultitexture, DeviceReportsItAndSkipsTwoLayerMeshes) {
    QM_REQUIRE_DISPLAY();
    if (!getenv("QM_HIDDEN_MULTITEXTURE_CHILD")) {
        std::string out = qmTestPath("hidden_multitexture_child.txt");
        int status = localRunChild("HiddenMultitexture.*",
                                   {"MESA_EXTENSION_OVERRIDE=-GL_ARB_multitexture",
                                    "QM_HIDDEN_MULTITEXTURE_CHILD=1"}, out);
        std::string text = qmReadText(out);
        EXPECT_EQ(status, 0) << text;
        EXPECT_NE(text.find(kFXGLCapabilityMessage), std::string::npos) << text;  // on stderr
        return;
    }
    Display* dpy = fxX11OpenDisplay();
    Window win = fxGLCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, 32, 32, 0);
    qmMapAndWait(dpy, win);
    FXGL gl;
    gl.CreateChild(fxX11Handle(win));
    ASSERT_TRUE(gl.HasContext());
    EXPECT_FALSE(gl.hasMultitexture);
    EXPECT_EQ(fxglMultiTexCoord2fv, nullptr);
    EXPECT_FALSE(gl.TestGL(true));  // shows the message

    gl.SetAct(true);
    FXCanvas canvas;
    FXMaterial m;
    qmSolidTexture(&gl, &m, &canvas, 255, 255, 0);
    FXMesh quad, layer;
    qmMakeQuadMesh(&quad);
    qmMakeQuadMesh(&layer);
    quad.material = layer.material = &m;
    quad.secondMesh = &layer;
    gl.Clrscr(true, true, false);
    gl.RenderMesh(&quad);  // not drawn; its own material is still applied
    EXPECT_TRUE(gl.textureOn);
    EXPECT_FALSE(gl.texture2On);
    EXPECT_TRUE(QmNear(qmReadPixel(16, 16), 0, 0, 0, 0));
    quad.secondMesh = nullptr;
    gl.RenderMesh(&quad);
    EXPECT_TRUE(QmNear(qmReadPixel(16, 16), 255, 255, 0));
    gl.UnprepareTexture(&m);
    gl.SetAct(false);
    gl.Destroy();
    fxGLDestroyWindow(dpy, win);
}
