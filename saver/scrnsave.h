// The screen-saver host: the program's entry work (the switch scan), the saver window and its
// message loop, the routing of messages, and the default screen-saver behaviour (which input
// ends the saver, the hidden cursor, the password hooks). It knows nothing of the scene: it calls
// the saver's procedures (main.cpp) by their fixed names, and the saver hands every message it
// does not handle to DefScreenSaverProc.
//
// The message logic here is the same on every platform. Messages carry the numbers of the
// window system the saver was first written for, so a port to it passes them through; the
// platform's host file (host.h) creates the windows and turns its events into these messages.
#pragma once

#include <cstdint>

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

// Why the host ends a run (lParam of kWmHostEnd).
enum QmEnd { kEndNone = 0, kEndSignal, kEndWindowGone, kEndClosed, kEndFinished, kEndDisplayLost };

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
    void* hMainWindow = nullptr;  // the live saver window
    int fChildPreview = 0;        // the window is a preview pane's child
    int w95 = 0;
    void* hPwdLib = nullptr;
    QmVerifyPwdProc VerifyScreenSavePwd = nullptr;
    int checking_pwd = 0;
    int closing = 0;
    QmPoint pt_orig;  // the cursor where the saver started; movement away from it ends the saver
};
const QmHostState& qmHost();

// The kinds of saver window.
enum QmStyle {
    kStyleFullScreen,  // over the whole screen, on top, input grabbed, cursor hidden
    kStylePreview,     // a child of the preview pane's window, of its size
    kStyleLauncher,    // a child of a launcher's window, of its size; the launcher owns input
    kStyleDesktop,     // a normal, resizable window for trying the saver; keys and its close button end it
    kStyleRecord,      // a window of the recording's size; no input
};

// How the saver is shown when a launcher, not the switch letters, decides (the launcher words,
// record mode).
struct QmHostLaunch {
    QmStyle style = kStyleFullScreen;  // kStyleFullScreen, kStyleLauncher, kStyleDesktop or kStyleRecord
    unsigned long windowId = 0;        // kStyleLauncher: the launcher's window to draw into
    int width = 0, height = 0;         // kStyleDesktop, kStyleRecord: the window's size
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

// ---- the host ----
// Runs the saver (the program entry calls it once the launcher words are read): as the switch
// letters of cmdLine say (everything after the program name, launcher words taken out), or, with
// launch, as the launcher asks. Returns the exit status.
int ScreenSaverMain(void* instance, const char* programName, const char* cmdLine,
                    const QmHostLaunch* launch = nullptr);
// Creates the saver window (parent null: full screen or the launch mode's own window; else a
// child of parent of its client size), runs the message loop, returns the last message's wParam.
int LaunchScreenSaver(void* parent);
intptr_t SysScreenSaverProc(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam);
intptr_t DefScreenSaverProc(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam);
void ScreenSaverChangePassword(void* hwnd);

// ---- the saver's procedures (main.cpp) ----
intptr_t ScreenSaverProc(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam);
int ScreenSaverConfigureDialog(void* dialog, unsigned msg, uintptr_t wParam, intptr_t lParam);
int RegisterDialogClasses(void* instance);
// Where the configuration lives and what it holds, for people (the configuration switch on a
// platform without a settings dialog).
void ScreenSaverDescribeConfig();
// Adds the saver to the system's screen-saver settings and says what happened; the exit status.
// Needs no window and no display.
int ScreenSaverRegister();

// ---- the window system as the host and the saver see it ----
// The program name and the command line after it, as the system passes them.
const char* qmGetCommandLine();
// Creates the saver window of style (a child of parent for the preview and launcher styles) and
// sends it kWmCreate; it becomes hMainWindow. A creation that the window procedure refuses (-1)
// is sent kWmDestroy, the window is destroyed again and the result is null.
void* qmCreateSaverWindow(QmStyle style, void* parent, int width, int height);
// Sends kWmDestroy, then destroys the window. False when hwnd is not the live saver window.
bool qmDestroyWindow(void* hwnd);
// Queues a message for the loop; messages for a window destroyed meanwhile are dropped.
bool qmPostMessage(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam);
void qmPostQuitMessage(int code);
// Waits for the next message: posted ones first, then kWmQuit once posted (result 0), then the
// window system's events (result 1). -1 when the window system failed.
int qmGetMessage(QmMsg* m);
// The same, waiting at most timeoutMs milliseconds for an event (-2 when none came).
int qmWaitMessage(QmMsg* m, int timeoutMs);
// Hands m to the window procedure of the live saver window (dropped otherwise).
intptr_t qmDispatchMessage(const QmMsg* m);
// Whatever the window system does by default (nothing here but the answers it owes).
intptr_t qmDefWindowProc(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam);
bool qmGetCursorPos(QmPoint* p);
// A failure the exit status must show (a settings file that could not be written, a lost
// display); ScreenSaverMain returns it when the run itself ended normally.
void qmSetExitStatus(int status);
int qmGetExitStatus();
// Why the last run ended through kWmHostEnd (kEndNone: it did not).
QmEnd qmEndReason();
// Clears the host's state (globals, statics of the saver, queue) for another run in the same
// process (tests).
void qmResetHost();
