// The generic screen-saver host: the saver windows and their message loop, the routing of
// messages between the host and the saver, and the default behaviour that decides which input
// ends the saver. Platform-neutral: windows and events come from the platform host (host.h).
//
// Ending rules: a key destroys the window at once (the saver's own key handling). A mouse
// button, a mouse movement away from the cursor position recorded at creation, or losing the
// activation while the cursor is away from it posts kWmClose, which the saver honours only once
// more than 4 s have passed since the scene was built; earlier ones are dropped and the recorded
// position stays, so the next movement after the 4 s ends the saver. In a preview the host posts
// nothing. kWmHostEnd (signals, a vanished window) always ends the run through the same
// destroy path. With one window per monitor the windows end together: whatever ends one ends all,
// but for a monitor that goes away (kEndMonitorGone), whose window alone ends while others live.
#include "saver/scrnsave.h"

#include <algorithm>
#include <cstdio>

#include "base/library.h"
#include "base/trace.h"
#include "saver/host.h"

namespace {

typedef int(QM_PWDAPI* FXPwdChangePassword)(const char* provider, void* hwnd, unsigned long reserved1,
                                            unsigned long reserved2);

// Skips spaces and tabs, then reads the run of decimal digits as a window handle. False when
// there are no digits; a number too large for a handle reads as 0 (no window).
bool localReadHandle(const char* p, unsigned long* handle) {
    while (*p == ' ' || *p == '\t') p++;
    if (*p < '0' || *p > '9') return false;
    unsigned long long v = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        v = v * 10 + unsigned(*p - '0');
        if (v > 0xFFFFFFFFull) {
            while (*p >= '0' && *p <= '9') p++;
            *handle = 0;
            return true;
        }
    }
    *handle = static_cast<unsigned long>(v);
    return true;
}

void* localHandle(unsigned long id) { return reinterpret_cast<void*>(static_cast<uintptr_t>(id)); }

}  // namespace

QmSwitchScan qmScanSwitches(const char* cmdLine) {
    QmSwitchScan scan;
    for (const char* p = cmdLine ? cmdLine : ""; *p; p++) {
        switch (*p) {
            case 'S':
            case 's':
                scan.which = kSwitchScreenSaver;
                break;
            case 'P':
            case 'p':
                scan.which = kSwitchPreview;
                break;
            case 'A':
            case 'a':
                scan.which = kSwitchPassword;
                break;
            case 'C':
            case 'c':
                scan.which = kSwitchConfigure;
                break;
            default:
                continue;
        }
        scan.letter = true;
        if (scan.which == kSwitchPreview || scan.which == kSwitchPassword)
            scan.hasNumber = localReadHandle(p + 1, &scan.number);
        return scan;
    }
    return scan;
}

QmScreenSaver::QmScreenSaver(PHost& platform, PSaverProcs& saver, void* instance) : platform_(platform), saver_(saver) {
    host_.hMainInstance = instance;
}

// ---- passwords: only Windows 9x has them (the platform host says whether this one does) ----

// The screen-saver password hook of Windows 9x, when the system asks for a password.
void QmScreenSaver::LoadPasswordHook() {
    host_.w95 = platform_.IsWin9x() ? 1 : 0;
    if (!host_.w95 || !platform_.ScreenSaveUsesPassword()) return;
    host_.hPwdLib = fxLoadLibrary("PASSWORD.CPL");
    if (host_.hPwdLib)
        host_.VerifyScreenSavePwd =
            reinterpret_cast<QmVerifyPwdProc>(fxGetProcAddress(host_.hPwdLib, "VerifyScreenSavePwd"));
}

int QmScreenSaver::ChangePassword(unsigned long windowId) {
    if (!platform_.HasPasswordServices()) return 0;
    void* hwnd = nullptr;
    if (windowId != 0 && platform_.IsWindow(localHandle(windowId))) hwnd = localHandle(windowId);
    ScreenSaverChangePassword(hwnd);
    return 0;
}

