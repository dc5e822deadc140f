// The screen-saver host: the saver windows and their message loop, the routing of messages, and
// the default screen-saver behaviour (which input ends the saver, the hidden cursor, the password
// hooks). It knows nothing of the scene: it calls the saver's procedures (PSaverProcs, main.cpp)
// by their fixed names, and the saver hands every message it does not handle to
// DefScreenSaverProc.
//
// The message logic here is the same on every platform. Messages carry the numbers of the
// window system the saver was first written for, so a port to it passes them through; the
// platform host (host.h) creates the windows and turns its events into these messages.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "saver/end_request.h"

class PHost;

// ---- messages ----
enum : unsigned {
    kWmCreate = 0x0001,
    kWmDestroy = 0x0002,
    kWmSize = 0x0005,  // wParam = width, lParam = height (a resizable window)
    kWmActivate = 0x0006,
    kWmPaint = 0x000F,
    kWmClose = 0x0010,
    kWmQuit = 0x0012,
    kWmEraseBkgnd = 0x0014,
    kWmActivateApp = 0x001C,  // wParam 0: deactivation
    kWmSetCursor = 0x0020,
    kWmNcActivate = 0x0086,
    kWmKeyDown = 0x0100,
    kWmKeyUp = 0x0101,
    kWmChar = 0x0102,
    kWmSysKeyDown = 0x0104,
    kWmSysKeyUp = 0x0105,
    kWmSysChar = 0x0106,
    kWmSysCommand = 0x0112,
    kWmTimer = 0x0113,
    kWmMouseMove = 0x0200,
    kWmLButtonDown = 0x0201,
    kWmRButtonDown = 0x0204,
    kWmMButtonDown = 0x0207,
    kWmVerifyPassword = 0x8000,  // asks the password hook; the answer is the result
    // The host's own: the run must end now, whatever the ending rules say (a signal, the
    // window destroyed by someone else, a finished recording, a lost display). lParam: QmEnd.
    kWmHostEnd = 0x8001,
};

// System commands the full-screen saver swallows (wParam of kWmSysCommand).
enum : uintptr_t {
    kScClose = 0xF060,
    kScNextWindow = 0xF040,
    kScPrevWindow = 0xF050,
    kScScreenSave = 0xF140,
};

struct QmMsg {
    void* hwnd = nullptr;
    unsigned message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

struct QmPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// The calling convention of the system's password services (stdcall on 32-bit Windows).
#if defined(_WIN32) && !defined(_WIN64)
#define QM_PWDAPI __stdcall
#else
#define QM_PWDAPI
#endif
typedef int(QM_PWDAPI* QmVerifyPwdProc)(void* hwnd);

// ---- the host's state (all zero at start; changed only by the host) ----
struct QmHostState {
    void* hMainInstance = nullptr;
    void* hMainWindow = nullptr;  // the live saver window (the first, when there is one per monitor)
    int fChildPreview = 0;        // the window is a preview pane's child: the one preview flag
    int w95 = 0;
    void* hPwdLib = nullptr;
    QmVerifyPwdProc VerifyScreenSavePwd = nullptr;
    int checking_pwd = 0;
    int closing = 0;
    QmPoint pt_orig;  // the cursor where the saver started; movement away from it ends the saver
};

// The kinds of saver window.
enum QmStyle {
    kStyleFullScreen,  // over a monitor, on top, input grabbed, cursor hidden (one per monitor)
    kStylePreview,     // a child of the preview pane's window, of its size
    kStyleLauncher,    // a child of a launcher's window, of its size; the launcher owns input
    kStyleDesktop,     // a normal, resizable window for trying the saver; keys and its close button end it
    kStyleRecord,      // a window of the recording's size; no input
};

// The window systems a Linux run may use: chosen by the host choice, or asked for (--x11,
// --wayland).
enum QmWindowSystem { kSystemAuto, kSystemX11, kSystemWayland };

// How the saver is shown: decided once by the program entry (the launcher words or the switch
// letters) and handed to the host.
struct QmHostLaunch {
    QmStyle style = kStyleFullScreen;
    unsigned long windowId = 0;  // kStylePreview, kStyleLauncher: the window to draw into
    int x = 0, y = 0;            // kStyleRecord: where the window lies (the area it photographs)
    int width = 0, height = 0;   // kStyleDesktop, kStyleRecord: the window's size
};

// ---- the switch scan ----
// The first of the letters S, P, A, C (either case) in the command line decides; every other
// character is skipped, so "/s", "-s" and "s" are the same. P and A read a decimal window handle
// after the letter and any blanks.
enum QmSwitch { kSwitchScreenSaver, kSwitchPreview, kSwitchPassword, kSwitchConfigure };
struct QmSwitchScan {
    QmSwitch which = kSwitchConfigure;
    bool letter = false;        // a letter was found (no letter at all means configure)
    bool hasNumber = false;     // P, A: digits followed
    unsigned long number = 0;   // their value (0 also when too large for a handle)
};
QmSwitchScan qmScanSwitches(const char* cmdLine);

class QmScreenSaver;

// ---- the saver's procedures (main.cpp), called by the host by their fixed names ----
class PSaverProcs {
public:
    // The saver window's procedure: creation builds the scene, destruction takes it down.
    virtual intptr_t ScreenSaverProc(QmScreenSaver& host, void* hwnd, unsigned msg, uintptr_t wParam,
                                     intptr_t lParam) = 0;
    virtual int ScreenSaverConfigureDialog(void* dialog, unsigned msg, uintptr_t wParam, intptr_t lParam) = 0;
    virtual int RegisterDialogClasses(void* instance) = 0;

protected:
    ~PSaverProcs() = default;
};

// ---- the host ----
// One run of the saver: the host object lives for the run and owns the run's windows, its message
// queue and its state. Everything here belongs to the window thread.
class QmScreenSaver {
public:
    QmScreenSaver(PHost& platform, PSaverProcs& saver, void* instance = nullptr);
    QmScreenSaver(const QmScreenSaver&) = delete;
    QmScreenSaver& operator=(const QmScreenSaver&) = delete;

