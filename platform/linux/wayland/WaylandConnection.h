#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct wl_seat;
struct wl_output;
struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_layer_shell_v1;
struct zwp_keyboard_shortcuts_inhibit_manager_v1;

namespace platform::wayland {

// The globals of a compositor Zelvo's switcher uses, bound at connection.
struct Globals {
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr; // the first seat announced
    wl_output* output = nullptr; // the first output announced
    zwlr_foreign_toplevel_manager_v1* toplevelManager = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    zwp_keyboard_shortcuts_inhibit_manager_v1* shortcutsInhibitManager = nullptr;
    std::uint32_t seatVersion = 0;
    std::uint32_t seatCapabilities = 0; // WL_SEAT_CAPABILITY_* as last announced
    int outputScale = 1;                 // of the first output
};

// Zelvo's own connection to the Wayland compositor (Qt keeps another one for
// the ordinary windows). Serials and objects belong to one connection, so
// everything the switcher does goes through this one. Main thread only: the
// embedder calls readAndDispatch() when fileDescriptor() is readable and
// dispatchPendingAndFlush() before its loop sleeps.
class WaylandConnection {
public:
    // Connects to $WAYLAND_DISPLAY (or `name`) and binds the globals after
    // one round trip; nothing when no compositor answers. Events the bound
    // globals send are dispatched by the next round trip or dispatch.
    static std::unique_ptr<WaylandConnection> open(const char* name = nullptr);
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return display_; }
    const Globals& globals() const { return globals_; }
    // Both protocols the switcher needs are offered.
    bool offersSwitcherProtocols() const { return globals_.toplevelManager && globals_.layerShell; }

    // Told the seat's capabilities now and whenever they change (the
    // connection listens to the seat from binding on, so none is missed).
    void setSeatCapabilitiesListener(std::function<void(std::uint32_t)> listener);

    int fileDescriptor() const;
    // Reads what the compositor sent and runs the handlers; false once the
    // connection is gone (the reason is logged once).
    bool readAndDispatch();
    // Runs the handlers of events already read and sends what is queued.
    bool dispatchPendingAndFlush();
    // Waits until the compositor has handled every request sent so far.
    bool roundtrip();
    bool broken() const { return broken_; }

private:
    explicit WaylandConnection(wl_display* display);
    bool check(int result);
    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
    static void globalRemove(void* data, wl_registry* registry, std::uint32_t name);

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    Globals globals_;
    std::function<void(std::uint32_t)> seatListener_;
    bool broken_ = false;
    friend struct ConnectionEvents;
};

} // namespace platform::wayland