void QmScreenSaver::ScreenSaverChangePassword(void* hwnd) {
    void* mpr = fxLoadLibrary("MPR.DLL");
    if (!mpr) return;
    auto change = reinterpret_cast<FXPwdChangePassword>(fxGetProcAddress(mpr, "PwdChangePasswordA"));
    if (change) change("SCRSAVE", hwnd, 0, 0);
    fxFreeLibrary(mpr);
}

// ---- the run ----

int QmScreenSaver::Run(const QmHostLaunch& launch) {
    launch_ = launch;
    host_.fChildPreview = launch.style == kStylePreview ? 1 : 0;  // before any window: the styles follow it
    LoadPasswordHook();
    int r = 0;
    if (launch.style == kStylePreview || launch.style == kStyleLauncher) {
        void* parent = localHandle(launch.windowId);
        if (!platform_.Open()) return 1;
        if (launch.windowId == 0 || !platform_.IsWindow(parent)) {
            // A preview pane that is gone ends the preview quietly; a launcher's window is an error.
            if (launch.style == kStylePreview) return 0;
            fprintf(stderr, "qmsave: there is no window 0x%lx to draw into\n", launch.windowId);
            return 1;
        }
        r = LaunchScreenSaver(parent);
    } else {
        r = LaunchScreenSaver(nullptr);
    }
    return r != 0 ? r : exitStatus_;
}

QmStyle QmScreenSaver::StyleFor(void* parent) const {
    if (parent) return host_.fChildPreview ? kStylePreview : kStyleLauncher;
    return launch_.style == kStyleDesktop || launch_.style == kStyleRecord ? launch_.style : kStyleFullScreen;
}

// The run's windows: one in a parent, one of the launch's size, or one over each monitor. A
// monitor whose window cannot be made says why and the others run; the run fails only when none
// could be made.
bool QmScreenSaver::CreateWindows(void* parent) {
    QmStyle style = StyleFor(parent);
    std::vector<QmRect> areas;
    QmRect one;
    switch (style) {
        case kStylePreview:
        case kStyleLauncher:
            if (!platform_.ClientSize(parent, &one.width, &one.height)) one.width = one.height = -1;
            areas.push_back(one);
            break;
        case kStyleDesktop:
        case kStyleRecord:
            one.x = launch_.x, one.y = launch_.y;
            one.width = launch_.width, one.height = launch_.height;
            areas.push_back(one);
            break;
        case kStyleFullScreen:
            areas = platform_.Monitors();
            break;
    }
    for (const QmRect& a : areas) {
        if (a.width <= 0 || a.height <= 0) {
            // A window to draw into that went away or has no area: nothing can be shown there.
            if (parent)
                fprintf(stderr, "qmsave: the window %p %s\n", parent, a.width < 0 ? "is gone" : "has no size to draw into");
            else
                fprintf(stderr, "qmsave: the screen has no size to draw into\n");
            continue;
        }
        CreateSaverWindow(style, parent, a.x, a.y, a.width, a.height);
    }
    if (windows_.empty()) return false;
    // A window that could not start posted its end; the others run on.
    quitPosted_ = false;
    return true;
}

void QmScreenSaver::RunLoop() {
    QmMsg m;
    int r;
    while ((r = GetSaverMessage(&m)) == 1) DispatchSaverMessage(&m);
    if (r < 0) {
        // The window system failed: the scenes still go through their teardown.
        err("LaunchScreenSaver -> the message loop failed\n");
        while (!windows_.empty()) DestroyWindow(windows_.front());
        if (platform_.DisplayLost()) SetExitStatus(1);
    }
}

int QmScreenSaver::LaunchScreenSaver(void* parent) {
    // (No SPI_SCREENSAVERRUNNING here: w95 is 0 on every platform this runs on but one.)
    if (!platform_.Open()) {
        SetExitStatus(1);
    } else if (!saver_.RegisterDialogClasses(host_.hMainInstance)) {
        fxShowErrorMessage("RegisterClasses() failed");
    } else if (!CreateWindows(parent)) {
        SetExitStatus(1);  // the reason is already on standard error
    } else {
        for (void* w : std::vector<void*>(windows_)) platform_.ShowWindow(w);
        RunLoop();
    }
    if (host_.hPwdLib) fxFreeLibrary(host_.hPwdLib);
    host_.hPwdLib = nullptr;
    return 0;  // the last message's wParam: 0 after the quit posted with the window's destruction
}

