// Screen capture on Windows through DirectDraw 7: the primary surface is copied into a surface in
// system memory of the screen's size, which is locked and read into the engine's R, G, B, A
// layout. The cooperative level is set for a null window: with the saver's own window the copy
// comes out black on some systems. The DirectDraw object is created once and kept, with the
// primary surface of the last capture, until the process-wide capture state is released.
#include <windows.h>
#include <ddraw.h>

#include <cstddef>
#include <cstring>

#include "base/trace.h"
#include "image/scrshot.h"

namespace {

IDirectDraw7* localDD7 = nullptr;
IDirectDrawSurface7* localPrim = nullptr;

void localReleasePrimary() {
    if (localPrim) localPrim->Release();
    localPrim = nullptr;
}

// Copies the area of w x h pixels at (x, y) of a locked 32-bit screen surface of sw x sh pixels
// (rows of pitch bytes, blue, green, red, pad) into dst at (0, 0); the area outside the surface
// is left as it is.
void localCopy(const DDSURFACEDESC2& desc, int sw, int sh, int x, int y, int w, int h, FXPixmap* dst) {
    const unsigned char* bits = static_cast<const unsigned char*>(desc.lpSurface);
    for (int row = 0; row < h; row++) {
        int sy = y + row;
        if (sy < 0 || sy >= sh) continue;
        const unsigned char* src = bits + size_t(sy) * size_t(desc.lPitch);
        for (int col = 0; col < w; col++) {
            int sx = x + col;
            if (sx < 0 || sx >= sw) continue;
            const unsigned char* p = src + size_t(sx) * 4;
            unsigned char* out = dst->PixelBytes(col, row);
            out[0] = p[2];
            out[1] = p[1];
            out[2] = p[0];
            out[3] = 255;
        }
    }
}

}  // namespace

FXScrShot::~FXScrShot() {
    localReleasePrimary();
    if (localDD7) localDD7->Release();
    localDD7 = nullptr;
    picture.Destroy();
}

bool FXScrShot::Update() {
    return UpdateArea(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

bool FXScrShot::UpdateArea(int x, int y, int w, int h) {
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
    if (!localDD7 && FAILED(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&localDD7), IID_IDirectDraw7, nullptr))) {
        localDD7 = nullptr;
        err("DirectDrawCreateEx\n");
        return false;
    }
    if (localDD7->SetCooperativeLevel(nullptr, DDSCL_NORMAL) != DD_OK) {
        err("SetCooperativeLevel (dd7)\n");
        return false;
    }
    localReleasePrimary();
    DDSURFACEDESC2 desc;
    memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (localDD7->CreateSurface(&desc, &localPrim, nullptr) != DD_OK) {
        localPrim = nullptr;
        err("CreateSurface (dd7 primary surface)\n");
        return false;
    }
    memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = DWORD(sw);
    desc.dwHeight = DWORD(sh);
    IDirectDrawSurface7* back = nullptr;
    if (localDD7->CreateSurface(&desc, &back, nullptr) != DD_OK) {
        err("CreateSurface (dd7 back surface)\n");
        return false;
    }
    if (FAILED(back->Blt(nullptr, localPrim, nullptr, DDBLT_WAIT, nullptr))) {
        err("Blt (dd7 - from primary to back)\n");
        back->Release();
        return false;
    }
    if (picture.pixmap.Realloc(w, h) <= 0) {
        err("FXPixmap::Realloc (screen capture %d x %d)\n", w, h);
        back->Release();
        return false;
    }
    const float black[4] = {0, 0, 0, 1};
    picture.Clear(black);
    memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    if (FAILED(back->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) {
        err("Lock (dd7 - back)\n");
        back->Release();
        return false;
    }
    // Only 32-bit pixels (blue, green, red, pad) are read; rows must hold the whole width, and
    // the surface must be as large as asked, so nothing beyond the locked memory is touched.
    const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    bool ok = desc.lpSurface && pf.dwRGBBitCount == 32 && pf.dwRBitMask == 0xFF0000 && pf.dwGBitMask == 0xFF00 &&
              pf.dwBBitMask == 0xFF && desc.lPitch >= LONG(sw) * 4 && desc.dwWidth >= DWORD(sw) &&
              desc.dwHeight >= DWORD(sh);
    if (ok)
        localCopy(desc, sw, sh, x, y, w, h, &picture.pixmap);
    else
        err("unsupported screen format (%lu bits per pixel)\n", static_cast<unsigned long>(pf.dwRGBBitCount));
    back->Unlock(nullptr);
    back->Release();
    if (ok) count++;
    return ok;
}

// Windows hands no picture of the screen to a saver: there is nothing to read.
bool FXScrShot::UpdateDrawable(void*, int, int, int, int) { return false; }
