#include "saver_screen/saver_fixture.h"

#include <X11/extensions/XTest.h>

#include <cstdlib>

#include "base/other.h"
#include "base/trace.h"
#include "support/test_support.h"

void SaverHostTest::SetUp() {
    QM_REQUIRE_DISPLAY();
    data = qmFreshDir("data");
    std::string state = qmFreshDir("state"), config = qmFreshDir("config");
    env_[0] = new QmScopedEnv("QMSAVE_PATH", data.c_str());
    env_[1] = new QmScopedEnv("XDG_STATE_HOME", state.c_str());
    env_[2] = new QmScopedEnv("XDG_CONFIG_HOME", config.c_str());
    env_[3] = new QmScopedEnv("HOME", config.c_str());
    qmResetEndRequests();
    platform = qmCreateHost();
    QmSceneOptions options;
    options.dataDir = data;
    saver.reset(new QmSaver(options));
    host.reset(new QmScreenSaver(*platform, *saver));
    fxUseManualClock(100.0);
    xt = XOpenDisplay(nullptr);
    ASSERT_NE(xt, nullptr);
    int ev, er, major, minor;
    ASSERT_TRUE(XTestQueryExtension(xt, &ev, &er, &major, &minor)) << "the X server has no XTest";
}

void SaverHostTest::TearDown() {
    if (host) {
        if (host->State().hMainWindow) host->DestroyWindow(host->State().hMainWindow);  // through the destroy path
        QmMsg m;
        while (host->WaitSaverMessage(&m, 0) == 1) host->DispatchSaverMessage(&m);
    }
    host.reset();
    saver.reset();
    platform.reset();
    qmResetEndRequests();
    fxCloseTraces();
    fxUseSystemClock();
    if (xt) XCloseDisplay(xt);
    for (QmScopedEnv*& e : env_) delete e, e = nullptr;
}

void* SaverHostTest::Launch(QmStyle style, void* parent) {
    EXPECT_TRUE(platform->Open());
    int w = 0, h = 0;
    if (parent) {
        platform->ClientSize(parent, &w, &h);
    } else {
        Screen* s = DefaultScreenOfDisplay(xt);
        w = WidthOfScreen(s), h = HeightOfScreen(s);
    }
    void* window = host->CreateSaverWindow(style, parent, 0, 0, w, h);
    if (window) platform->ShowWindow(window);
    if (QmScene* scene = saver->Scene()) scene->gr.StopLoop(100000.0);
    return window;
}

bool SaverHostTest::Pump(unsigned msg) {
    QmMsg m;
    bool seen = false;
    for (int i = 0; i < 500 && !seen; i++) {
        int r = host->WaitSaverMessage(&m, 10);
        if (r == 0 || r == -1) return false;
        if (r != 1) continue;
        host->DispatchSaverMessage(&m);
        seen = m.message == msg;
    }
    while (host->WaitSaverMessage(&m, 0) == 1) host->DispatchSaverMessage(&m);
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
