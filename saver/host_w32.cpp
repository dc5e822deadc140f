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
#include "saver/end_request.h"
#include "saver/host.h"

namespace {

const char kClassName[] = "WindowsScreenSaverClass";
const UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_PARENTDC | CS_SAVEBITS;  // 0x883
const int kIconGroup = 101;
// A window of another program that we draw into may go away without our window hearing of it (the
// owner's process ends, or its window system does not destroy children of other processes with
// their parent): the loop looks the parent up at least this often.
const DWORD kParentCheckMs = 100;



class QmHostW32 final : public PHost {
public:
    ~QmHostW32() override { Close(); }

    bool Open() override;
    void Close() override;
    bool DisplayLost() override { return false; }
    bool IsWindow(void* window) override { return window && ::IsWindow(static_cast<HWND>(window)); }
    bool ClientSize(void* window, int* width, int* height) override;
    std::vector<QmRect> Monitors() override;
    void* MakeWindow(QmStyle style, void* parent, const QmRect& area) override;
    void ShowWindow(void* window) override;
    void DestroyWindow(void* window) override;
    void HideCursor(void* window) override;
    bool GetCursorPos(QmPoint* p) override;
    int NextEvent(QmMsg* m, int timeoutMs) override;
    bool TakePhotograph(FXScrShot* shot, void* window) override;
    bool IsWin9x() override;
    bool ScreenSaveUsesPassword() override;
    bool HasPasswordServices() override { return true; }

    LRESULT WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    bool open_ = false;
    HWND window_ = nullptr;
    HWND parent_ = nullptr;
    QmStyle style_ = kStyleFullScreen;
    bool cursorHidden_ = false;
    bool destroying_ = false;  // our own DestroyWindow: not the owner taking the window away
    std::deque<QmMsg> events_;

    void Queue(HWND hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam);
    void CheckParent();
};

LRESULT CALLBACK localWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* host = reinterpret_cast<QmHostW32*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!host) return DefWindowProcA(hwnd, msg, wParam, lParam);  // still being created
    return host->WndProc(hwnd, msg, wParam, lParam);
}

void QmHostW32::Queue(HWND hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    QmMsg m;
    m.hwnd = hwnd, m.message = msg, m.wParam = wParam, m.lParam = lParam;
    events_.push_back(m);
}

