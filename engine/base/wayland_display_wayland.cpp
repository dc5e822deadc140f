// The Wayland connection: registry, outputs, the dispatch with a timeout and a wake-up pipe, and
// the loss of the compositor. Versions are bound no higher than the listeners here handle, so the
// client library never calls a listener slot that is missing.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstring>

#include <wayland-client.h>

#include "base/trace.h"
#include "base/wayland_display.h"
#include "ext-idle-notify-v1-client.h"
#include "kde-idle-client.h"
#include "wlr-layer-shell-unstable-v1-client.h"
#include "wlr-screencopy-unstable-v1-client.h"
#include "xdg-output-unstable-v1-client.h"
#include "xdg-shell-client.h"

namespace {

uint32_t localMin(uint32_t a, uint32_t b) { return a < b ? a : b; }

// ---- registry ----
void localGlobal(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
    static_cast<FXWaylandDisplay*>(data)->OnGlobal(name, interface, version);
}
void localGlobalRemove(void* data, wl_registry*, uint32_t name) {
    static_cast<FXWaylandDisplay*>(data)->OnGlobalRemove(name);
}
const wl_registry_listener localRegistryListener = {localGlobal, localGlobalRemove};

// ---- xdg_wm_base: a client that does not answer pings is taken for hung ----
void localPing(void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }
const xdg_wm_base_listener localWmBaseListener = {localPing};

// ---- wl_seat: which input devices it has ----
void localCapabilities(void* data, wl_seat*, uint32_t caps) {
    FXWaylandDisplay* wl = static_cast<FXWaylandDisplay*>(data);
    wl->seatCapabilities = caps;
    if (wl->onSeatCapabilities) wl->onSeatCapabilities(wl->seatCapabilitiesUser, caps);
}
void localSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener localSeatListener = {localCapabilities, localSeatName};

// ---- wl_output ----
FXWaylandOutput* localOut(void* data) { return static_cast<FXWaylandOutput*>(data); }
void localGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*,
                   const char*, int32_t transform) {
    if (!localOut(data)->xdgOutput) {  // else the xdg-output's layout position holds
        localOut(data)->x = x;
        localOut(data)->y = y;
    }
    localOut(data)->transform = transform & 7;
}
void localMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
    localOut(data)->width = width;
    localOut(data)->height = height;
}
void localDone(void* data, wl_output*) { localOut(data)->described = true; }
void localScale(void* data, wl_output*, int32_t factor) { localOut(data)->scale = factor > 0 ? factor : 1; }
void localName(void* data, wl_output*, const char* name) { localOut(data)->name = name ? name : ""; }
void localDescription(void*, wl_output*, const char*) {}
const wl_output_listener localOutputListener = {localGeometry, localMode, localDone, localScale, localName,
                                                localDescription};

// ---- zxdg_output_v1: the layout position, and the name where wl_output is older than 4 ----
// The position in the layout: some compositors leave wl_output's at 0, 0.
void localLogicalPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
    localOut(data)->x = x;
    localOut(data)->y = y;
}
void localLogicalSize(void*, zxdg_output_v1*, int32_t, int32_t) {}
void localXdgDone(void*, zxdg_output_v1*) {}
void localXdgName(void* data, zxdg_output_v1*, const char* name) {
    if (localOut(data)->name.empty() && name) localOut(data)->name = name;
}
void localXdgDescription(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener localXdgOutputListener = {localLogicalPosition, localLogicalSize, localXdgDone,
                                                        localXdgName, localXdgDescription};

void localReleaseOutput(FXWaylandOutput* out) {
    if (out->xdgOutput) zxdg_output_v1_destroy(out->xdgOutput);
    if (out->output) {
        if (out->version >= WL_OUTPUT_RELEASE_SINCE_VERSION)
            wl_output_release(out->output);
        else
            wl_output_destroy(out->output);
    }
    out->xdgOutput = nullptr;
    out->output = nullptr;
}

}  // namespace

FXWaylandDisplay::~FXWaylandDisplay() { Disconnect(); }

bool FXWaylandDisplay::Connect(const char* name) {
    Disconnect();
    display = wl_display_connect(name);
    if (!display) {
        const char* env = getenv("WAYLAND_DISPLAY");
        err("wayland: no compositor to connect to (%s: %s)\n", name ? name : env ? env : "wayland-0",
            strerror(errno));
        return false;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        err("wayland: no wake-up pipe (%s)\n", strerror(errno));
        Disconnect();
        return false;
    }
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &localRegistryListener, this);
    // The first round trip brings the globals, the second what the bound objects say at once.
    if (!Roundtrip()) return false;
    for (auto& out : outputs) DescribeOutput(out.get());
    if (!Roundtrip()) return false;
    trc("wayland: connected; %d output(s); missing: %s\n", int(outputs.size()),
        MissingGlobals().empty() ? "nothing" : MissingGlobals().c_str());
    return true;
}

