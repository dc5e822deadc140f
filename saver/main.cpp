// The saver's procedures, called by the host by their fixed names: the window procedure that
// builds a scene when a window is created and takes it down when the window goes, the ending
// rules for keys and close requests, the (absent) settings dialog, and the configuration.
#include "saver/main.h"

#include "base/other.h"
#include "image/devil.h"
#include "saver/config.h"
#include "saver/host.h"

namespace {

const double kMouseGraceSeconds = 4.0;

}  // namespace

QmSaver::QmSaver(const QmSceneOptions& options) : options_(options) {}

QmSaver::~QmSaver() {
    // Newest first: a scene goes before the ones built before it.
    while (!scenes_.empty()) scenes_.pop_back();
    fxUnloadDevil();  // every scene bound the image library; the last one is gone
}

QmScene* QmSaver::Scene(void* hwnd) const {
    for (const auto& s : scenes_)
        if (!hwnd || s.first == hwnd) return s.second.get();
    return nullptr;
}

bool QmSaver::BuildScene(QmScreenSaver& host, void* hwnd) {
    QmSceneOptions o = options_;
    o.preview = host.State().fChildPreview == 1;
    if (!o.desktop) o.desktop = &host.Platform();
    if (!o.content) o.content = &content_;
    scenes_.emplace_back(hwnd, std::unique_ptr<QmScene>(new QmScene(o)));
    return scenes_.back().second->Init(hwnd);
}

void QmSaver::DestroyScene(void* hwnd) {
    for (size_t i = 0; i < scenes_.size(); i++)
        if (scenes_[i].first == hwnd) {
            scenes_.erase(scenes_.begin() + long(i));
            return;
        }
}

intptr_t QmSaver::ScreenSaverProc(QmScreenSaver& host, void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    switch (msg) {
        case kWmCreate:
            if (!BuildScene(host, hwnd)) return -1;  // this window goes; the others run on
            state_.startTime = fxGetTime();
            state_.started = 1;
            return 0;
        case kWmDestroy:
            DestroyScene(hwnd);
            return 0;
        case kWmPaint:
            // Drawing belongs to the render thread; the window's pixels are lost, so its next
            // frame is drawn whole.
            if (QmScene* s = Scene(hwnd)) s->Invalidate();
            return 0;
        case kWmEraseBkgnd:
            return 1;  // never erased: the desktop stays visible until the first frame
        case kWmSize:
            if (QmScene* s = Scene(hwnd)) s->Resize(int(wParam), int(lParam));
            return 0;
        case kWmClose:
            if (host.State().fChildPreview || state_.escapeHit)
                host.DestroyWindow(hwnd);
            else if (state_.started && fxGetTime() - state_.startTime > kMouseGraceSeconds)
                host.DestroyWindow(hwnd);
            return 0;  // a close in the first 4 s is dropped
        case kWmKeyDown:
        case kWmKeyUp:
        case kWmChar:
        case kWmSysKeyDown:
        case kWmSysKeyUp:
        case kWmSysChar:
            state_.escapeHit = 1;
            host.DestroyWindow(hwnd);
            return host.DefScreenSaverProc(hwnd, msg, wParam, lParam);
        default:
            return host.DefScreenSaverProc(hwnd, msg, wParam, lParam);
    }
}

int QmSaver::ScreenSaverConfigureDialog(void*, unsigned, uintptr_t, intptr_t) { return 0; }

int QmSaver::RegisterDialogClasses(void*) { return 1; }

void ScreenSaverDescribeConfig() { qmPrintConfig(qmLoadConfig()); }