LRESULT QmHostW32::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd != window_) return DefWindowProcA(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;  // never erased: the desktop stays visible until the first frame
        case WM_PAINT:
            ValidateRect(hwnd, nullptr);  // drawing belongs to the render thread
            return 0;
        case WM_SETCURSOR:
            if (cursorHidden_ && LOWORD(lParam) == HTCLIENT) {
                SetCursor(nullptr);
                return TRUE;
            }
            break;
        case WM_CLOSE:
            Queue(hwnd, kWmClose, 0, 0);
            return 0;  // the saver's ending rules decide
        case WM_DESTROY:
            // A pane that closes takes our window along. The handle stays as the saver knows it:
            // the end request is addressed to it, and DestroyWindow lets it go.
            if (!destroying_) qmRequestEnd(kEndWindowGone);
            return 0;
        case WM_SYSCOMMAND:
            if (style_ == kStyleFullScreen) {
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
            if (style_ == kStyleDesktop) Queue(hwnd, kWmSize, LOWORD(lParam), HIWORD(lParam));
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
            if (style_ != kStyleRecord) Queue(hwnd, msg, wParam, lParam);
            return 0;
        case WM_ACTIVATE:
        case WM_ACTIVATEAPP:
        case WM_NCACTIVATE:
            if (style_ != kStyleRecord) Queue(hwnd, msg, wParam, lParam);
            break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool QmHostW32::Open() {
    if (open_) return true;
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
    open_ = true;
    return true;
}

void QmHostW32::Close() {
    if (window_) DestroyWindow(window_);
    if (open_) UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
    open_ = false;
    events_.clear();
}

bool QmHostW32::ClientSize(void* window, int* width, int* height) {
    RECT r;
    if (!IsWindow(window) || !GetClientRect(static_cast<HWND>(window), &r)) return false;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return true;
}

// The primary screen only: the saver on this system covers the screen the system's settings
// name.
std::vector<QmRect> QmHostW32::Monitors() {
    QmRect r;
    r.width = GetSystemMetrics(SM_CXSCREEN);
    r.height = GetSystemMetrics(SM_CYSCREEN);
    return {r};
}

void* QmHostW32::MakeWindow(QmStyle style, void* parent, const QmRect& area) {
    if (!Open()) return nullptr;
    DWORD ex = 0, ws = WS_POPUP;
    int x = area.x, y = area.y, width = area.width, height = area.height;
    switch (style) {
        case kStyleFullScreen:
            ex = WS_EX_TOPMOST;
            break;
        case kStylePreview:
        case kStyleLauncher:
            ws = WS_CHILD;
            x = y = 0;
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
    style_ = style;
    parent_ = static_cast<HWND>(parent);
    cursorHidden_ = false;
    events_.clear();
    HWND w = CreateWindowExA(ex, kClassName, "SCREENSAVER", ws, x, y, width, height, parent_, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (!w) {
        fprintf(stderr, "qmsave: the saver window cannot be created (error %lu)\n", GetLastError());
        return nullptr;
    }
    window_ = w;
    SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return w;
}

void QmHostW32::ShowWindow(void* window) {
    HWND w = static_cast<HWND>(window);
    if (qmPendingEnd() != kEndNone || !IsWindow(w)) return;
    ::ShowWindow(w, SW_SHOW);
    UpdateWindow(w);
    if (style_ == kStyleFullScreen) {
        SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(w);
        SetFocus(w);
    }
}

void QmHostW32::DestroyWindow(void* window) {
    HWND w = static_cast<HWND>(window);
    if (IsWindow(w)) {
        destroying_ = true;
        ::DestroyWindow(w);
        destroying_ = false;
    }
    if (window_ == w) window_ = nullptr, parent_ = nullptr;
    cursorHidden_ = false;
}

void QmHostW32::HideCursor(void* window) {
    if (style_ != kStyleFullScreen || window != window_) return;
    cursorHidden_ = true;
    SetCursor(nullptr);
}

bool QmHostW32::GetCursorPos(QmPoint* p) {
    POINT pt;
    if (!::GetCursorPos(&pt)) return false;
    p->x = pt.x, p->y = pt.y;
    return true;
}

void QmHostW32::CheckParent() {
    if (parent_ && !::IsWindow(parent_)) {
        parent_ = nullptr;
        qmRequestEnd(kEndWindowGone);
    }
}

int QmHostW32::NextEvent(QmMsg* m, int timeoutMs) {
    DWORD start = GetTickCount();
    HANDLE endEvent = static_cast<HANDLE>(qmEndRequestEvent());
    for (;;) {
        CheckParent();
        QmEnd why = qmTakeEnd();
        if (why != kEndNone) {
            *m = QmMsg();
            m->hwnd = window_;
            m->message = kWmHostEnd;
            m->lParam = why;
            return 1;
        }
        if (!events_.empty()) {
            *m = events_.front();
            events_.pop_front();
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
        if (parent_ && wait > kParentCheckMs) wait = kParentCheckMs;
        DWORD r = MsgWaitForMultipleObjects(1, &endEvent, FALSE, wait, QS_ALLINPUT);
        if (r == WAIT_FAILED) return -1;
    }
}

bool QmHostW32::TakePhotograph(FXScrShot* shot, void* window) {
    HWND w = static_cast<HWND>(window);
    RECT r;
    if (!IsWindow(w) || !GetClientRect(w, &r)) return false;
    // Exactly the area the window will cover, photographed while it is not shown yet.
    POINT origin = {0, 0};
    ClientToScreen(w, &origin);
    return shot->UpdateArea(origin.x, origin.y, r.right, r.bottom);
}

bool QmHostW32::IsWin9x() {
    OSVERSIONINFOA v;
    ZeroMemory(&v, sizeof(v));
    v.dwOSVersionInfoSize = sizeof(v);  // 148 bytes
    return GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

bool QmHostW32::ScreenSaveUsesPassword() {
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key) != ERROR_SUCCESS) return false;
    DWORD value = 0, size = sizeof(value);
    LONG r = RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && value != 0;
}

}  // namespace

std::unique_ptr<PHost> qmCreateHost() { return std::unique_ptr<PHost>(new QmHostW32); }

// Windows has one window system.
std::unique_ptr<PHost> qmCreateHostFor(QmStyle, QmWindowSystem asked) {
    if (asked == kSystemAuto) return qmCreateHost();
    fprintf(stderr, "qmsave: --x11 and --wayland choose a Linux window system\n");
    return nullptr;
}

// The system starts screen savers itself after the idle time chosen in its settings.
int qmIdleMain(double, QmWindowSystem, int (*)(void*, bool*), void*) {
    fprintf(stderr, "qmsave: --idle waits for idle time on a Wayland compositor; Windows starts the saver "
                    "itself after the wait chosen in the screen saver settings\n");
    return 2;
}
