// The host on Win32: the window class "WindowsScreenSaverClass", the saver window in each launch
// style, the window messages handed to the generic host (their numbers are the host's own), the
// hidden cursor, end requests from console events and other threads, the password services and
// the desktop photograph through DirectDraw.
//
// The window procedure here only queues what the generic host routes (input, activation, close
// requests, size changes) and answers what Windows needs at once (painting, erasing, the cursor,
// the swallowed system commands); creation and destruction reach the saver through the generic
// host, so the scene is built before the window is shown and taken down before it goes.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <deque>

#include "base/trace.h"
#include "image/scrshot.h"
#include "saver/host.h"

namespace {

const char kClassName[] = "WindowsScreenSaverClass";
const UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_PARENTDC | CS_SAVEBITS;  // 0x883
const int kIconGroup = 101;

struct LocalHost {
    bool open = false;
    HWND window = nullptr;
    HWND parent = nullptr;
    QmStyle style = kStyleFullScreen;
    bool cursorHidden = false;
    bool destroying = false;  // our own DestroyWindow: not the owner taking the window away
    std::deque<QmMsg> events;
};

LocalHost localHost;
std::atomic<int> localPendingEnd{kEndNone};
HANDLE localEndEvent = nullptr;  // set with each end request, so a waiting loop wakes up

void localQueue(HWND hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    QmMsg m;
    m.hwnd = hwnd, m.message = msg, m.wParam = wParam, m.lParam = lParam;
    localHost.events.push_back(m);
}

LRESULT CALLBACK localWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd != localHost.window) return DefWindowProcA(hwnd, msg, wParam, lParam);  // still being created
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;  // never erased: the desktop stays visible until the first frame
        case WM_PAINT:
            ValidateRect(hwnd, nullptr);  // drawing belongs to the render thread
            return 0;
        case WM_SETCURSOR:
            if (localHost.cursorHidden && LOWORD(lParam) == HTCLIENT) {
                SetCursor(nullptr);
                return TRUE;
            }
            break;
        case WM_CLOSE:
            localQueue(hwnd, kWmClose, 0, 0);
            return 0;  // the saver's ending rules decide
        case WM_DESTROY:
            // A pane that closes takes our window along. The handle stays as the saver knows it:
            // the end request is addressed to it, and hostDestroyWindow lets it go.
            if (!localHost.destroying) hostRequestEnd(kEndWindowGone);
            return 0;
        case WM_SYSCOMMAND:
            if (localHost.style == kStyleFullScreen) {
                switch (wParam & 0xFFF0) {
                    case SC_CLOSE:
                    case SC_SCREENSAVE:
                    case SC_NEXTWINDOW:
                    case SC_PREVWINDOW:
                        return 0;  // no second saver, no Alt+F4, no window switching
                }
            }
            break;
        case WM_SIZE:
            if (localHost.style == kStyleDesktop) localQueue(hwnd, kWmSize, LOWORD(lParam), HIWORD(lParam));
            break;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_SYSCHAR:
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (localHost.style != kStyleRecord) localQueue(hwnd, msg, wParam, lParam);
            return 0;
        case WM_ACTIVATE:
        case WM_ACTIVATEAPP:
        case WM_NCACTIVATE:
            if (localHost.style != kStyleRecord) localQueue(hwnd, msg, wParam, lParam);
            break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

BOOL WINAPI localConsoleEvent(DWORD) {
    hostRequestEnd(kEndSignal);
    return TRUE;
}

}  // namespace

bool hostOpen() {
    if (localHost.open) return true;
    if (!localEndEvent) localEndEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.style = kClassStyle;
    wc.lpfnWndProc = localWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconGroup));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        fxShowErrorMessage("RegisterClasses() failed");
        return false;
    }
    localHost.open = true;
    return true;
}

void hostClose() {
    if (localHost.window) hostDestroyWindow(localHost.window);
    if (localHost.open) UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
    localHost.open = false;
    localHost.events.clear();
}

bool hostDisplayLost() { return false; }

void hostInstallSignals() { SetConsoleCtrlHandler(localConsoleEvent, TRUE); }

void hostRequestEnd(QmEnd why) {
    int none = kEndNone;
    localPendingEnd.compare_exchange_strong(none, int(why));  // the first reason stays
    if (localEndEvent) SetEvent(localEndEvent);
}

QmEnd hostPendingEnd() { return static_cast<QmEnd>(localPendingEnd.load()); }

bool hostIsWindow(void* window) { return window && IsWindow(static_cast<HWND>(window)); }

bool hostClientSize(void* window, int* width, int* height) {
    RECT r;
    if (!hostIsWindow(window) || !GetClientRect(static_cast<HWND>(window), &r)) return false;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return true;
}

void hostScreenSize(int* width, int* height) {
    *width = GetSystemMetrics(SM_CXSCREEN);
    *height = GetSystemMetrics(SM_CYSCREEN);
}

