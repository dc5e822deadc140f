// The saver's procedures, called by the host by their fixed names: the window procedure that
// builds the scene when the window is created and takes it down when the window goes, the
// ending rules for keys and close requests, the (absent) settings dialog, the configuration
// and the installation into the system's screen-saver settings (which needs no window).
#include <cstdio>
#include <cstring>
#include <string>

#include "base/other.h"
#include "base/trace.h"
#include "saver/config.h"
#include "saver/main.h"
#include "saver/scene.h"
#include "saver/scrnsave.h"

unsigned char escapeHit = 0;
unsigned char started = 0;
double startTime = 0.0;
char ruvaPath[kRuvaPathSize] = {};

namespace {

const double kMouseGraceSeconds = 4.0;

// The data folder of this run into ruvaPath; a folder too long for it is left out (empty).
void localReadConfig() {
    QmConfig c = qmLoadConfig();
    if (c.dataDir.size() < sizeof ruvaPath) {
        memcpy(ruvaPath, c.dataDir.c_str(), c.dataDir.size() + 1);
    } else {
        ruvaPath[0] = 0;
        fprintf(stderr, "qmsave: the data folder's name is too long: %s\n", c.dataDir.c_str());
    }
}

}  // namespace

void qmResetSaverStatics() {
    escapeHit = 0;
    started = 0;
    startTime = 0.0;
    ruvaPath[0] = 0;
}

intptr_t ScreenSaverProc(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    switch (msg) {
        case kWmCreate:
            localReadConfig();
            if (!InitScene(hwnd, fChildPreview == 1)) return -1;  // the window goes; the run ends with 1
            startTime = fxGetTime();
            started = 1;
            return 0;
        case kWmDestroy:
            DestroyScene();
            return 0;
        case kWmPaint:
            return 0;  // drawing belongs to the render thread
        case kWmEraseBkgnd:
            return 1;  // never erased: the desktop stays visible until the first frame
        case kWmSize:
            SceneResize(int(wParam), int(lParam));
            return 0;
        case kWmClose:
            if (fChildPreview || escapeHit)
                qmDestroyWindow(hwnd);
            else if (started && fxGetTime() - startTime > kMouseGraceSeconds)
                qmDestroyWindow(hwnd);
            return 0;  // a close in the first 4 s is dropped
        case kWmKeyDown:
        case kWmKeyUp:
        case kWmChar:
        case kWmSysKeyDown:
        case kWmSysKeyUp:
        case kWmSysChar:
            escapeHit = 1;
            qmDestroyWindow(hwnd);
            return DefScreenSaverProc(hwnd, msg, wParam, lParam);
        default:
            return DefScreenSaverProc(hwnd, msg, wParam, lParam);
    }
}

int ScreenSaverConfigureDialog(void*, unsigned, uintptr_t, intptr_t) { return 0; }

int RegisterDialogClasses(void*) { return 1; }

void ScreenSaverDescribeConfig() { qmPrintConfig(qmLoadConfig()); }
