// The connection to a Wayland compositor, beside the X11 one (x11_display.h): the globals the
// saver uses, bound once; every output (monitor) with its name, position, mode, scale and
// transform, kept up to date; a dispatch that waits with a timeout and can be woken from another
// thread or a signal handler; and the loss of the compositor noticed as a result, never a hang or
// an abort. Used by the screen capture (scrshot_wayland.cpp), the EGL device (gl_egl.cpp) and the
// saver's Wayland surfaces.
//
// Threads: one thread (the window thread) connects, dispatches and disconnects. The EGL device
// swaps on the render thread through its own event queue, which the client library keeps apart.
// Wake is the one call any thread or a signal handler may make.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct wl_seat;
struct wl_output;
struct xdg_wm_base;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct zwlr_layer_shell_v1;
struct zwlr_screencopy_manager_v1;
struct ext_idle_notifier_v1;
struct org_kde_kwin_idle;

// One output as the compositor describes it. Sizes are in pixels of the current mode, as the
// output's panel is laid out (before its transform); position in the compositor's layout.
struct FXWaylandOutput {
    uint32_t globalName = 0;  // the registry's name for it
    uint32_t version = 0;     // the wl_output version bound
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    std::string name;  // "HEADLESS-1", "DP-2"; empty when the compositor gives none
    int x = 0, y = 0;
    int width = 0, height = 0;
    int scale = 1;
    int transform = 0;  // wl_output_transform: 0 normal, 1-3 turned by 90/180/270, 4-7 flipped too
    bool described = false;  // a first "done" arrived: the properties above are complete

    // The size as seen on screen: width and height swap for a quarter turn.
    int ShownWidth() const { return (transform & 1) ? height : width; }
    int ShownHeight() const { return (transform & 1) ? width : height; }
};

class FXWaylandDisplay {
public:
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    xdg_wm_base* wmBase = nullptr;
    zxdg_output_manager_v1* xdgOutputs = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    zwlr_screencopy_manager_v1* screencopy = nullptr;
    ext_idle_notifier_v1* idleNotifier = nullptr;
    org_kde_kwin_idle* kdeIdle = nullptr;
    uint32_t seatVersion = 0;
    uint32_t seatCapabilities = 0;  // wl_seat_capability bits: pointer, keyboard, touch
    // Told when the seat gains or loses a device (a virtual keyboard comes and goes), with the
    // new capability bits; null for nobody.
    void (*onSeatCapabilities)(void* user, uint32_t caps) = nullptr;
    void* seatCapabilitiesUser = nullptr;
    uint32_t layerShellVersion = 0;
    uint32_t screencopyVersion = 0;
    // The outputs present now, in the order the compositor announced them.
    std::vector<std::unique_ptr<FXWaylandOutput>> outputs;
    // Names of outputs that went away since the owner last emptied this list.
    std::vector<std::string> removedOutputs;
    // The missing screencopy was reported in the trace log (once per connection).
    bool toldNoScreencopy = false;
    // A descriptor of the owner's whose becoming readable also ends a Dispatch that waits (the
    // saver's end requests); -1 for none. Dispatch never reads it: the owner drains it.
    int alsoWatch = -1;

    FXWaylandDisplay() = default;
    FXWaylandDisplay(const FXWaylandDisplay&) = delete;
    FXWaylandDisplay& operator=(const FXWaylandDisplay&) = delete;
    ~FXWaylandDisplay();

    // Connects to the compositor named (null: $WAYLAND_DISPLAY, else "wayland-0"), binds the
    // globals and waits until every output is described. False, with a trace line, when there is
    // no compositor or it fails during the start.
    bool Connect(const char* name = nullptr);
    // Lets go of everything bound and closes the connection. Harmless when repeated.
    void Disconnect();

    // The globals the saver uses that this compositor lacks, comma-separated ("" for none).
    std::string MissingGlobals() const;
    // The output with this name, or null.
    FXWaylandOutput* FindOutput(const std::string& name) const;

    // Sends what is queued and handles what arrives, waiting up to timeoutMs (-1: no limit) for
    // something: 1 when events were handled, Wake was called or alsoWatch is readable, 0 when
    // the time passed, -1 once the connection is lost.
    int Dispatch(int timeoutMs);
    // Sends what is queued and waits until the compositor has handled it (and sent its answers).
    // False once the connection is lost.
    bool Roundtrip();
    // Makes a Dispatch that waits (or the next one) return at once. Any thread; safe in a
    // signal handler.
    void Wake();
    // True once the connection broke (the compositor ended, or it reported a protocol error).
    bool Lost() const { return lost_.load(); }

    // Listener entry points (called by the client library on the dispatching thread).
    void OnGlobal(uint32_t name, const char* interface, uint32_t version);
    void OnGlobalRemove(uint32_t name);

private:
    int wakeRead_ = -1, wakeWrite_ = -1;
    std::atomic<bool> lost_{false};

    // Marks the connection lost (once) with the reason in the trace log; returns -1.
    int LoseConnection(const char* where);
    // Binds the xdg-output of out when the compositor offers the manager.
    void DescribeOutput(FXWaylandOutput* out);
};
