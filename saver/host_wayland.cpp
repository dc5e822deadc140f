// The saver's host on a Wayland compositor: the full-screen style only, one surface per output
// (layer-shell, else a full-screen toplevel: wayland_surfaces.h), each with its own scene of its
// output's size. A Wayland surface shows as soon as a buffer is committed to it, and a scene
// starts drawing as soon as it is built: so the first window asked for photographs every output
// (screencopy) before any surface exists, and each scene is then handed its own photograph. A
// compositor without screencopy gives scenes without a photograph (one line in the log says so).
//
// The seat's keys, buttons and motion become the host's messages, so the generic host's ending
// rules apply unchanged; the compositor tells no global cursor position, so the cursor reported
// is the last one a motion gave, and (-1, -1) before any: the first motion after the grace time
// ends the saver. An output that goes away ends its own scene; a lost connection ends the run with
// status 1 and a message. The loop waits on the connection and on the end requests' descriptor,
// never polling.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <wayland-client.h>

#include "base/other.h"
#include "base/trace.h"
#include "base/wayland_display.h"
#include "image/scrshot.h"
#include "image/scrshot_wayland.h"
#include "saver/host_wayland.h"
#include "saver/wayland_surfaces.h"

namespace {

// Pointer buttons (linux/input-event-codes.h); the left one and any other count as the left.
const uint32_t kBtnRight = 0x111, kBtnMiddle = 0x112;
const uint32_t kMaxKeyCode = 1024;
// How long the compositor may take to configure the surfaces.
const int kConfigureTimeoutMs = 5000;

class QmHostWayland final : public PHost {
public:
    ~QmHostWayland() override { Close(); }

    bool Open() override;
    void Close() override;
    bool DisplayLost() override { return wl_.Lost(); }
    bool IsWindow(void* window) override { return Find(window) != nullptr; }
    bool ClientSize(void* window, int* width, int* height) override;
    std::vector<QmRect> Monitors() override;
    void* MakeWindow(QmStyle style, void* parent, const QmRect& area) override;
    void ShowWindow(void*) override {}  // a surface shows with the first frame its scene swaps
    void DestroyWindow(void* window) override;
    void HideCursor(void*) override {}  // the surfaces hide it whenever the pointer enters them
    bool GetCursorPos(QmPoint* p) override;
    int NextEvent(QmMsg* m, int timeoutMs) override;
    bool TakePhotograph(FXScrShot* shot, void* window) override;
    FXNativeWindow DrawingWindow(void* window) override;

private:
    // One saver window: a surface of surfaces_.
    struct Win {
        void* handle = nullptr;  // the wl_surface
        int index = 0;
    };

    FXWaylandDisplay wl_;
    QmWaylandSurfaces surfaces_;
    bool made_ = false;  // the surfaces exist (made with the first window)
    std::vector<Win> windows_;
    std::vector<std::unique_ptr<FXScrShot>> shots_;  // per surface index, until its scene takes it
    std::vector<bool> pressed_ = std::vector<bool>(kMaxKeyCode, false);
    QmPoint cursor_;  // in the layout, from the last motion
    bool lostReported_ = false;
    bool toldNoScreencopy_ = false;

