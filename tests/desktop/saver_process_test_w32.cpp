// qmsave.scr started as the display settings start it (run under Wine by ./qm wintest, which
// names the demo package's folder in QMSAVE_PATH): the full-screen switch shows the saver window
// over a known desktop, builds the scene on it and a key ends it with 0; on a test package whose
// opening shows the photograph mirrored, the screen holds that photograph; the preview switch
// draws into a child of exactly the pane's client size and ends when the pane is destroyed.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "image/devil.h"
#include "support/scene_package.h"
#include "support/test_support.h"

namespace {

const COLORREF kLeft = RGB(255, 0, 0);
const COLORREF kRight = RGB(0, 0, 255);

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

// One pixel of the screen as the window system shows it (0xRRGGBB), read through the screen's
// device context.
unsigned localScreenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 1;
    bi.bmiHeader.biHeight = 1;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, 1, 1, screen, x, y, SRCCOPY);
    GdiFlush();
    unsigned v = *static_cast<uint32_t*>(bits) & 0xFFFFFF;  // blue, green, red, pad
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return v;
}

bool localNear(unsigned pixel, COLORREF want) {
    auto close = [](int a, int b) { return a - b < 8 && b - a < 8; };
    return close(int(pixel >> 16 & 255), GetRValue(want)) && close(int(pixel >> 8 & 255), GetGValue(want)) &&
           close(int(pixel & 255), GetBValue(want));
}

// Pumps messages until ready() holds or ms have passed.
template <class Fn>
bool localWaitFor(Fn ready, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        if (ready()) return true;
        localPump(50);
    }
    return ready();
}

void localEnd(PROCESS_INFORMATION& pi) {
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

// A folder holding the test package, in the Windows form the saver is handed.
std::string localScenePackageFolder(const QmScenePackage& content) {
    std::string data = qmFreshDir("data");
    if (!fxLoadDevil()) return "";
    std::string why;
    bool written = qmWriteScenePackage(data + "/qmsave.dat", content, &why);
    fxUnloadDevil();
    if (!written) return "";
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(data.c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? std::string(full, n) : data;
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
    localEnd(pi);
    DestroyWindow(desktop);
}

TEST(SaverProcess, FullScreenShowsThePhotographOfTheDesktop) {
    // Content with a long opening that shows the photograph mirrored: blue on the left, red on
    // the right, and in the small bottom-left quad the right way round (red).
    QmScenePackage content;
    content.openingMs = 5000;
    std::string data = localScenePackageFolder(content);
    ASSERT_FALSE(data.empty()) << "the test package cannot be written";
    QmScopedEnv path("QMSAVE_PATH", data.c_str());
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HWND desktop = localPatternWindow(WS_POPUP, 0, 0, w, h);
    ASSERT_NE(desktop, nullptr);
    ASSERT_TRUE(localNear(localScreenPixel(w / 4, h / 4), kLeft)) << "the known desktop is not on the screen";
    PROCESS_INFORMATION pi = localStart("/s");
    ASSERT_NE(pi.hProcess, nullptr);
    HWND saver = localWindowOf(nullptr, 30000);
    EXPECT_NE(saver, nullptr) << "no saver window";
    const int x0 = w / 4, x1 = w * 3 / 4, y = h / 4;
    bool mirrored = localWaitFor(
        [&] {
            return localNear(localScreenPixel(x0, y), kRight) && localNear(localScreenPixel(x1, y), kLeft) &&
                   localNear(localScreenPixel(20, h - 20), kLeft);
        },
        30000);
    EXPECT_TRUE(mirrored) << std::hex << "left " << localScreenPixel(x0, y) << " right " << localScreenPixel(x1, y)
                          << " bottom left " << localScreenPixel(20, h - 20);
    if (saver) PostMessageA(saver, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(localWaitExit(pi, 30000), 0) << "a key did not end the saver";
    localEnd(pi);
    DestroyWindow(desktop);
    std::string log = qmReadText(data + "/qmsave.log");
    EXPECT_NE(log.find("OpenGL info"), std::string::npos) << "the log is in the data folder";
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
}

TEST(SaverProcess, PreviewIsAChildOfThePanesClientSizeAndEndsWithIt) {
    QmScenePackage content;
    std::string data = localScenePackageFolder(content);
    ASSERT_FALSE(data.empty()) << "the test package cannot be written";
    QmScopedEnv path("QMSAVE_PATH", data.c_str());
    HWND pane = localPatternWindow(WS_OVERLAPPEDWINDOW, 40, 50, 203, 161);
    ASSERT_NE(pane, nullptr);
    RECT pr;
    ASSERT_TRUE(GetClientRect(pane, &pr));
    PROCESS_INFORMATION pi = localStart("/p " + std::to_string(uintptr_t(pane)));
    ASSERT_NE(pi.hProcess, nullptr);
    HWND saver = localWindowOf(pane, 30000);
    ASSERT_NE(saver, nullptr) << "no saver window in the pane";
    EXPECT_EQ(GetAncestor(saver, GA_PARENT), pane);
    RECT r;
    ASSERT_TRUE(GetWindowRect(saver, &r));
    POINT origin = {0, 0};
    ClientToScreen(pane, &origin);
    EXPECT_EQ(r.left, origin.x);
    EXPECT_EQ(r.top, origin.y);
    EXPECT_EQ(r.right - r.left, pr.right);
    EXPECT_EQ(r.bottom - r.top, pr.bottom);
    localPump(2000);  // the scene's first frames
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), WAIT_TIMEOUT) << "the preview ended by itself";
    DestroyWindow(pane);  // the settings dialog closes its preview
    EXPECT_EQ(localWaitExit(pi, 30000), 0) << "the saver did not end with its pane";
    localEnd(pi);
}
