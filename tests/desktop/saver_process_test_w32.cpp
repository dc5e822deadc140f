// qmsave.scr started as the display settings start it (run under Wine by ./qm wintest, which
// names the demo package's folder in QMSAVE_PATH): the full-screen switch shows the saver window
// over a known desktop, builds the scene on it and a key ends it with 0.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

const COLORREF kLeft = RGB(200, 30, 10);
const COLORREF kRight = RGB(20, 40, 220);

LRESULT CALLBACK localHalves(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_PAINT) return DefWindowProcA(hwnd, msg, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    RECT left = {0, 0, r.right / 2, r.bottom}, right = {r.right / 2, 0, r.right, r.bottom};
    HBRUSH a = CreateSolidBrush(kLeft), b = CreateSolidBrush(kRight);
    FillRect(dc, &left, a);
    FillRect(dc, &right, b);
    DeleteObject(a);
    DeleteObject(b);
    EndPaint(hwnd, &ps);
    return 0;
}

void localPump(int ms) {
    for (int waited = 0; waited < ms; waited += 10) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
}

std::string localSaver() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    return p.substr(0, p.find_last_of("\\/") + 1) + "qmsave.scr";
}

PROCESS_INFORMATION localStart(const std::string& args) {
    std::string line = "\"" + localSaver() + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) pi.hProcess = nullptr;
    return pi;
}

// Waits for the process while pumping this thread's messages; its exit code, or -1 on time-out.
long localWaitExit(const PROCESS_INFORMATION& pi, int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(pi.hProcess, &code);
            return long(code);
        }
        localPump(20);
    }
    return -1;
}

HWND localWindowOf(HWND parent, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        HWND w = FindWindowExA(parent, nullptr, "WindowsScreenSaverClass", nullptr);
        if (w) return w;
        localPump(50);
    }
    return nullptr;
}

HWND localPatternWindow(DWORD style, int x, int y, int w, int h) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = localHalves;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QmHalves";
        registered = RegisterClassA(&wc) != 0;
    }
    HWND hwnd = CreateWindowExA(0, "QmHalves", "halves", style | WS_VISIBLE, x, y, w, h, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    UpdateWindow(hwnd);
    localPump(300);
    return hwnd;
}

}  // namespace

TEST(SaverProcess, FullScreenRunsUntilAKey) {
    if (!getenv("QMSAVE_PATH")) GTEST_SKIP() << "QMSAVE_PATH names no demo package (./qm wintest sets it)";
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HWND desktop = localPatternWindow(WS_POPUP, 0, 0, w, h);
    ASSERT_NE(desktop, nullptr);
    PROCESS_INFORMATION pi = localStart("/s");
    ASSERT_NE(pi.hProcess, nullptr);
    HWND saver = localWindowOf(nullptr, 30000);
    ASSERT_NE(saver, nullptr) << "no saver window";
    RECT r;
    GetClientRect(saver, &r);
    EXPECT_EQ(r.right, w);
    EXPECT_EQ(r.bottom, h);
    localPump(3000);  // the scene's first frames
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), WAIT_TIMEOUT) << "the saver ended by itself";
    PostMessageA(saver, WM_KEYDOWN, 'Q', 0);
    EXPECT_EQ(localWaitExit(pi, 30000), 0) << "a key did not end the saver";
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    DestroyWindow(desktop);
}