void* hostCreateWindow(QmStyle style, void* parent, int width, int height) {
    if (!hostOpen()) return nullptr;
    DWORD ex = 0, ws = WS_POPUP;
    int x = 0, y = 0;
    switch (style) {
        case kStyleFullScreen:
            ex = WS_EX_TOPMOST;
            break;
        case kStylePreview:
        case kStyleLauncher:
            ws = WS_CHILD;
            break;
        case kStyleDesktop: {
            ws = WS_OVERLAPPEDWINDOW;
            RECT r = {0, 0, width, height};
            AdjustWindowRectEx(&r, ws, FALSE, 0);
            width = r.right - r.left, height = r.bottom - r.top;
            x = y = CW_USEDEFAULT;
            break;
        }
        case kStyleRecord:
            break;
    }
    localHost.style = style;
    localHost.parent = static_cast<HWND>(parent);
    localHost.cursorHidden = false;
    localHost.events.clear();
    HWND w = CreateWindowExA(ex, kClassName, "SCREENSAVER", ws, x, y, width, height, localHost.parent, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (!w) {
        fprintf(stderr, "qmsave: the saver window cannot be created (error %lu)\n", GetLastError());
        return nullptr;
    }
    localHost.window = w;
    return w;
}

void hostShowWindow(void* window) {
    HWND w = static_cast<HWND>(window);
    if (hostPendingEnd() != kEndNone || !hostIsWindow(w)) return;
    ShowWindow(w, SW_SHOW);
    UpdateWindow(w);
    if (localHost.style == kStyleFullScreen) {
        SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(w);
        SetFocus(w);
    }
}

void hostDestroyWindow(void* window) {
    HWND w = static_cast<HWND>(window);
    if (hostIsWindow(w)) {
        localHost.destroying = true;
        DestroyWindow(w);
        localHost.destroying = false;
    }
    if (localHost.window == w) localHost.window = nullptr, localHost.parent = nullptr;
    localHost.cursorHidden = false;
}

void hostHideCursor(void* window) {
    if (localHost.style != kStyleFullScreen || window != localHost.window) return;
    localHost.cursorHidden = true;
    SetCursor(nullptr);
}

bool hostGetCursorPos(QmPoint* p) {
    POINT pt;
    if (!GetCursorPos(&pt)) return false;
    p->x = pt.x, p->y = pt.y;
    return true;
}

namespace {

// A window of another program that we draw into may go away without our window hearing of it (the
// owner's process ends, or its window system does not destroy children of other processes with
// their parent): the loop looks the parent up at least this often.
const DWORD kParentCheckMs = 100;

void localCheckParent() {
    if (localHost.parent && !IsWindow(localHost.parent)) {
        localHost.parent = nullptr;
        hostRequestEnd(kEndWindowGone);
    }
}

}  // namespace

int hostNextEvent(QmMsg* m, int timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        localCheckParent();
        int why = localPendingEnd.exchange(kEndNone);
        if (why != kEndNone) {
            ResetEvent(localEndEvent);
            *m = QmMsg();
            m->hwnd = localHost.window;
            m->message = kWmHostEnd;
            m->lParam = why;
            return 1;
        }
        if (!localHost.events.empty()) {
            *m = localHost.events.front();
            localHost.events.pop_front();
            return 1;
        }
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;  // the generic host keeps its own quit
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        DWORD wait = INFINITE;
        if (timeoutMs >= 0) {
            DWORD spent = GetTickCount() - start;
            if (spent >= DWORD(timeoutMs)) return 0;
            wait = DWORD(timeoutMs) - spent;
        }
        if (localHost.parent && wait > kParentCheckMs) wait = kParentCheckMs;
        DWORD r = MsgWaitForMultipleObjects(1, &localEndEvent, FALSE, wait, QS_ALLINPUT);
        if (r == WAIT_FAILED) return -1;
    }
}

bool hostTakePhotograph(FXScrShot* shot, void* window) {
    HWND w = static_cast<HWND>(window);
    RECT r;
    if (!hostIsWindow(w) || !GetClientRect(w, &r)) return false;
    // Exactly the area the window will cover, photographed while it is not shown yet.
    POINT origin = {0, 0};
    ClientToScreen(w, &origin);
    return shot->UpdateArea(origin.x, origin.y, r.right, r.bottom);
}

bool hostIsWin9x() {
    OSVERSIONINFOA v;
    ZeroMemory(&v, sizeof(v));
    v.dwOSVersionInfoSize = sizeof(v);  // 148 bytes
    return GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

bool hostScreenSaveUsesPassword() {
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key) != ERROR_SUCCESS) return false;
    DWORD value = 0, size = sizeof(value);
    LONG r = RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && value != 0;
}

bool hostHasPasswordServices() { return true; }
