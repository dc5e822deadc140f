// Screen capture on Wayland: zwlr_screencopy_manager_v1's capture_output into a wl_shm buffer of
// the format the compositor offers, converted to the engine's R, G, B, A rows. The compositor's
// buffer holds the output as its panel is laid out, possibly bottom row first (y_invert); the
// output's transform turns it the way the user sees it. The fourth byte of a pixel is never read.
#include <errno.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include <wayland-client.h>

#include "base/trace.h"
#include "base/wayland_display.h"
#include "image/scrshot.h"
#include "image/scrshot_wayland.h"
#include "wlr-screencopy-unstable-v1-client.h"

namespace {

// The largest side accepted from the compositor: a buffer beyond it is refused, not mapped.
constexpr int kMaxSide = 16384;
// How long a capture may take before it is given up (the compositor draws the frame first).
constexpr int kCaptureTimeoutMs = 5000;

// Where a shown pixel (x, y) of a W x H picture comes from in a w x h buffer that the output's
// transform turns into it: a quarter turn counter-clockwise per step, after a mirror for the
// flipped transforms.
inline void localSource(int transform, int x, int y, int w, int h, int* bx, int* by) {
    switch (transform & 3) {
    case 0: *bx = x; *by = y; break;
    case 1: *bx = w - 1 - y; *by = x; break;
    case 2: *bx = w - 1 - x; *by = h - 1 - y; break;
    default: *bx = y; *by = h - 1 - x; break;
    }
    if (transform & 4) *bx = w - 1 - *bx;
}

// One capture's state, filled by the frame's events.
struct localFrame {
    uint32_t format = 0;
    int width = 0, height = 0, stride = 0;
    bool haveFormat = false;  // a buffer event with a format read here
    bool bufferDone = false;  // the compositor listed every buffer it offers
    bool yInvert = false;
    bool ready = false;
    bool failed = false;
};

localFrame* localState(void* data) { return static_cast<localFrame*>(data); }

void localBuffer(void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height,
                 uint32_t stride) {
    localFrame* f = localState(data);
    int r, g, b;
    if (f->haveFormat || !fxShmFormatOffsets(format, &r, &g, &b)) return;
    f->format = format;
    f->width = int(width > uint32_t(kMaxSide) ? 0 : width);
    f->height = int(height > uint32_t(kMaxSide) ? 0 : height);
    f->stride = int(stride > uint32_t(kMaxSide) * 8 ? 0 : stride);
    f->haveFormat = true;
}
void localFlags(void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
    localState(data)->yInvert = (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
}
void localReady(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) { localState(data)->ready = true; }
void localFailed(void* data, zwlr_screencopy_frame_v1*) { localState(data)->failed = true; }
void localDamage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void localDmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}
void localBufferDone(void* data, zwlr_screencopy_frame_v1*) { localState(data)->bufferDone = true; }
const zwlr_screencopy_frame_v1_listener localFrameListener = {localBuffer, localFlags,  localReady,     localFailed,
                                                              localDamage, localDmabuf, localBufferDone};

// Shared memory for one buffer, unmapped and closed when it goes.
struct localShm {
    int fd = -1;
    void* data = MAP_FAILED;
    size_t size = 0;
    wl_buffer* buffer = nullptr;

    ~localShm() {
        if (buffer) wl_buffer_destroy(buffer);
        if (data != MAP_FAILED) munmap(data, size);
        if (fd >= 0) close(fd);
    }

    bool Create(wl_shm* shm, const localFrame& f) {
        size = size_t(f.stride) * size_t(f.height);
        if (size > size_t(INT32_MAX)) return false;  // a pool's size is a 32-bit count
        fd = memfd_create("qmsave-capture", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, off_t(size)) != 0) return false;
        data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (data == MAP_FAILED) return false;
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(size));
        buffer = wl_shm_pool_create_buffer(pool, 0, f.width, f.height, f.stride, f.format);
        wl_shm_pool_destroy(pool);
        return buffer != nullptr;
    }
};

// Handles events until done() holds, the capture fails or the time runs out.
template <typename Done>
bool localWait(FXWaylandDisplay* wl, const localFrame& f, Done done) {
    for (int waited = 0; !done() && !f.failed; waited += 100) {
        if (waited >= kCaptureTimeoutMs || wl->Dispatch(100) < 0) return false;
    }
    return !f.failed;
}

}  // namespace

