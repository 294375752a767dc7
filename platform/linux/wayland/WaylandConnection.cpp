#include "platform/linux/wayland/WaylandConnection.h"

#include "platform/Log.h"
#include "platform/linux/wayland/protocols/Protocols.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <wayland-client.h>

namespace platform::wayland {

namespace {

template <typename T>
T* bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface, std::uint32_t offered,
        std::uint32_t highest) {
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, highest)));
}

} // namespace

// The seat and output are listened to from binding on: what they announce
// right after comes in the same round trip.
struct ConnectionEvents {
    static void capabilities(void* data, wl_seat*, std::uint32_t caps) {
        auto& c = *static_cast<WaylandConnection*>(data);
        c.globals_.seatCapabilities = caps;
        if (c.seatListener_) c.seatListener_(caps);
    }
    static void seatName(void*, wl_seat*, const char*) {}
    static void geometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*,
                         const char*, int32_t) {
        auto& o = *static_cast<Output*>(data);
        if (o.logicalKnown) return;
        o.x = x;
        o.y = y;
    }
    static void mode(void* data, wl_output*, std::uint32_t flags, int32_t width, int32_t height, int32_t) {
        auto& o = *static_cast<Output*>(data);
        if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
        o.modeWidth = width;
        o.modeHeight = height;
    }
    static void done(void* data, wl_output*) {
        auto& o = *static_cast<Output*>(data);
        if (o.logicalKnown) return;
        o.width = o.modeWidth / o.scale;
        o.height = o.modeHeight / o.scale;
    }
    static void scale(void* data, wl_output*, int32_t factor) { static_cast<Output*>(data)->scale = std::max(1, factor); }
    static void logicalPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
        auto& o = *static_cast<Output*>(data);
        o.logicalKnown = true;
        o.x = x;
        o.y = y;
    }
    static void logicalSize(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
        auto& o = *static_cast<Output*>(data);
        o.logicalKnown = true;
        o.width = width;
        o.height = height;
    }
    static void xdgDone(void*, zxdg_output_v1*) {}
    static void xdgName(void*, zxdg_output_v1*, const char*) {}
    static void xdgDescription(void*, zxdg_output_v1*, const char*) {}
};

namespace {
const wl_seat_listener kSeatListener{&ConnectionEvents::capabilities, &ConnectionEvents::seatName};
const wl_output_listener kOutputListener{&ConnectionEvents::geometry, &ConnectionEvents::mode,
                                         &ConnectionEvents::done, &ConnectionEvents::scale, nullptr, nullptr};
const zxdg_output_v1_listener kXdgOutputListener{&ConnectionEvents::logicalPosition, &ConnectionEvents::logicalSize,
                                                 &ConnectionEvents::xdgDone, &ConnectionEvents::xdgName,
                                                 &ConnectionEvents::xdgDescription};
} // namespace

const Output* WaylandConnection::output(wl_output* output) const {
    for (const auto& o : outputs_)
        if (o->output == output) return o.get();
    return nullptr;
}

void WaylandConnection::describe(Output& output) {
    if (output.xdgOutput || !globals_.xdgOutputManager) return;
    output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(globals_.xdgOutputManager, output.output);
    zxdg_output_v1_add_listener(output.xdgOutput, &kXdgOutputListener, &output);
}

void WaylandConnection::setSeatCapabilitiesListener(std::function<void(std::uint32_t)> listener) {
    seatListener_ = std::move(listener);
    if (seatListener_) seatListener_(globals_.seatCapabilities);
}

std::unique_ptr<WaylandConnection> WaylandConnection::open(const char* name) {
    wl_display* display = wl_display_connect(name);
    if (!display) return nullptr;
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    // One round trip announces and binds the globals. What binding them
    // makes the compositor send (the window list, the seat's capabilities)
    // is queued and dispatched once the users have added their listeners.
    if (!connection->roundtrip()) return nullptr;
    // Where the outputs lie is known before the first panel is placed.
    if (!connection->check(wl_display_roundtrip_queue(display, connection->outputQueue_))) return nullptr;
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display) : display_(display) {
    static const wl_registry_listener listener{&WaylandConnection::global, &WaylandConnection::globalRemove};
    outputQueue_ = wl_display_create_queue(display_);
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &listener, this);
}

WaylandConnection::~WaylandConnection() {
    // Objects go with the connection; the compositor cleans up after it.
    for (auto& o : outputs_) {
        if (o->xdgOutput) zxdg_output_v1_destroy(o->xdgOutput);
        wl_output_destroy(o->output);
    }
    if (globals_.xdgOutputManager) zxdg_output_manager_v1_destroy(globals_.xdgOutputManager);
    wl_event_queue_destroy(outputQueue_);
    wl_display_disconnect(display_);
}

