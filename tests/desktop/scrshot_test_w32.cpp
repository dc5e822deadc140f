// The desktop photograph through DirectDraw on Windows (run under Wine by ./qm wintest): a window
// painted with a known pattern over the whole screen is what the capture must give back, top row
// first, opaque, in R, G, B order.
#include <windows.h>

#include <gtest/gtest.h>

#include "image/scrshot.h"

namespace {

const COLORREF kLeft = RGB(200, 30, 10);
const COLORREF kRight = RGB(20, 40, 220);
const COLORREF kBottom = RGB(10, 180, 60);

LRESULT CALLBACK localPaint(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_PAINT) return DefWindowProcA(hwnd, msg, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    auto fill = [&](int l, int t, int rr, int b, COLORREF c) {
        RECT box = {l, t, rr, b};
        HBRUSH brush = CreateSolidBrush(c);
        FillRect(dc, &box, brush);
        DeleteObject(brush);
    };
    fill(0, 0, r.right / 2, r.bottom / 2, kLeft);
    fill(r.right / 2, 0, r.right, r.bottom / 2, kRight);
    fill(0, r.bottom / 2, r.right, r.bottom, kBottom);
    EndPaint(hwnd, &ps);
    return 0;
}

bool localNear(const FXCanvas& c, int x, int y, COLORREF want) {
    const unsigned char* p = const_cast<FXCanvas&>(c).pixmap.PixelBytes(x, y);
    auto close = [](int a, int b) { return a - b < 8 && b - a < 8; };
    return close(p[0], GetRValue(want)) && close(p[1], GetGValue(want)) && close(p[2], GetBValue(want)) && p[3] == 255;
}

}  // namespace

TEST(DesktopCapture, GivesTheScreenTopRowFirstAsOpaqueRgb) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = localPaint;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QmCaptureTest";
    ASSERT_TRUE(RegisterClassA(&wc));
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, "QmCaptureTest", "pattern", WS_POPUP | WS_VISIBLE, 0, 0, w, h,
                                nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);
    UpdateWindow(hwnd);
    MSG msg;
    for (int i = 0; i < 50; i++) {  // let the window system show it
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(20);
    }
    {
        FXScrShot shot;
        ASSERT_TRUE(shot.Update());
        EXPECT_EQ(shot.count, 1);
        ASSERT_GE(shot.picture.GetWidth(), w);
        ASSERT_GE(shot.picture.GetHeight(), h);
        EXPECT_TRUE(localNear(shot.picture, 10, 10, kLeft));
        EXPECT_TRUE(localNear(shot.picture, w - 10, 10, kRight));
        EXPECT_TRUE(localNear(shot.picture, w / 2, h - 10, kBottom));
        // An area: its own top-left corner is (0, 0) of the picture; outside the screen is black.
        ASSERT_TRUE(shot.UpdateArea(w / 2 - 4, h / 2 - 4, 16, 16));
        EXPECT_EQ(shot.count, 2);
        EXPECT_TRUE(localNear(shot.picture, 0, 0, kLeft));
        EXPECT_TRUE(localNear(shot.picture, 6, 0, kRight));
        EXPECT_TRUE(localNear(shot.picture, 0, 6, kBottom));
        ASSERT_TRUE(shot.UpdateArea(w - 2, h - 2, 4, 4));
        EXPECT_TRUE(localNear(shot.picture, 0, 0, kBottom));
        EXPECT_TRUE(localNear(shot.picture, 3, 3, RGB(0, 0, 0)));
    }
    DestroyWindow(hwnd);
}
