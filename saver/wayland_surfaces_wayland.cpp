// The saver's Wayland surfaces: a layer-shell surface (or a full-screen xdg_toplevel) per output,
// their configures acknowledged, and the seat's keyboard and pointer turned into events. The
// pointer's cursor is hidden over the surfaces; a keymap the compositor sends is not needed (any
// key ends the saver) and its descriptor is closed at once.
#include <unistd.h>

#include <cstdlib>

#include <wayland-client.h>

#include "base/trace.h"
#include "base/wayland_display.h"
#include "saver/wayland_surfaces.h"
#include "wlr-layer-shell-unstable-v1-client.h"
#include "xdg-shell-client.h"

namespace {

QmWaylandSurfaces::Surface* localSurface(void* data) { return static_cast<QmWaylandSurfaces::Surface*>(data); }
QmWaylandSurfaces* localOwner(void* data) { return static_cast<QmWaylandSurfaces*>(data); }

// A new size from the compositor: recorded, announced when it changes a configured surface.
void localSize(QmWaylandSurfaces::Surface* s, int width, int height) {
    bool changed = s->configured && (width != s->width || height != s->height);
    s->width = width;
    s->height = height;
    s->configured = true;
    if (!changed) return;
    QmWaylandEvent e;
    e.kind = QmWaylandEvent::kResized;
    e.surface = s->index;
    e.width = s->PixelWidth();
    e.height = s->PixelHeight();
    s->owner->Push(e);
}

void localClosed(QmWaylandSurfaces::Surface* s) {
    if (s->closed) return;
    s->closed = true;
    QmWaylandEvent e;
    e.kind = QmWaylandEvent::kClosed;
    e.surface = s->index;
    s->owner->Push(e);
}

// ---- layer surface ----
void localLayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    localSize(localSurface(data), int(width), int(height));
}
void localLayerClosed(void* data, zwlr_layer_surface_v1*) { localClosed(localSurface(data)); }
const zwlr_layer_surface_v1_listener localLayerListener = {localLayerConfigure, localLayerClosed};

// ---- full-screen toplevel: the size comes with the toplevel's configure, the serial with the
// xdg_surface's that follows it ----
void localXdgConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    xdg_surface_ack_configure(surface, serial);
    QmWaylandSurfaces::Surface* s = localSurface(data);
    localSize(s, s->width, s->height);
}
const xdg_surface_listener localXdgSurfaceListener = {localXdgConfigure};
void localToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
    // Zero leaves the size to the client: the output's, as it was set when the surface was made.
    if (width > 0 && height > 0) {
        localSurface(data)->width = width;
        localSurface(data)->height = height;
    }
}
void localToplevelClose(void* data, xdg_toplevel*) { localClosed(localSurface(data)); }
void localToplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void localToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}
const xdg_toplevel_listener localToplevelListener = {localToplevelConfigure, localToplevelClose, localToplevelBounds,
                                                     localToplevelCapabilities};

// ---- seat ----
QmWaylandEvent localInput(QmWaylandEvent::Kind kind, int surface, uint32_t time) {
    QmWaylandEvent e;
    e.kind = kind;
    e.surface = surface;
    e.timeMs = time;
    return e;
}

void localPointerEnter(void* data, wl_pointer*, uint32_t serial, wl_surface* s, wl_fixed_t, wl_fixed_t) {
    localOwner(data)->OnPointerEnter(s, serial);
}
void localPointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*) { localOwner(data)->pointerSurface = -1; }
void localPointerMotion(void* data, wl_pointer*, uint32_t time, wl_fixed_t x, wl_fixed_t y) {
    QmWaylandSurfaces* owner = localOwner(data);
    QmWaylandEvent e = localInput(QmWaylandEvent::kMotion, owner->pointerSurface, time);
    e.x = wl_fixed_to_double(x);
    e.y = wl_fixed_to_double(y);
    owner->Push(e);
}
void localPointerButton(void* data, wl_pointer*, uint32_t, uint32_t time, uint32_t button, uint32_t state) {
    QmWaylandSurfaces* owner = localOwner(data);
    QmWaylandEvent e = localInput(QmWaylandEvent::kButton, owner->pointerSurface, time);
    e.code = button;
    e.pressed = state == WL_POINTER_BUTTON_STATE_PRESSED;
    owner->Push(e);
}
void localPointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void localPointerFrame(void*, wl_pointer*) {}
void localPointerAxisSource(void*, wl_pointer*, uint32_t) {}
void localPointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void localPointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void localPointerAxis120(void*, wl_pointer*, uint32_t, int32_t) {}
const wl_pointer_listener localPointerListener = {localPointerEnter,      localPointerLeave,    localPointerMotion,
                                                  localPointerButton,     localPointerAxis,     localPointerFrame,
                                                  localPointerAxisSource, localPointerAxisStop, localPointerAxisDiscrete,
                                                  localPointerAxis120};

void localKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
void localKeyboardEnter(void* data, wl_keyboard*, uint32_t, wl_surface* s, wl_array*) {
    localOwner(data)->OnKeyboardEnter(s);
}
void localKeyboardLeave(void* data, wl_keyboard*, uint32_t, wl_surface*) { localOwner(data)->keyboardSurface = -1; }
void localKey(void* data, wl_keyboard*, uint32_t, uint32_t time, uint32_t key, uint32_t state) {
    QmWaylandSurfaces* owner = localOwner(data);
    QmWaylandEvent e = localInput(QmWaylandEvent::kKey, owner->keyboardSurface, time);
    e.code = key;
    e.pressed = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    owner->Push(e);
}
void localModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void localRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener localKeyboardListener = {localKeymap, localKeyboardEnter, localKeyboardLeave,
                                                    localKey,    localModifiers,     localRepeatInfo};

void localReleasePointer(wl_pointer* p, uint32_t seatVersion) {
    if (seatVersion >= WL_POINTER_RELEASE_SINCE_VERSION)
        wl_pointer_release(p);
    else
        wl_pointer_destroy(p);
}
void localReleaseKeyboard(wl_keyboard* k, uint32_t seatVersion) {
    if (seatVersion >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
        wl_keyboard_release(k);
    else
        wl_keyboard_destroy(k);
}

}  // namespace

QmWaylandSurfaces::~QmWaylandSurfaces() { Destroy(); }

bool QmWaylandSurfaces::Create(FXWaylandDisplay* wl, int timeoutMs) {
    Destroy();
    wl_ = wl;
    if (!wl || !wl->display || !wl->compositor) {
        err("wayland: no compositor to make the saver's surfaces on\n");
        return false;
    }
    layerShell_ = wl->layerShell && !getenv("QMSAVE_TEST_NO_LAYER_SHELL");
    if (!layerShell_ && !wl->wmBase) {
        err("wayland: the compositor offers neither layer-shell nor xdg-shell: no full-screen surface\n");
        return false;
    }
    if (!layerShell_) trc("wayland: no layer-shell; full-screen toplevels instead\n");
    if (wl->outputs.empty()) {
        err("wayland: the compositor has no output\n");
        return false;
    }
    wl->onSeatCapabilities = [](void* user, uint32_t caps) { static_cast<QmWaylandSurfaces*>(user)->OnCapabilities(caps); };
    wl->seatCapabilitiesUser = this;
    OnCapabilities(wl->seatCapabilities);
    for (auto& out : wl->outputs)
        if (!AddSurface(out.get())) return false;
    // Nothing may be drawn before the compositor's first configure (and a toplevel made full
    // screen gets its size only there).
    auto allConfigured = [&] {
        for (auto& s : surfaces_)
            if (!s->configured && !s->closed) return false;
        return true;
    };
    for (int waited = 0; !allConfigured(); waited += 50) {
        if (waited >= timeoutMs || wl->Dispatch(50) < 0) {
            err("wayland: the compositor did not configure the saver's surfaces\n");
            return false;
        }
    }
    return true;
}

