#include "saver_screen/saver_fixture.h"

#include <X11/extensions/XTest.h>

#include <cstdlib>

#include "base/other.h"
#include "base/trace.h"
#include "saver/host.h"
#include "saver/main.h"
#include "support/test_support.h"

void SaverHostTest::SetUp() {
    QM_REQUIRE_DISPLAY();
    data = qmFreshDir("data");
    std::string state = qmFreshDir("state"), config = qmFreshDir("config");
    env_[0] = new QmScopedEnv("QMSAVE_PATH", data.c_str());
    env_[1] = new QmScopedEnv("XDG_STATE_HOME", state.c_str());
    env_[2] = new QmScopedEnv("XDG_CONFIG_HOME", config.c_str());
    env_[3] = new QmScopedEnv("HOME", config.c_str());
    qmResetHost();
    fxUseManualClock(100.0);
    xt = XOpenDisplay(nullptr);
    ASSERT_NE(xt, nullptr);
    int ev, er, major, minor;
    ASSERT_TRUE(XTestQueryExtension(xt, &ev, &er, &major, &minor)) << "the X server has no XTest";
}

void SaverHostTest::TearDown() {
    if (qmHost().hMainWindow) qmDestroyWindow(qmHost().hMainWindow);  // through the destroy path
    QmMsg m;
    while (qmWaitMessage(&m, 0) == 1) qmDispatchMessage(&m);
    fxCloseTraces();
    fxUseSystemClock();
    if (xt) XCloseDisplay(xt);
    for (QmScopedEnv*& e : env_) delete e, e = nullptr;
}

void* SaverHostTest::Launch(QmStyle style, void* parent) {
    EXPECT_TRUE(hostOpen());
    int w = 0, h = 0;
    if (parent)
        hostClientSize(parent, &w, &h);
    else
        hostScreenSize(&w, &h);
    void* window = qmCreateSaverWindow(style, parent, w, h);
    if (window) hostShowWindow(window);
    if (QmScene* scene = qmCurrentScene()) scene->gr.StopLoop(100000.0);
    return window;
}

bool SaverHostTest::Pump(unsigned msg) {
    QmMsg m;
    bool seen = false;
    for (int i = 0; i < 500 && !seen; i++) {
        int r = qmWaitMessage(&m, 10);
        if (r == 0 || r == -1) return false;
        if (r != 1) continue;
        qmDispatchMessage(&m);
        seen = m.message == msg;
    }
    while (qmWaitMessage(&m, 0) == 1) qmDispatchMessage(&m);
    return seen;
}

void SaverHostTest::Key(const char* name, bool down) {
    XTestFakeKeyEvent(xt, XKeysymToKeycode(xt, XStringToKeysym(name)), down ? True : False, CurrentTime);
    XSync(xt, False);
}

void SaverHostTest::MoveBy(int dx, int dy) {
    XTestFakeRelativeMotionEvent(xt, dx, dy, CurrentTime);
    XSync(xt, False);
}

void SaverHostTest::MoveTo(int x, int y) {
    XTestFakeMotionEvent(xt, -1, x, y, CurrentTime);
    XSync(xt, False);
}

void SaverHostTest::Click(int button) {
    XTestFakeButtonEvent(xt, unsigned(button), True, CurrentTime);
    XTestFakeButtonEvent(xt, unsigned(button), False, CurrentTime);
    XSync(xt, False);
}