void FXWaylandDisplay::Disconnect() {
    for (auto& out : outputs) localReleaseOutput(out.get());
    outputs.clear();
    removedOutputs.clear();
    if (kdeIdle) org_kde_kwin_idle_destroy(kdeIdle);
    if (idleNotifier) ext_idle_notifier_v1_destroy(idleNotifier);
    if (screencopy) zwlr_screencopy_manager_v1_destroy(screencopy);
    if (layerShell) {
        if (layerShellVersion >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION)
            zwlr_layer_shell_v1_destroy(layerShell);
        else
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(layerShell));
    }
    if (xdgOutputs) zxdg_output_manager_v1_destroy(xdgOutputs);
    if (wmBase) xdg_wm_base_destroy(wmBase);
    if (seat) {
        if (seatVersion >= WL_SEAT_RELEASE_SINCE_VERSION)
            wl_seat_release(seat);
        else
            wl_seat_destroy(seat);
    }
    if (shm) wl_shm_destroy(shm);
    if (compositor) wl_compositor_destroy(compositor);
    if (registry) wl_registry_destroy(registry);
    kdeIdle = nullptr;
    idleNotifier = nullptr;
    screencopy = nullptr;
    layerShell = nullptr;
    xdgOutputs = nullptr;
    wmBase = nullptr;
    seat = nullptr;
    shm = nullptr;
    compositor = nullptr;
    registry = nullptr;
    seatVersion = layerShellVersion = screencopyVersion = seatCapabilities = 0;
    if (display) {
        wl_display_flush(display);
        wl_display_disconnect(display);
    }
    display = nullptr;
    if (wakeRead_ >= 0) close(wakeRead_);
    if (wakeWrite_ >= 0) close(wakeWrite_);
    wakeRead_ = wakeWrite_ = -1;
    toldNoScreencopy = false;
    lost_ = false;
}

void FXWaylandDisplay::OnGlobal(uint32_t name, const char* interface, uint32_t version) {
    auto bind = [&](const wl_interface* iface, uint32_t most) {
        return wl_registry_bind(registry, name, iface, localMin(version, most));
    };
    if (strcmp(interface, wl_compositor_interface.name) == 0 && !compositor) {
        compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    } else if (strcmp(interface, wl_shm_interface.name) == 0 && !shm) {
        shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    } else if (strcmp(interface, wl_seat_interface.name) == 0 && !seat) {
        // Version 5 at most: the pointer and keyboard listeners handle every event up to it.
        seatVersion = localMin(version, 5);
        seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
        wl_seat_add_listener(seat, &localSeatListener, this);
    } else if (strcmp(interface, xdg_wm_base_interface.name) == 0 && !wmBase) {
        wmBase = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 2));
        xdg_wm_base_add_listener(wmBase, &localWmBaseListener, this);
    } else if (strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 && !xdgOutputs) {
        xdgOutputs = static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, 3));
    } else if (strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0 && !layerShell) {
        layerShellVersion = localMin(version, 4);
        layerShell = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 4));
    } else if (strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0 && !screencopy) {
        screencopyVersion = localMin(version, 3);
        screencopy = static_cast<zwlr_screencopy_manager_v1*>(bind(&zwlr_screencopy_manager_v1_interface, 3));
    } else if (strcmp(interface, ext_idle_notifier_v1_interface.name) == 0 && !idleNotifier) {
        idleNotifier = static_cast<ext_idle_notifier_v1*>(bind(&ext_idle_notifier_v1_interface, 1));
    } else if (strcmp(interface, org_kde_kwin_idle_interface.name) == 0 && !kdeIdle) {
        kdeIdle = static_cast<org_kde_kwin_idle*>(bind(&org_kde_kwin_idle_interface, 1));
    } else if (strcmp(interface, wl_output_interface.name) == 0) {
        std::unique_ptr<FXWaylandOutput> out(new FXWaylandOutput);
        out->globalName = name;
        out->version = localMin(version, 4);
        out->output = static_cast<wl_output*>(bind(&wl_output_interface, 4));
        wl_output_add_listener(out->output, &localOutputListener, out.get());
        // An output plugged in later is described as soon as the manager is known; at the start
        // Connect does it once every global has been seen.
        if (xdgOutputs) DescribeOutput(out.get());
        outputs.push_back(std::move(out));
    }
}

