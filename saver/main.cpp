// The saver's procedures, called by the host by their fixed names: the window procedure that
// builds the scene when the window is created and takes it down when the window goes, the
// ending rules for keys and close requests, the (absent) settings dialog, the configuration
// and the installation into the system's screen-saver settings (which needs no window).
#include <cstdio>
#include <memory>
#include <string>

#include "base/other.h"
#include "base/trace.h"
#include "saver/config.h"
#include "saver/main.h"
#include "saver/scene.h"
#include "saver/scrnsave.h"

namespace {

const double kMouseGraceSeconds = 4.0;

QmSaverState localState;
QmSceneOptions localOptions;
std::unique_ptr<QmScene> localScene;

// The longest data folder name the saver takes, with its terminating zero.
const size_t kRuvaPathSize = 520;

// The data folder of this run; a folder too long is left out (empty).
std::string localRuvaPath() {
    QmConfig c = qmLoadConfig();
    if (c.dataDir.size() < kRuvaPathSize) return c.dataDir;
    fprintf(stderr, "qmsave: the data folder's name is too long: %s\n", qmShortened(c.dataDir).c_str());
    return std::string();
}

bool localBuildScene(void* hwnd) {
    QmSceneOptions o = localOptions;
    o.dataDir = localRuvaPath();
    o.preview = qmHost().fChildPreview == 1;
    localScene.reset(new QmScene(o));
    return localScene->Init(hwnd);
}

}  // namespace

void qmSetSceneOptions(const QmSceneOptions& options) { localOptions = options; }
const QmSaverState& qmSaverState() { return localState; }
QmScene* qmCurrentScene() { return localScene.get(); }

void qmResetSaverStatics() {
    localScene.reset();
    localState = QmSaverState();
    localOptions = QmSceneOptions();
}

intptr_t ScreenSaverProc(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    switch (msg) {
        case kWmCreate:
            if (!localBuildScene(hwnd)) return -1;  // the window goes; the run ends with 1
            localState.startTime = fxGetTime();
            localState.started = 1;
            return 0;
        case kWmDestroy:
            localScene.reset();
            return 0;
        case kWmPaint:
            return 0;  // drawing belongs to the render thread
        case kWmEraseBkgnd:
            return 1;  // never erased: the desktop stays visible until the first frame
        case kWmSize:
            if (localScene) localScene->Resize(int(wParam), int(lParam));
            return 0;
        case kWmClose:
            if (qmHost().fChildPreview || localState.escapeHit)
                qmDestroyWindow(hwnd);
            else if (localState.started && fxGetTime() - localState.startTime > kMouseGraceSeconds)
                qmDestroyWindow(hwnd);
            return 0;  // a close in the first 4 s is dropped
        case kWmKeyDown:
        case kWmKeyUp:
        case kWmChar:
        case kWmSysKeyDown:
        case kWmSysKeyUp:
        case kWmSysChar:
            localState.escapeHit = 1;
            qmDestroyWindow(hwnd);
            return DefScreenSaverProc(hwnd, msg, wParam, lParam);
        default:
            return DefScreenSaverProc(hwnd, msg, wParam, lParam);
    }
}

int ScreenSaverConfigureDialog(void*, unsigned, uintptr_t, intptr_t) { return 0; }

int RegisterDialogClasses(void*) { return 1; }

void ScreenSaverDescribeConfig() { qmPrintConfig(qmLoadConfig()); }