// ---- windows and messages ----

bool QmScreenSaver::IsSaverWindow(void* hwnd) const {
    return hwnd && std::find(windows_.begin(), windows_.end(), hwnd) != windows_.end();
}

void* QmScreenSaver::CreateSaverWindow(QmStyle style, void* parent, int x, int y, int width, int height) {
    host_.fChildPreview = style == kStylePreview ? 1 : 0;
    QmRect area;
    area.x = x, area.y = y, area.width = width, area.height = height;
    void* w = platform_.MakeWindow(style, parent, area);
    if (!w) return nullptr;
    windows_.push_back(w);
    if (!host_.hMainWindow) host_.hMainWindow = w;
    if (SysScreenSaverProc(w, kWmCreate, 0, 0) == -1) {
        // This window alone: the saver's windows end together only once they run.
        destroying_ = w;
        SysScreenSaverProc(w, kWmDestroy, 0, 0);
        platform_.DestroyWindow(w);
        windows_.erase(std::find(windows_.begin(), windows_.end(), w));
        host_.hMainWindow = windows_.empty() ? nullptr : windows_.front();
        destroying_ = nullptr;
        return nullptr;
    }
    return w;
}

bool QmScreenSaver::DestroyOneWindow(void* hwnd) {
    if (!IsSaverWindow(hwnd) || destroying_) return false;
    destroying_ = hwnd;
    SysScreenSaverProc(hwnd, kWmDestroy, 0, 0);
    platform_.DestroyWindow(hwnd);
    windows_.erase(std::find(windows_.begin(), windows_.end(), hwnd));
    host_.hMainWindow = windows_.empty() ? nullptr : windows_.front();
    destroying_ = nullptr;
    // The destruction posted the quit; the run goes on while another window lives.
    if (!windows_.empty()) quitPosted_ = false;
    return true;
}

bool QmScreenSaver::DestroyWindow(void* hwnd) {
    if (!DestroyOneWindow(hwnd)) return false;
    // Whatever ends one monitor's saver ends them all.
    while (!windows_.empty()) DestroyOneWindow(windows_.front());
    return true;
}

bool QmScreenSaver::PostSaverMessage(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    QmMsg m;
    m.hwnd = hwnd, m.message = msg, m.wParam = wParam, m.lParam = lParam;
    queue_.push_back(m);
    return true;
}

void QmScreenSaver::PostQuitMessage(int code) {
    quitPosted_ = true;
    quitCode_ = code;
}

int QmScreenSaver::WaitSaverMessage(QmMsg* m, int timeoutMs) {
    if (!queue_.empty()) {
        *m = queue_.front();
        queue_.pop_front();
        return 1;
    }
    if (quitPosted_) {
        quitPosted_ = false;
        *m = QmMsg();
        m->message = kWmQuit;
        m->wParam = uintptr_t(quitCode_);
        return 0;
    }
    int r = platform_.NextEvent(m, timeoutMs);
    if (r == 1 && m->message == kWmHostEnd && !m->hwnd) m->hwnd = host_.hMainWindow;  // addressed to the run
    return r == 1 ? 1 : r == 0 ? -2 : -1;
}

int QmScreenSaver::GetSaverMessage(QmMsg* m) {
    int r;
    while ((r = WaitSaverMessage(m, -1)) == -2) {
    }
    return r;
}

intptr_t QmScreenSaver::DispatchSaverMessage(const QmMsg* m) {
    if (!IsSaverWindow(m->hwnd)) return 0;  // its window is gone
    return SysScreenSaverProc(m->hwnd, m->message, m->wParam, m->lParam);
}

