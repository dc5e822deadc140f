// The saver's full-screen surfaces on Wayland, one per output, and the input that ends it. Each
// surface is a layer-shell surface on the overlay layer, anchored to every edge, ignoring other
// surfaces' exclusive zones, with the keyboard to itself; on a compositor without layer-shell, an
// xdg_toplevel made full screen on its output. The compositor's configure sizes it (acknowledged
// here); the device draws into it through FXNativeWindow. Keys, pointer buttons and pointer
// motion from the seat arrive as events with the compositor's time, so the host can apply its
// grace time; a surface the compositor closes and an output that goes away are events too.
//
// Threads: the window thread only, the one that dispatches the connection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/native_window.h"

class FXWaylandDisplay;
struct FXWaylandOutput;
struct wl_surface;
struct wl_pointer;
struct wl_keyboard;
struct zwlr_layer_surface_v1;
struct xdg_surface;
struct xdg_toplevel;

// Something that happened on the saver's surfaces.
struct QmWaylandEvent {
    enum Kind {
        kKey,         // a key went down or up (code: the evdev key code)
        kButton,      // a pointer button went down or up (code: the evdev button code)
        kMotion,      // the pointer moved over a surface (x, y: surface coordinates)
        kResized,     // the compositor gave a surface a new size (width, height in pixels)
        kClosed,      // the compositor closed a surface (its output is gone or it took it back)
        kOutputGone,  // the output a surface was on went away
    };
    Kind kind = kKey;
    int surface = -1;     // index of the surface, -1 when no surface has the seat's focus
    uint32_t timeMs = 0;  // the compositor's clock (input events)
    uint32_t code = 0;
    bool pressed = false;
    double x = 0, y = 0;
    int width = 0, height = 0;
};

class QmWaylandSurfaces {
public:
    struct Surface {
        std::string outputName;
        wl_surface* surface = nullptr;
        zwlr_layer_surface_v1* layer = nullptr;  // with layer-shell
        xdg_surface* xdgSurface = nullptr;       // without: the full-screen toplevel
        xdg_toplevel* toplevel = nullptr;
        int scale = 1;
        int width = 0, height = 0;  // surface coordinates, from the last configure
        bool configured = false;
        bool closed = false;
        QmWaylandSurfaces* owner = nullptr;
        int index = 0;

        // The size of the buffer drawn: the surface's size times the output's scale.
        int PixelWidth() const { return width * scale; }
        int PixelHeight() const { return height * scale; }
    };

    QmWaylandSurfaces() = default;
    QmWaylandSurfaces(const QmWaylandSurfaces&) = delete;
    QmWaylandSurfaces& operator=(const QmWaylandSurfaces&) = delete;
    ~QmWaylandSurfaces();

    // Makes a surface on every output of wl and waits (up to timeoutMs) until the compositor has
    // configured each. Layer-shell when the compositor has it, unless the environment sets
    // QMSAVE_TEST_NO_LAYER_SHELL (tests: behave as on a compositor without it). False, with a
    // trace line, when there is no output, no way to make a full-screen surface, or no surface
    // was configured in time. Nothing is shown before a device swaps a first frame into it.
    bool Create(FXWaylandDisplay* wl, int timeoutMs = 5000);
    // Takes every surface and the seat's devices away. Destroy the devices drawing into the
    // surfaces first. Harmless when repeated.
    void Destroy();
    // Takes surface i alone away (its output went, or its scene could not start); the others
    // keep their indices. Destroy its device first. Harmless when repeated.
    void Remove(int i);

    int Count() const { return int(surfaces_.size()); }
    const Surface& Get(int i) const { return *surfaces_[size_t(i)]; }
    bool UsesLayerShell() const { return layerShell_; }
    // The window a device draws into surface i, at its pixel size.
    FXNativeWindow NativeWindow(int i) const;

    // The next event gathered by the connection's dispatch; false when none is waiting. Also
    // turns the outputs the connection saw go away into kOutputGone.
    bool NextEvent(QmWaylandEvent* e);

    // Listener entry points (called by the client library on the dispatching thread).
    void Push(const QmWaylandEvent& e);
    // Takes the seat's pointer and keyboard as far as it has them (wl_seat_capability bits).
    void OnCapabilities(uint32_t caps);
    void OnPointerEnter(wl_surface* s, uint32_t serial);
    void OnKeyboardEnter(wl_surface* s);
    int pointerSurface = -1;   // the surface under the pointer
    int keyboardSurface = -1;  // the surface with the keyboard focus

private:
    FXWaylandDisplay* wl_ = nullptr;
    bool layerShell_ = false;
    std::vector<std::unique_ptr<Surface>> surfaces_;
    wl_pointer* pointer_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    // Events waiting, in a ring of fixed size: input never allocates once running. When it is
    // full the oldest event is dropped (a burst of motion); an end needs only one event.
    static constexpr int kRing = 64;
    QmWaylandEvent ring_[kRing];
    int head_ = 0, count_ = 0;

    bool AddSurface(FXWaylandOutput* out);
    int IndexOf(wl_surface* s) const;
};