    Win* Find(void* window);
    Win* FindIndex(int index);
    bool MakeSurfaces();
    bool Translate(const QmWaylandEvent& e, QmMsg* m);
};

void localSetMessage(QmMsg* m, void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    m->hwnd = hwnd;
    m->message = msg;
    m->wParam = wParam;
    m->lParam = lParam;
}

bool QmHostWayland::Open() {
    if (wl_.display) return !wl_.Lost();
    if (!wl_.Connect()) {
        const char* name = getenv("WAYLAND_DISPLAY");
        fprintf(stderr, "qmsave: cannot connect to the Wayland compositor %s\n", name ? name : "wayland-0");
        return false;
    }
    wl_.alsoWatch = qmEndRequestFd();
    cursor_.x = cursor_.y = -1;
    return true;
}

void QmHostWayland::Close() {
    windows_.clear();
    shots_.clear();
    surfaces_.Destroy();
    made_ = false;
    if (wl_.display && !wl_.Lost()) wl_.Roundtrip();  // the surfaces are gone from the screen before we end
    wl_.Disconnect();
}

QmHostWayland::Win* QmHostWayland::Find(void* window) {
    for (Win& w : windows_)
        if (window && w.handle == window) return &w;
    return nullptr;
}

QmHostWayland::Win* QmHostWayland::FindIndex(int index) {
    for (Win& w : windows_)
        if (w.index == index) return &w;
    return nullptr;
}

bool QmHostWayland::ClientSize(void* window, int* width, int* height) {
    Win* w = Find(window);
    if (!w) return false;
    *width = surfaces_.Get(w->index).PixelWidth();
    *height = surfaces_.Get(w->index).PixelHeight();
    return true;
}

std::vector<QmRect> QmHostWayland::Monitors() {
    std::vector<QmRect> all;
    if (!Open()) return all;
    for (const auto& out : wl_.outputs) {
        QmRect r;
        r.x = out->x, r.y = out->y;
        r.width = out->ShownWidth(), r.height = out->ShownHeight();
        all.push_back(r);
    }
    if (all.empty()) fprintf(stderr, "qmsave: the Wayland compositor has no output to show the saver on\n");
    return all;
}

// Every output photographed, then a surface made on each (none shown yet).
bool QmHostWayland::MakeSurfaces() {
    made_ = true;
    shots_.clear();
    for (const auto& out : wl_.outputs) {
        std::unique_ptr<FXScrShot> shot(new FXScrShot);
        if (!fxScrShotWaylandOutput(shot.get(), &wl_, *out)) shot.reset();
        shots_.push_back(std::move(shot));
    }
    if (!surfaces_.Create(&wl_, kConfigureTimeoutMs)) {
        fprintf(stderr, "qmsave: the compositor gave the saver no full-screen surface (see the log)\n");
        return false;
    }
    return true;
}

void* QmHostWayland::MakeWindow(QmStyle style, void*, const QmRect& area) {
    if (style != kStyleFullScreen) {
        fprintf(stderr, "qmsave: on Wayland the saver runs full screen only (-s, -root); --x11 runs this mode "
                        "under Xwayland\n");
        return nullptr;
    }
    if (!Open() || (!made_ && !MakeSurfaces())) return nullptr;
    // The output at that place, else the first one still without a window.
    int chosen = -1;
    for (int i = 0; i < surfaces_.Count() && chosen < 0; i++) {
        const FXWaylandOutput* out = wl_.FindOutput(surfaces_.Get(i).outputName);
        if (!FindIndex(i) && surfaces_.Get(i).surface && out && out->x == area.x && out->y == area.y) chosen = i;
    }
    for (int i = 0; i < surfaces_.Count() && chosen < 0; i++)
        if (!FindIndex(i) && surfaces_.Get(i).surface && !surfaces_.Get(i).closed) chosen = i;
    if (chosen < 0) {
        fprintf(stderr, "qmsave: no Wayland surface for the monitor at %d,%d\n", area.x, area.y);
        return nullptr;
    }
    Win w;
    w.handle = surfaces_.Get(chosen).surface;
    w.index = chosen;
    windows_.push_back(w);
    return w.handle;
}

void QmHostWayland::DestroyWindow(void* window) {
    Win* w = Find(window);
    if (!w) return;
    surfaces_.Remove(w->index);
    if (size_t(w->index) < shots_.size()) shots_[size_t(w->index)].reset();
    windows_.erase(windows_.begin() + (w - windows_.data()));
    if (windows_.empty()) {
        surfaces_.Destroy();
        made_ = false;
        std::fill(pressed_.begin(), pressed_.end(), false);
        if (!wl_.Lost()) wl_.Roundtrip();  // off the screen now, not at the next event
    }
}

bool QmHostWayland::GetCursorPos(QmPoint* p) {
    if (!wl_.display || wl_.Lost()) return false;
    *p = cursor_;
    return true;
}

bool QmHostWayland::TakePhotograph(FXScrShot* shot, void* window) {
    Win* w = Find(window);
    if (!w || size_t(w->index) >= shots_.size() || !shots_[size_t(w->index)]) {
        // Said here, once: the scene asks after the log is open, the captures came before.
        if (!wl_.screencopy && !toldNoScreencopy_)
            err("host: the compositor offers no screencopy; the scenes start without a photograph\n");
        toldNoScreencopy_ = true;
        return false;
    }
    shot->picture.Copy(&shots_[size_t(w->index)]->picture);
    shot->count++;
    shots_[size_t(w->index)].reset();  // the scene has it now
    return true;
}

FXNativeWindow QmHostWayland::DrawingWindow(void* window) {
    Win* w = Find(window);
    if (!w) return FXNativeWindow();
    const QmWaylandSurfaces::Surface& s = surfaces_.Get(w->index);
    trc("host: a scene on %s, %d x %d, %s\n", s.outputName.c_str(), s.PixelWidth(), s.PixelHeight(),
        surfaces_.UsesLayerShell() ? "layer-shell" : "full-screen toplevel");
    return surfaces_.NativeWindow(w->index);
}

// One event of the surfaces as a message for a saver window; false when it makes none.
bool QmHostWayland::Translate(const QmWaylandEvent& e, QmMsg* m) {
    if (windows_.empty()) return false;
    Win* w = FindIndex(e.surface);
    // Input without a focused saver surface (the seat's focus not yet on one) still counts.
    void* hwnd = w ? w->handle : windows_.front().handle;
    switch (e.kind) {
        case QmWaylandEvent::kKey: {
            if (e.code >= kMaxKeyCode) return false;
            // A release without a press of ours belongs to the key that started the saver (the
            // Enter of a terminal), still held when the surface took the keyboard.
            if (!e.pressed && !pressed_[e.code]) return false;
            pressed_[e.code] = e.pressed;
            localSetMessage(m, hwnd, e.pressed ? kWmKeyDown : kWmKeyUp, e.code, 0);
            return true;
        }
        case QmWaylandEvent::kButton: {
            if (!e.pressed) return false;
            unsigned msg = e.code == kBtnRight ? kWmRButtonDown : e.code == kBtnMiddle ? kWmMButtonDown : kWmLButtonDown;
            localSetMessage(m, hwnd, msg, 0, intptr_t((int(e.y) << 16) | (int(e.x) & 0xFFFF)));
            return true;
        }
        case QmWaylandEvent::kMotion: {
            const FXWaylandOutput* out = w ? wl_.FindOutput(surfaces_.Get(w->index).outputName) : nullptr;
            cursor_.x = (out ? out->x : 0) + int(e.x);
            cursor_.y = (out ? out->y : 0) + int(e.y);
            localSetMessage(m, hwnd, kWmMouseMove, 0, 0);
            return true;
        }
        case QmWaylandEvent::kResized:
            if (!w) return false;
            localSetMessage(m, w->handle, kWmSize, uintptr_t(e.width), e.height);
            return true;
        case QmWaylandEvent::kClosed:
        case QmWaylandEvent::kOutputGone:
            if (!w) return false;
            trc("host: the surface on %s %s\n", surfaces_.Get(w->index).outputName.c_str(),
                e.kind == QmWaylandEvent::kClosed ? "was closed by the compositor" : "lost its output");
            localSetMessage(m, w->handle, kWmHostEnd, 0, kEndMonitorGone);
            return true;
    }
    return false;
}

int QmHostWayland::NextEvent(QmMsg* m, int timeoutMs) {
    int64_t deadline = timeoutMs >= 0 ? fxSystemMillis() + timeoutMs : -1;
    void* first = windows_.empty() ? nullptr : windows_.front().handle;
    for (;;) {
        if (QmEnd why = qmTakeEnd()) {
            localSetMessage(m, first, kWmHostEnd, 0, why);
            return 1;
        }
        if (!wl_.display) return -1;
        if (wl_.Lost()) {
            if (lostReported_) return -1;
            lostReported_ = true;
            fprintf(stderr, "qmsave: the connection to the Wayland compositor was lost\n");
            localSetMessage(m, first, kWmHostEnd, 0, kEndDisplayLost);
            return 1;
        }
        QmWaylandEvent e;
        while (surfaces_.NextEvent(&e))
            if (Translate(e, m)) return 1;
        int wait = -1;
        if (deadline >= 0) {
            int64_t left = deadline - fxSystemMillis();
            if (left <= 0) return 0;
            wait = int(left);
        }
        wl_.Dispatch(wait);
    }
}

}  // namespace

std::unique_ptr<PHost> qmCreateWaylandHost() { return std::unique_ptr<PHost>(new QmHostWayland); }

bool qmWaylandCompositorAnswers() {
    const char* name = getenv("WAYLAND_DISPLAY");
    if (!name || !*name) return false;
    wl_display* d = wl_display_connect(nullptr);
    if (!d) return false;
    wl_display_disconnect(d);
    return true;
}