void WaylandConnection::global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                               std::uint32_t version) {
    auto* self = static_cast<WaylandConnection*>(data);
    auto& g = self->globals_;
    const std::string_view id = interface;
    if (id == wl_compositor_interface.name && !g.compositor)
        g.compositor = bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
    else if (id == wl_shm_interface.name && !g.shm)
        g.shm = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    else if (id == wl_seat_interface.name && !g.seat) {
        g.seatVersion = std::min<std::uint32_t>(version, 5);
        g.seat = bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
        wl_seat_add_listener(g.seat, &kSeatListener, self);
    } else if (id == wl_output_interface.name) {
        auto output = std::make_unique<Output>();
        output->globalName = name;
        output->output = bind<wl_output>(registry, name, &wl_output_interface, version, 2);
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(output->output), self->outputQueue_);
        wl_output_add_listener(output->output, &kOutputListener, output.get());
        self->describe(*output);
        self->outputs_.push_back(std::move(output));
    } else if (id == zxdg_output_manager_v1_interface.name && !g.xdgOutputManager) {
        g.xdgOutputManager = bind<zxdg_output_manager_v1>(registry, name, &zxdg_output_manager_v1_interface, version, 2);
        // The outputs' descriptions it makes come on the outputs' queue.
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(g.xdgOutputManager), self->outputQueue_);
        for (auto& output : self->outputs_) self->describe(*output);
    }
    else if (id == zwlr_foreign_toplevel_manager_v1_interface.name && !g.toplevelManager)
        g.toplevelManager = bind<zwlr_foreign_toplevel_manager_v1>(
            registry, name, &zwlr_foreign_toplevel_manager_v1_interface, version, 3);
    else if (id == zwlr_layer_shell_v1_interface.name && !g.layerShell)
        g.layerShell = bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 4);
    else if (id == zwp_keyboard_shortcuts_inhibit_manager_v1_interface.name && !g.shortcutsInhibitManager)
        g.shortcutsInhibitManager = bind<zwp_keyboard_shortcuts_inhibit_manager_v1>(
            registry, name, &zwp_keyboard_shortcuts_inhibit_manager_v1_interface, version, 1);
}

void WaylandConnection::globalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto* self = static_cast<WaylandConnection*>(data);
    auto& outputs = self->outputs_;
    for (auto it = outputs.begin(); it != outputs.end(); ++it) {
        if ((*it)->globalName != name) continue;
        if ((*it)->xdgOutput) zxdg_output_v1_destroy((*it)->xdgOutput);
        wl_output_destroy((*it)->output);
        outputs.erase(it);
        return;
    }
}

int WaylandConnection::fileDescriptor() const { return wl_display_get_fd(display_); }

bool WaylandConnection::check(int result) {
    if (result >= 0 || broken_) return !broken_ && result >= 0;
    if (result < 0 && errno == EAGAIN) return true; // the socket is full: flushed at the next turn
    broken_ = true;
    const int error = wl_display_get_error(display_);
    const wl_interface* interface = nullptr;
    std::uint32_t id = 0;
    const std::uint32_t code = wl_display_get_protocol_error(display_, &interface, &id);
    if (error == EPROTO)
        logWarning("Wayland: the compositor closed Zelvo's connection after a protocol error (" +
                   std::string(interface ? interface->name : "unknown interface") + "#" + std::to_string(id) +
                   ", code " + std::to_string(code) + "); the switcher stops following windows");
    else
        logWarning("Wayland: the connection to the compositor is lost (" + std::string(std::strerror(error)) +
                   "); the switcher stops following windows");
    return false;
}

bool WaylandConnection::readAndDispatch() {
    if (broken_) return false;
    // Events already queued are dispatched first; reading is then safe.
    while (wl_display_prepare_read(display_) != 0)
        if (!check(wl_display_dispatch_pending(display_))) return false;
    if (!check(wl_display_read_events(display_))) return false;
    return check(wl_display_dispatch_queue_pending(display_, outputQueue_)) &&
           check(wl_display_dispatch_pending(display_));
}

bool WaylandConnection::dispatchPendingAndFlush() {
    if (broken_) return false;
    if (!check(wl_display_dispatch_queue_pending(display_, outputQueue_))) return false;
    if (!check(wl_display_dispatch_pending(display_))) return false;
    return check(wl_display_flush(display_));
}

bool WaylandConnection::flush() { return !broken_ && check(wl_display_flush(display_)); }

bool WaylandConnection::roundtrip() { return check(wl_display_roundtrip(display_)); }

} // namespace platform::wayland
