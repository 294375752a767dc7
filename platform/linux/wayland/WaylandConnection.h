#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_event_queue;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct wl_seat;
struct wl_output;
struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_layer_shell_v1;
struct zwp_keyboard_shortcuts_inhibit_manager_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace platform::wayland {

// An output and where it lies in the compositor's layout, in logical pixels
// (from xdg-output where the compositor offers it, else from the output's
// own position and mode).
struct Output {
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    std::uint32_t globalName = 0;
    int x = 0, y = 0, width = 0, height = 0;
    int scale = 1;
    bool logicalKnown = false; // xdg-output told the logical place
    int modeWidth = 0, modeHeight = 0;
};

// The globals of a compositor Zelvo's switcher uses, bound at connection.
struct Globals {
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr; // the first seat announced
    zwlr_foreign_toplevel_manager_v1* toplevelManager = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    zwp_keyboard_shortcuts_inhibit_manager_v1* shortcutsInhibitManager = nullptr;
    zxdg_output_manager_v1* xdgOutputManager = nullptr;
    std::uint32_t seatVersion = 0;
    std::uint32_t seatCapabilities = 0; // WL_SEAT_CAPABILITY_* as last announced
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
    // Every output, in the order announced.
    const std::vector<std::unique_ptr<Output>>& outputs() const { return outputs_; }
    const Output* output(wl_output* output) const;

    // Told the seat's capabilities now and whenever they change (the
    // connection listens to the seat from binding on, so none is missed).
    void setSeatCapabilitiesListener(std::function<void(std::uint32_t)> listener);

    int fileDescriptor() const;
    // Reads what the compositor sent and runs the handlers; false once the
    // connection is gone (the reason is logged once).
    bool readAndDispatch();
    // Runs the handlers of events already read and sends what is queued.
    bool dispatchPendingAndFlush();
    // Only sends what is queued.
    bool flush();
    // Waits until the compositor has handled every request sent so far.
    bool roundtrip();
    bool broken() const { return broken_; }

private:
    explicit WaylandConnection(wl_display* display);
    bool check(int result);
    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
    static void globalRemove(void* data, wl_registry* registry, std::uint32_t name);
    void describe(Output& output);

    wl_display* display_;
    // The outputs' events, dispatched apart so that they can be read at
    // connection without running anyone else's handlers early.
    wl_event_queue* outputQueue_ = nullptr;
    wl_registry* registry_ = nullptr;
    Globals globals_;
    std::vector<std::unique_ptr<Output>> outputs_;
    std::function<void(std::uint32_t)> seatListener_;
    bool broken_ = false;
    friend struct ConnectionEvents;
};

} // namespace platform::wayland
