// The generic screen-saver host: switch scan, window creation and message loop, the routing of
// messages between the host and the saver, and the default behaviour that decides which input
// ends the saver. Platform-neutral: windows and events come from the platform's host file.
//
// Ending rules: a key destroys the window at once (the saver's own key handling). A mouse
// button, a mouse movement away from the cursor position recorded at creation, or losing the
// activation while the cursor is away from it posts kWmClose, which the saver honours only once
// more than 4 s have passed since the scene was built; earlier ones are dropped and the recorded
// position stays, so the next movement after the 4 s ends the saver. In a preview the host posts
// nothing. kWmHostEnd (signals, a vanished window) always ends the run through the same
// destroy path.
#include "saver/scrnsave.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "base/library.h"
#include "base/trace.h"
#include "saver/host.h"

// Saver statics, cleared by qmResetHost (main.cpp).
void qmResetSaverStatics();

namespace {

QmHostState host;
QmHostLaunch localLaunch;  // how a window without a parent is shown this run
std::string localCommandLine;
std::deque<QmMsg> localQueue;  // posted messages (input only: a few per second at most)
bool localQuitPosted = false;
int localQuitCode = 0;
void* localWindow = nullptr;  // the live saver window (messages for others are dropped)
bool localDestroying = false;
int localExitStatus = 0;
QmEnd localEndReason = kEndNone;

const char* localEndName(intptr_t why) {
    switch (why) {
        case kEndSignal: return "a signal";
        case kEndWindowGone: return "the window was destroyed by its owner";
        case kEndClosed: return "the window was closed";
        case kEndFinished: return "the work is done";
        case kEndDisplayLost: return "the display connection was lost";
        default: return "an end request";
    }
}

// ---- passwords: only Windows 9x has them (host.h says whether this platform does) ----

typedef int(QM_PWDAPI* FXPwdChangePassword)(const char* provider, void* hwnd, unsigned long reserved1,
                                            unsigned long reserved2);

// The screen-saver password hook of Windows 9x, when the system asks for a password.
void localLoadPasswordHook() {
    host.w95 = hostIsWin9x() ? 1 : 0;
    if (!host.w95 || !hostScreenSaveUsesPassword()) return;
    host.hPwdLib = fxLoadLibrary("PASSWORD.CPL");
    if (host.hPwdLib)
        host.VerifyScreenSavePwd =
            reinterpret_cast<QmVerifyPwdProc>(fxGetProcAddress(host.hPwdLib, "VerifyScreenSavePwd"));
}

// ---- the switch letters ----

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

QmStyle localStyle(void* parent) {
    if (parent) return host.fChildPreview ? kStylePreview : kStyleLauncher;
    return localLaunch.style == kStyleDesktop || localLaunch.style == kStyleRecord ? localLaunch.style
                                                                                  : kStyleFullScreen;
}

// The change-password switch: the platform's password services, when it has them.
int localChangePassword(const QmSwitchScan& scan) {
    if (!hostHasPasswordServices()) return 0;
    void* hwnd = nullptr;
    if (scan.hasNumber && scan.number != 0 && hostIsWindow(localHandle(scan.number))) hwnd = localHandle(scan.number);
    ScreenSaverChangePassword(hwnd);
    return 0;
}

int localConfigure(bool letterGiven) {
    RegisterDialogClasses(host.hMainInstance);
    // There is no settings dialog: on this platform the configuration is described instead.
    ScreenSaverDescribeConfig();
    if (!letterGiven) printf("Run qmsave --help to see how to start the saver.\n");
    return 0;
}

// A window of another program (a launcher's): the scene is drawn into a child of it.
int localIntoWindow(unsigned long id) {
    if (!hostOpen()) return 1;
    if (!hostIsWindow(localHandle(id))) {
        fprintf(stderr, "qmsave: there is no window 0x%lx to draw into\n", id);
        return 1;
    }
    return LaunchScreenSaver(localHandle(id));
}

int localScanLetters(const char* cmdLine) {
    QmSwitchScan scan = qmScanSwitches(cmdLine);
    switch (scan.which) {
        case kSwitchScreenSaver:
            return LaunchScreenSaver(nullptr);
        case kSwitchPreview:
            host.fChildPreview = 1;
            if (!scan.hasNumber || scan.number == 0 || !hostIsWindow(localHandle(scan.number))) return 0;
            return LaunchScreenSaver(localHandle(scan.number));
        case kSwitchPassword:
            return localChangePassword(scan);
        case kSwitchConfigure:
            break;
    }
    return localConfigure(scan.letter);
}

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

void qmSetExitStatus(int status) { localExitStatus = status; }
int qmGetExitStatus() { return localExitStatus; }
QmEnd qmEndReason() { return localEndReason; }

const char* qmGetCommandLine() { return localCommandLine.c_str(); }

const QmHostState& qmHost() { return host; }

int ScreenSaverMain(void* instance, const char* programName, const char* cmdLine, const QmHostLaunch* launch) {
    host.hMainInstance = instance;
    if (!cmdLine) cmdLine = "";
    localCommandLine = programName ? programName : "qmsave";
    if (*cmdLine) localCommandLine += std::string(" ") + cmdLine;

    localLoadPasswordHook();

    int r = 0;
    if (!launch) {
        r = localScanLetters(cmdLine);
    } else {
        localLaunch = *launch;
        r = launch->style == kStyleLauncher ? localIntoWindow(launch->windowId) : LaunchScreenSaver(nullptr);
    }
    return r != 0 ? r : localExitStatus;
}

int LaunchScreenSaver(void* parent) {
    // (No SPI_SCREENSAVERRUNNING here: w95 is 0 on every platform this runs on but one.)
    int result = 0;
    if (!hostOpen()) {
        qmSetExitStatus(1);
    } else if (!RegisterDialogClasses(host.hMainInstance)) {
        fxShowErrorMessage("RegisterClasses() failed");
    } else {
        int w = 0, h = 0;
        switch (localStyle(parent)) {
            case kStylePreview:
            case kStyleLauncher:
                if (!hostClientSize(parent, &w, &h)) w = h = -1;
                break;
            case kStyleDesktop:
            case kStyleRecord:
                w = localLaunch.width, h = localLaunch.height;
                break;
            case kStyleFullScreen:
                hostScreenSize(&w, &h);
                break;
        }
        if (w <= 0 || h <= 0) {
            // A window to draw into that went away or has no area: nothing can be shown.
            if (parent)
                fprintf(stderr, "qmsave: the window %p %s\n", parent, w < 0 ? "is gone" : "has no size to draw into");
            else
                fprintf(stderr, "qmsave: the screen has no size to draw into\n");
        } else {
            qmCreateSaverWindow(localStyle(parent), parent, w, h);
        }
        if (!host.hMainWindow) {
            qmSetExitStatus(1);  // the reason is already on standard error
        } else {
            hostShowWindow(host.hMainWindow);
            QmMsg m;
            int r;
            while ((r = qmGetMessage(&m)) == 1) qmDispatchMessage(&m);
            if (r < 0) {
                // The window system failed: the scene still goes through its teardown.
                err("LaunchScreenSaver -> the message loop failed\n");
                qmDestroyWindow(localWindow);
                if (hostDisplayLost()) qmSetExitStatus(1);
            }
            result = int(m.wParam);
        }
    }
    if (host.hPwdLib) fxFreeLibrary(host.hPwdLib);
    host.hPwdLib = nullptr;
    return result;
}

void* qmCreateSaverWindow(QmStyle style, void* parent, int width, int height) {
    host.fChildPreview = style == kStylePreview ? 1 : 0;
    void* w = hostCreateWindow(style, parent, width, height);
    if (!w) return nullptr;
    localWindow = w;
    host.hMainWindow = w;
    if (SysScreenSaverProc(w, kWmCreate, 0, 0) == -1) {
        qmDestroyWindow(w);
        return nullptr;
    }
    return w;
}

bool qmDestroyWindow(void* hwnd) {
    if (!hwnd || hwnd != localWindow || localDestroying) return false;
    localDestroying = true;
    SysScreenSaverProc(hwnd, kWmDestroy, 0, 0);
    hostDestroyWindow(hwnd);
    localWindow = nullptr;
    if (host.hMainWindow == hwnd) host.hMainWindow = nullptr;
    localDestroying = false;
    return true;
}

bool qmPostMessage(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    QmMsg m;
    m.hwnd = hwnd, m.message = msg, m.wParam = wParam, m.lParam = lParam;
    localQueue.push_back(m);
    return true;
}

void qmPostQuitMessage(int code) {
    localQuitPosted = true;
    localQuitCode = code;
}

int qmWaitMessage(QmMsg* m, int timeoutMs) {
    if (!localQueue.empty()) {
        *m = localQueue.front();
        localQueue.pop_front();
        return 1;
    }
    if (localQuitPosted) {
        localQuitPosted = false;
        *m = QmMsg();
        m->message = kWmQuit;
        m->wParam = uintptr_t(localQuitCode);
        return 0;
    }
    int r = hostNextEvent(m, timeoutMs);
    return r == 1 ? 1 : r == 0 ? -2 : -1;
}

int qmGetMessage(QmMsg* m) {
    int r;
    while ((r = qmWaitMessage(m, -1)) == -2) {
    }
    return r;
}

intptr_t qmDispatchMessage(const QmMsg* m) {
    if (!m->hwnd || m->hwnd != localWindow) return 0;  // its window is gone
    return SysScreenSaverProc(m->hwnd, m->message, m->wParam, m->lParam);
}

intptr_t qmDefWindowProc(void*, unsigned msg, uintptr_t, intptr_t) {
    // The answers a window owes by default; nothing is drawn or changed here.
    return msg == kWmEraseBkgnd ? 1 : 0;
}

bool qmGetCursorPos(QmPoint* p) { return hostGetCursorPos(p); }

intptr_t SysScreenSaverProc(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    switch (msg) {
        case kWmCreate:
            if (!host.fChildPreview) hostHideCursor(hwnd);
            qmGetCursorPos(&host.pt_orig);
            break;
        case kWmDestroy:
            qmPostQuitMessage(0);
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
            if (host.closing) return qmDefWindowProc(hwnd, msg, wParam, lParam);
            break;
        case kWmTimer:
            if (host.closing) return 0;
            break;
        case kWmSysCommand:
            if (!host.fChildPreview && (wParam == kScClose || wParam == kScScreenSave || wParam == kScNextWindow ||
                                   wParam == kScPrevWindow))
                return 0;
            break;
        case kWmHostEnd:
            trc("host: the run ends: %s\n", localEndName(lParam));
            localEndReason = QmEnd(lParam);
            qmDestroyWindow(hwnd);
            return 0;
        default:
            break;
    }
    return ScreenSaverProc(hwnd, msg, wParam, lParam);
}

intptr_t DefScreenSaverProc(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    if (host.fChildPreview || host.closing) return qmDefWindowProc(hwnd, msg, wParam, lParam);
    switch (msg) {
        case kWmActivate:
        case kWmActivateApp:
        case kWmNcActivate:
            if (wParam != 0) break;
            [[fallthrough]];  // losing the activation counts as a mouse movement
        case kWmMouseMove: {
            QmPoint p;
            qmGetCursorPos(&p);
            if (p.x == host.pt_orig.x && p.y == host.pt_orig.y) break;
            [[fallthrough]];  // any movement, one pixel is enough: as a button press
        }
        case kWmKeyDown:
        case kWmSysKeyDown:
        case kWmLButtonDown:
        case kWmRButtonDown:
        case kWmMButtonDown:
            if (!host.checking_pwd) qmPostMessage(hwnd, kWmClose, 0, 0);
            break;
        case kWmSetCursor:
            if (host.checking_pwd) break;
            hostHideCursor(hwnd);
            return 1;
        case kWmClose:
            if (host.checking_pwd) return 0;
            if (host.VerifyScreenSavePwd) {
                host.checking_pwd = 1;
                host.closing = SysScreenSaverProc(hwnd, kWmVerifyPassword, 0, 0) != 0;
                host.checking_pwd = 0;
            } else {
                host.closing = 1;
            }
            if (host.closing)
                qmDestroyWindow(hwnd);
            else
                qmGetCursorPos(&host.pt_orig);  // a refused password arms the saver again here
            return 0;
        case kWmVerifyPassword:
            return host.VerifyScreenSavePwd ? host.VerifyScreenSavePwd(hwnd) : 1;
        default:
            break;
    }
    return qmDefWindowProc(hwnd, msg, wParam, lParam);
}

void ScreenSaverChangePassword(void* hwnd) {
    void* mpr = fxLoadLibrary("MPR.DLL");
    if (!mpr) return;
    auto change = reinterpret_cast<FXPwdChangePassword>(fxGetProcAddress(mpr, "PwdChangePasswordA"));
    if (change) change("SCRSAVE", hwnd, 0, 0);
    fxFreeLibrary(mpr);
}

void qmResetHost() {
    host = QmHostState();
    localLaunch = QmHostLaunch();
    localQueue.clear();
    localQuitPosted = false;
    localQuitCode = 0;
    localWindow = nullptr;
    localDestroying = false;
    localExitStatus = 0;
    localEndReason = kEndNone;
    qmResetSaverStatics();
}