void FXWaylandDisplay::OnGlobalRemove(uint32_t name) {
    for (size_t i = 0; i < outputs.size(); i++) {
        if (outputs[i]->globalName != name) continue;
        std::string gone = outputs[i]->name.empty() ? "output " + std::to_string(name) : outputs[i]->name;
        trc("wayland: output %s went away\n", gone.c_str());
        removedOutputs.push_back(gone);
        localReleaseOutput(outputs[i].get());
        outputs.erase(outputs.begin() + long(i));
        return;
    }
}

void FXWaylandDisplay::DescribeOutput(FXWaylandOutput* out) {
    if (!xdgOutputs || out->xdgOutput || !out->output) return;
    out->xdgOutput = zxdg_output_manager_v1_get_xdg_output(xdgOutputs, out->output);
    zxdg_output_v1_add_listener(out->xdgOutput, &localXdgOutputListener, out);
}

std::string FXWaylandDisplay::MissingGlobals() const {
    std::string missing;
    auto note = [&](const void* have, const char* what) {
        if (have) return;
        if (!missing.empty()) missing += ", ";
        missing += what;
    };
    note(compositor, "wl_compositor");
    note(shm, "wl_shm");
    note(seat, "wl_seat");
    note(outputs.empty() ? nullptr : this, "wl_output");
    note(layerShell, "zwlr_layer_shell_v1");
    note(wmBase, "xdg_wm_base");
    note(screencopy, "zwlr_screencopy_manager_v1");
    note(idleNotifier || kdeIdle ? this : nullptr, "ext_idle_notifier_v1 or org_kde_kwin_idle");
    return missing;
}

FXWaylandOutput* FXWaylandDisplay::FindOutput(const std::string& name) const {
    for (const auto& out : outputs)
        if (out->name == name) return out.get();
    return nullptr;
}

int FXWaylandDisplay::LoseConnection(const char* where) {
    if (lost_.exchange(true)) return -1;
    int code = display ? wl_display_get_error(display) : 0;
    if (code == EPROTO) {
        const wl_interface* iface = nullptr;
        uint32_t id = 0;
        uint32_t perr = wl_display_get_protocol_error(display, &iface, &id);
        err("wayland: the compositor reported protocol error %u on %s@%u (%s)\n", perr,
            iface ? iface->name : "?", id, where);
    } else {
        err("wayland: the connection to the compositor was lost (%s: %s)\n", where,
            strerror(code ? code : errno ? errno : EPIPE));
    }
    return -1;
}

int FXWaylandDisplay::Dispatch(int timeoutMs) {
    if (!display || lost_.load()) return -1;
    // Events already read (by an earlier round trip) are handled before waiting for more.
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) return LoseConnection("dispatch");
    }
    // A full socket is not an error: what is left goes on the next call.
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        return LoseConnection("send");
    }
    pollfd fds[3] = {{wl_display_get_fd(display), POLLIN, 0}, {wakeRead_, POLLIN, 0}, {alsoWatch, POLLIN, 0}};
    int n;
    do {
        n = poll(fds, alsoWatch >= 0 ? 3 : 2, timeoutMs);
    } while (n < 0 && errno == EINTR && !(fds[1].revents & POLLIN));
    if (n < 0) {
        wl_display_cancel_read(display);
        return LoseConnection("poll");
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
        if (wl_display_read_events(display) < 0) return LoseConnection("receive");
    } else {
        wl_display_cancel_read(display);
    }
    bool woken = alsoWatch >= 0 && (fds[2].revents & POLLIN);
    if (fds[1].revents & POLLIN) {
        char drain[64];
        while (read(wakeRead_, drain, sizeof drain) > 0) {
        }
        woken = true;
    }
    int handled = wl_display_dispatch_pending(display);
    if (handled < 0) return LoseConnection("dispatch");
    return (handled > 0 || woken || n > 0) ? 1 : 0;
}

bool FXWaylandDisplay::Roundtrip() {
    if (!display || lost_.load()) return false;
    if (wl_display_roundtrip(display) < 0) {
        LoseConnection("round trip");
        return false;
    }
    return true;
}

void FXWaylandDisplay::Wake() {
    if (wakeWrite_ < 0) return;
    char one = 1;
    ssize_t r = write(wakeWrite_, &one, 1);  // a full pipe already wakes the loop
    (void)r;
}