    // Runs the saver as launch says (the preview and launcher styles into the window launch names)
    // and returns the exit status.
    int Run(const QmHostLaunch& launch);
    // The change-password switch: the platform's password services, when it has them, with the
    // window of that id (0 or no window: none).
    int ChangePassword(unsigned long windowId);

    // Creates the saver windows (parent null: full screen, one per monitor, or the launch style's
    // own window; else a child of parent of its client size), runs the message loop, returns the
    // last message's wParam.
    int LaunchScreenSaver(void* parent);
    intptr_t SysScreenSaverProc(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam);
    intptr_t DefScreenSaverProc(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam);
    void ScreenSaverChangePassword(void* hwnd);

    // ---- the window system as the saver sees it ----
    // Creates a saver window of style over area (a child of parent for the preview and launcher
    // styles) and sends it kWmCreate; the first becomes hMainWindow. A creation that the window
    // procedure refuses (-1) is sent kWmDestroy, the window is destroyed again and the result is
    // null.
    void* CreateSaverWindow(QmStyle style, void* parent, int x, int y, int width, int height);
    // Sends kWmDestroy, then destroys the window; the saver's windows end together, so the others
    // follow. False when hwnd is not a live saver window.
    bool DestroyWindow(void* hwnd);
    // The same for hwnd alone, the others running on (its monitor went away); the run ends when
    // it was the last. False when hwnd is not a live saver window.
    bool DestroyOneWindow(void* hwnd);
    // Queues a message for the loop; messages for a window destroyed meanwhile are dropped.
    bool PostSaverMessage(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam);
    void PostQuitMessage(int code);
    // Waits for the next message: posted ones first, then kWmQuit once posted (result 0), then the
    // window system's events (result 1). -1 when the window system failed.
    int GetSaverMessage(QmMsg* m);
    // The same, waiting at most timeoutMs milliseconds for an event (-2 when none came).
    int WaitSaverMessage(QmMsg* m, int timeoutMs);
    // Hands m to the window procedure of its window when that is a live saver window.
    intptr_t DispatchSaverMessage(const QmMsg* m);
    // Whatever the window system does by default (nothing here but the answers it owes).
    intptr_t DefSaverWindowProc(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam);
    bool GetCursorPos(QmPoint* p);

    const QmHostState& State() const { return host_; }
    const std::vector<void*>& Windows() const { return windows_; }
    PHost& Platform() { return platform_; }
    // A failure the exit status must show (a lost display); Run returns it when the run itself
    // ended normally.
    void SetExitStatus(int status) { exitStatus_ = status; }
    int ExitStatus() const { return exitStatus_; }
    // Why the run ended through kWmHostEnd (kEndNone: it did not).
    QmEnd EndReason() const { return endReason_; }

private:
    PHost& platform_;
    PSaverProcs& saver_;
    QmHostState host_;
    QmHostLaunch launch_;             // how a window without a parent is shown this run
    std::deque<QmMsg> queue_;         // posted messages (input only: a few per second at most)
    bool quitPosted_ = false;
    int quitCode_ = 0;
    std::vector<void*> windows_;      // the live saver windows (messages for others are dropped)
    void* destroying_ = nullptr;      // the window being destroyed now
    int exitStatus_ = 0;
    QmEnd endReason_ = kEndNone;

    bool IsSaverWindow(void* hwnd) const;
    void LoadPasswordHook();
    QmStyle StyleFor(void* parent) const;
    bool CreateWindows(void* parent);
    void RunLoop();
};