intptr_t QmScreenSaver::DefSaverWindowProc(void*, unsigned msg, uintptr_t, intptr_t) {
    // The answers a window owes by default; nothing is drawn or changed here.
    return msg == kWmEraseBkgnd ? 1 : 0;
}

bool QmScreenSaver::GetCursorPos(QmPoint* p) { return platform_.GetCursorPos(p); }

// ---- the window procedures ----

intptr_t QmScreenSaver::SysScreenSaverProc(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    switch (msg) {
        case kWmCreate:
            if (!host_.fChildPreview) platform_.HideCursor(hwnd);
            GetCursorPos(&host_.pt_orig);
            break;
        case kWmDestroy:
            PostQuitMessage(0);
            break;
        case kWmActivate:
        case kWmActivateApp:
        case kWmNcActivate:
        case kWmKeyDown:
        case kWmSysKeyDown:
        case kWmMouseMove:
        case kWmLButtonDown:
        case kWmRButtonDown:
        case kWmMButtonDown:
        case kWmPaint:
            if (host_.closing) return DefSaverWindowProc(hwnd, msg, wParam, lParam);
            break;
        case kWmTimer:
            if (host_.closing) return 0;
            break;
        case kWmSysCommand:
            if (!host_.fChildPreview && (wParam == kScClose || wParam == kScScreenSave || wParam == kScNextWindow ||
                                         wParam == kScPrevWindow))
                return 0;
            break;
        case kWmHostEnd:
            if (QmEnd(lParam) == kEndMonitorGone && windows_.size() > 1) {
                trc("host: one window ends: %s\n", qmEndName(kEndMonitorGone));
                DestroyOneWindow(hwnd);  // that monitor's scene alone
                return 0;
            }
            trc("host: the run ends: %s\n", qmEndName(QmEnd(lParam)));
            qmEndUnderWay();
            endReason_ = QmEnd(lParam);
            if (endReason_ == kEndDisplayLost) SetExitStatus(1);
            DestroyWindow(hwnd);
            return 0;
        default:
            break;
    }
    return saver_.ScreenSaverProc(*this, hwnd, msg, wParam, lParam);
}

intptr_t QmScreenSaver::DefScreenSaverProc(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    if (host_.fChildPreview || host_.closing) return DefSaverWindowProc(hwnd, msg, wParam, lParam);
    switch (msg) {
        case kWmActivate:
        case kWmActivateApp:
        case kWmNcActivate:
            if (wParam != 0) break;
            [[fallthrough]];  // losing the activation counts as a mouse movement
        case kWmMouseMove: {
            QmPoint p;
            GetCursorPos(&p);
            if (p.x == host_.pt_orig.x && p.y == host_.pt_orig.y) break;
            [[fallthrough]];  // any movement, one pixel is enough: as a button press
        }
        case kWmKeyDown:
        case kWmSysKeyDown:
        case kWmLButtonDown:
        case kWmRButtonDown:
        case kWmMButtonDown:
            if (!host_.checking_pwd) PostSaverMessage(hwnd, kWmClose, 0, 0);
            break;
        case kWmSetCursor:
            if (host_.checking_pwd) break;
            platform_.HideCursor(hwnd);
            return 1;
        case kWmClose:
            if (host_.checking_pwd) return 0;
            if (host_.VerifyScreenSavePwd) {
                host_.checking_pwd = 1;
                host_.closing = SysScreenSaverProc(hwnd, kWmVerifyPassword, 0, 0) != 0;
                host_.checking_pwd = 0;
            } else {
                host_.closing = 1;
            }
            if (host_.closing) {
                qmEndUnderWay();
                DestroyWindow(hwnd);
            } else {
                GetCursorPos(&host_.pt_orig);  // a refused password arms the saver again here
            }
            return 0;
        case kWmVerifyPassword:
            return host_.VerifyScreenSavePwd ? host_.VerifyScreenSavePwd(hwnd) : 1;
        default:
            break;
    }
    return DefSaverWindowProc(hwnd, msg, wParam, lParam);
}