bool QmWaylandSurfaces::AddSurface(FXWaylandOutput* out) {
    std::unique_ptr<Surface> s(new Surface);
    s->owner = this;
    s->index = int(surfaces_.size());
    s->outputName = out->name;
    s->scale = out->scale;
    s->width = out->ShownWidth() / out->scale;
    s->height = out->ShownHeight() / out->scale;
    s->surface = wl_compositor_create_surface(wl_->compositor);
    if (!s->surface) return false;
    if (s->scale > 1) wl_surface_set_buffer_scale(s->surface, s->scale);
    if (layerShell_) {
        s->layer = zwlr_layer_shell_v1_get_layer_surface(wl_->layerShell, s->surface, out->output,
                                                         ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "qmsave");
        zwlr_layer_surface_v1_add_listener(s->layer, &localLayerListener, s.get());
        zwlr_layer_surface_v1_set_anchor(s->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                       ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                       ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(s->layer, 0, 0);  // the whole output
        zwlr_layer_surface_v1_set_exclusive_zone(s->layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(s->layer,
                                                         ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    } else {
        s->xdgSurface = xdg_wm_base_get_xdg_surface(wl_->wmBase, s->surface);
        xdg_surface_add_listener(s->xdgSurface, &localXdgSurfaceListener, s.get());
        s->toplevel = xdg_surface_get_toplevel(s->xdgSurface);
        xdg_toplevel_add_listener(s->toplevel, &localToplevelListener, s.get());
        xdg_toplevel_set_title(s->toplevel, "QuietMeadows");
        xdg_toplevel_set_app_id(s->toplevel, "qmsave");
        xdg_toplevel_set_fullscreen(s->toplevel, out->output);
    }
    wl_surface_commit(s->surface);  // no buffer yet: asks for the first configure
    surfaces_.push_back(std::move(s));
    return true;
}

namespace {

void localDestroySurface(QmWaylandSurfaces::Surface* s) {
    if (s->layer) zwlr_layer_surface_v1_destroy(s->layer);
    if (s->toplevel) xdg_toplevel_destroy(s->toplevel);
    if (s->xdgSurface) xdg_surface_destroy(s->xdgSurface);
    if (s->surface) wl_surface_destroy(s->surface);
    s->layer = nullptr;
    s->toplevel = nullptr;
    s->xdgSurface = nullptr;
    s->surface = nullptr;
    s->closed = true;
}

}  // namespace

void QmWaylandSurfaces::Remove(int i) {
    if (i < 0 || i >= Count() || !surfaces_[size_t(i)]->surface) return;
    localDestroySurface(surfaces_[size_t(i)].get());
    if (pointerSurface == i) pointerSurface = -1;
    if (keyboardSurface == i) keyboardSurface = -1;
    if (wl_ && wl_->display && !wl_->Lost()) wl_display_flush(wl_->display);
}

void QmWaylandSurfaces::Destroy() {
    uint32_t seatVersion = wl_ ? wl_->seatVersion : 0;
    if (pointer_) localReleasePointer(pointer_, seatVersion);
    if (keyboard_) localReleaseKeyboard(keyboard_, seatVersion);
    pointer_ = nullptr;
    keyboard_ = nullptr;
    if (wl_ && wl_->seatCapabilitiesUser == this) {
        wl_->onSeatCapabilities = nullptr;
        wl_->seatCapabilitiesUser = nullptr;
    }
    for (auto& s : surfaces_) localDestroySurface(s.get());
    surfaces_.clear();
    if (wl_ && wl_->display && !wl_->Lost()) wl_display_flush(wl_->display);
    wl_ = nullptr;
    head_ = count_ = 0;
    pointerSurface = keyboardSurface = -1;
}

FXNativeWindow QmWaylandSurfaces::NativeWindow(int i) const {
    const Surface& s = Get(i);
    return FXNativeWindow::Wayland(wl_ ? wl_->display : nullptr, s.surface, s.PixelWidth(), s.PixelHeight());
}

void QmWaylandSurfaces::Push(const QmWaylandEvent& e) {
    if (count_ == kRing) {
        head_ = (head_ + 1) % kRing;
        count_--;
    }
    ring_[(head_ + count_) % kRing] = e;
    count_++;
}

bool QmWaylandSurfaces::NextEvent(QmWaylandEvent* e) {
    if (wl_ && !wl_->removedOutputs.empty()) {
        for (const std::string& name : wl_->removedOutputs) {
            for (auto& s : surfaces_) {
                if (s->outputName != name || !s->surface) continue;
                QmWaylandEvent gone;
                gone.kind = QmWaylandEvent::kOutputGone;
                gone.surface = s->index;
                Push(gone);
            }
        }
        wl_->removedOutputs.clear();
    }
    if (count_ == 0) return false;
    *e = ring_[head_];
    head_ = (head_ + 1) % kRing;
    count_--;
    return true;
}

void QmWaylandSurfaces::OnCapabilities(uint32_t caps) {
    if (!wl_ || !wl_->seat) return;
    if ((caps & WL_SEAT_CAPABILITY_POINTER) && !pointer_) {
        pointer_ = wl_seat_get_pointer(wl_->seat);
        wl_pointer_add_listener(pointer_, &localPointerListener, this);
    } else if (!(caps & WL_SEAT_CAPABILITY_POINTER) && pointer_) {
        localReleasePointer(pointer_, wl_->seatVersion);
        pointer_ = nullptr;
        pointerSurface = -1;
    }
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !keyboard_) {
        keyboard_ = wl_seat_get_keyboard(wl_->seat);
        wl_keyboard_add_listener(keyboard_, &localKeyboardListener, this);
    } else if (!(caps & WL_SEAT_CAPABILITY_KEYBOARD) && keyboard_) {
        localReleaseKeyboard(keyboard_, wl_->seatVersion);
        keyboard_ = nullptr;
        keyboardSurface = -1;
    }
}

int QmWaylandSurfaces::IndexOf(wl_surface* s) const {
    for (size_t i = 0; i < surfaces_.size(); i++)
        if (s && surfaces_[i]->surface == s) return int(i);
    return -1;
}

void QmWaylandSurfaces::OnPointerEnter(wl_surface* s, uint32_t serial) {
    pointerSurface = IndexOf(s);
    // No cursor over the saver.
    if (pointer_ && pointerSurface >= 0) wl_pointer_set_cursor(pointer_, serial, nullptr, 0, 0);
}

void QmWaylandSurfaces::OnKeyboardEnter(wl_surface* s) { keyboardSurface = IndexOf(s); }