bool fxShmFormatOffsets(uint32_t format, int* r, int* g, int* b) {
    // Offsets in memory order; wl_shm names its formats by the 32-bit value on a little-endian
    // machine (ARGB8888: bytes B, G, R, A).
    switch (format) {
    case WL_SHM_FORMAT_ARGB8888:
    case WL_SHM_FORMAT_XRGB8888: *r = 2; *g = 1; *b = 0; return true;
    case WL_SHM_FORMAT_ABGR8888:
    case WL_SHM_FORMAT_XBGR8888: *r = 0; *g = 1; *b = 2; return true;
    case WL_SHM_FORMAT_BGRA8888:
    case WL_SHM_FORMAT_BGRX8888: *r = 1; *g = 2; *b = 3; return true;
    case WL_SHM_FORMAT_RGBA8888:
    case WL_SHM_FORMAT_RGBX8888: *r = 3; *g = 2; *b = 1; return true;
    default: return false;
    }
}

bool fxCopyShmPixels(const unsigned char* src, size_t size, uint32_t format, int w, int h, int stride,
                     bool yInvert, int transform, FXPixmap* dst) {
    int ro, go, bo;
    if (!src || !dst || !fxShmFormatOffsets(format, &ro, &go, &bo)) return false;
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide || stride < w * 4) return false;
    if (size_t(stride) * size_t(h - 1) + size_t(w) * 4 > size) return false;
    transform &= 7;
    const int shownW = (transform & 1) ? h : w, shownH = (transform & 1) ? w : h;
    if (dst->Realloc(shownW, shownH) <= 0) return false;
    if (dst->bufWidth != shownW || dst->bufHeight != shownH) dst->Clear(0xFF000000u);  // opaque black beyond
    for (int y = 0; y < shownH; y++) {
        unsigned char* out = dst->PixelBytes(0, y);
        for (int x = 0; x < shownW; x++, out += 4) {
            int bx, by;
            localSource(transform, x, y, w, h, &bx, &by);
            if (yInvert) by = h - 1 - by;
            const unsigned char* p = src + size_t(by) * size_t(stride) + size_t(bx) * 4;
            out[0] = p[ro];
            out[1] = p[go];
            out[2] = p[bo];
            out[3] = 255;
        }
    }
    return true;
}

bool fxScrShotWaylandOutput(FXScrShot* shot, FXWaylandDisplay* wl, const FXWaylandOutput& output) {
    if (!shot || !wl || !wl->display || !output.output) return false;
    if (!wl->screencopy || !wl->shm) {
        if (!wl->toldNoScreencopy)
            err("wayland: the compositor offers no screencopy; the saver starts without a photograph\n");
        wl->toldNoScreencopy = true;
        return false;
    }
    localFrame f;
    zwlr_screencopy_frame_v1* frame = zwlr_screencopy_manager_v1_capture_output(wl->screencopy, 0, output.output);
    zwlr_screencopy_frame_v1_add_listener(frame, &localFrameListener, &f);
    // From version 3 on the compositor lists every buffer kind it offers, then says it is done.
    const bool listsAll = wl->screencopyVersion >= 3;
    bool ok = localWait(wl, f, [&] { return listsAll ? f.bufferDone : f.haveFormat; });
    localShm mem;
    if (ok && (!f.haveFormat || f.width <= 0 || f.height <= 0 || f.stride < f.width * 4)) {
        err("wayland: screencopy of %s offers no shared-memory format read here\n", output.name.c_str());
        ok = false;
    } else if (ok && !mem.Create(wl->shm, f)) {
        err("wayland: no shared memory for the capture of %s (%s)\n", output.name.c_str(), strerror(errno));
        ok = false;
    } else if (ok) {
        zwlr_screencopy_frame_v1_copy(frame, mem.buffer);
        ok = localWait(wl, f, [&] { return f.ready; });
        if (!ok) err("wayland: screencopy of %s failed\n", output.name.c_str());
    }
    zwlr_screencopy_frame_v1_destroy(frame);
    if (!ok) return false;
    FXPixmap& px = shot->picture.pixmap;
    if (!fxCopyShmPixels(static_cast<const unsigned char*>(mem.data), mem.size, f.format, f.width, f.height,
                         f.stride, f.yInvert, output.transform, &px)) {
        err("wayland: the capture of %s could not be converted\n", output.name.c_str());
        return false;
    }
    shot->count++;
    return true;
}
