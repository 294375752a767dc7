#include "platform/linux/wayland/LayerPanelSurface.h"

#include "platform/Log.h"
#include "platform/linux/wayland/protocols/Protocols.h"

#include <algorithm>
#include <linux/input-event-codes.h>
#include <utility>
#include <sys/mman.h>
#include <unistd.h>

namespace platform::wayland {

using desktop::PointerEvent;

struct LayerPanelSurface::Events {
    static LayerPanelSurface& self(void* data) { return *static_cast<LayerPanelSurface*>(data); }

    // zwlr_layer_surface_v1
    static void configure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t width,
                          std::uint32_t height) {
        auto& s = self(data);
        zwlr_layer_surface_v1_ack_configure(layer, serial);
        if (width > 0 && height > 0) {
            s.width_ = int(width);
            s.height_ = int(height);
        }
        s.configured_ = true;
        if (s.input_.frameNeeded) s.input_.frameNeeded();
    }
    // wl_surface
    static void enter(void* data, wl_surface*, wl_output* output) { self(data).entered_ = output; }
    static void leave(void* data, wl_surface*, wl_output* output) {
        if (self(data).entered_ == output) self(data).entered_ = nullptr;
    }

    static void closed(void* data, zwlr_layer_surface_v1*) {
        auto& s = self(data);
        s.unmap();
        if (s.input_.closed) s.input_.closed();
    }

    // The seat's devices.
    static void capabilities(void* data, wl_seat* seat, std::uint32_t caps) {
        auto& s = self(data);
        const bool keyboard = caps & WL_SEAT_CAPABILITY_KEYBOARD;
        const bool pointer = caps & WL_SEAT_CAPABILITY_POINTER;
        if (keyboard && !s.keyboard_) {
            s.keyboard_ = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(s.keyboard_, &kKeyboard, data);
        } else if (!keyboard && s.keyboard_) {
            wl_keyboard_release(s.keyboard_);
            s.keyboard_ = nullptr;
            s.focusKeyboard(false);
        }
        if (pointer && !s.pointer_) {
            s.pointer_ = wl_seat_get_pointer(seat);
            wl_pointer_add_listener(s.pointer_, &kPointer, data);
        } else if (!pointer && s.pointer_) {
            wl_pointer_release(s.pointer_);
            s.pointer_ = nullptr;
        }
    }

    // wl_keyboard
    static void keymap(void* data, wl_keyboard*, std::uint32_t format, int32_t fd, std::uint32_t size) {
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
            void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (text != MAP_FAILED) {
                // The text ends with a NUL the size counts.
                if (!self(data).keys_.setKeymap(static_cast<const char*>(text), size ? size - 1 : 0))
                    logWarning("Wayland: the compositor's keymap does not compile; keys keep the previous one");
                munmap(text, size);
            }
        }
        close(fd);
    }
    static void enter(void* data, wl_keyboard*, std::uint32_t, wl_surface* surface, wl_array*) {
        auto& s = self(data);
        if (surface == s.surface_) s.focusKeyboard(true);
    }
    static void leave(void* data, wl_keyboard*, std::uint32_t, wl_surface* surface) {
        auto& s = self(data);
        if (surface == s.surface_) s.focusKeyboard(false);
    }
    static void key(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key, std::uint32_t state) {
        auto& s = self(data);
        if (!s.hasKeyboard_) return;
        const bool pressed = state == WL_KEYBOARD_KEY_STATE_PRESSED;
        if (pressed && s.keys_.repeats(key) && s.repeatRate_ > 0) {
            s.repeating_ = key;
            if (s.input_.repeatStarted) s.input_.repeatStarted(s.repeatDelay_, 1000 / s.repeatRate_);
        } else if (!pressed && key == s.repeating_) {
            s.stopRepeat();
        }
        if (auto event = s.keys_.key(key, pressed))
            if (s.input_.key) s.input_.key(*event);
    }
    static void modifiers(void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched,
                          std::uint32_t locked, std::uint32_t group) {
        auto& s = self(data);
        auto event = s.keys_.updateModifiers(depressed, latched, locked, group);
        const bool swallow = std::exchange(s.swallowNextModifiers_, false);
        if (event && !swallow && s.hasKeyboard_ && s.input_.key) s.input_.key(*event);
    }
    static void repeatInfo(void* data, wl_keyboard*, int32_t rate, int32_t delay) {
        auto& s = self(data);
        s.repeatRate_ = std::max(0, rate); // 0: keys do not repeat
        s.repeatDelay_ = std::max(0, delay);
    }

    // wl_pointer
    static void pointerEnter(void* data, wl_pointer*, std::uint32_t, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
        auto& s = self(data);
        s.pointerInside_ = surface == s.surface_;
        if (s.pointerInside_) s.point(PointerEvent::Kind::Enter, x, y);
    }
    static void pointerLeave(void* data, wl_pointer*, std::uint32_t, wl_surface*) {
        auto& s = self(data);
        if (!s.pointerInside_) return;
        s.pointerInside_ = false;
        if (s.input_.pointer) s.input_.pointer({PointerEvent::Kind::Leave, s.pointerX_, s.pointerY_});
    }
    static void motion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
        auto& s = self(data);
        if (s.pointerInside_) s.point(PointerEvent::Kind::Motion, x, y);
    }
    static void button(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
                       std::uint32_t state) {
        auto& s = self(data);
        if (!s.pointerInside_ || !s.input_.pointer) return;
        const int number = button == BTN_LEFT ? 1 : button == BTN_MIDDLE ? 2 : button == BTN_RIGHT ? 3 : 0;
        if (!number) return;
        PointerEvent event{state == WL_POINTER_BUTTON_STATE_PRESSED ? PointerEvent::Kind::Press
                                                                     : PointerEvent::Kind::Release,
                           s.pointerX_, s.pointerY_, number};
        s.input_.pointer(event);
    }
    static void axis(void* data, wl_pointer*, std::uint32_t, std::uint32_t axis, wl_fixed_t value) {
        auto& s = self(data);
        if (!s.pointerInside_ || axis != WL_POINTER_AXIS_VERTICAL_SCROLL || !s.input_.pointer) return;
        // Ten units a wheel step, as most compositors send.
        s.input_.pointer({PointerEvent::Kind::Scroll, s.pointerX_, s.pointerY_, 0, wl_fixed_to_double(value) / 10});
    }
    static void frame(void*, wl_pointer*) {}
    static void axisSource(void*, wl_pointer*, std::uint32_t) {}
    static void axisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
    static void axisDiscrete(void*, wl_pointer*, std::uint32_t, int32_t) {}

    static const zwlr_layer_surface_v1_listener kLayer;
    static const wl_surface_listener kSurface;
    static const wl_keyboard_listener kKeyboard;
    static const wl_pointer_listener kPointer;
};

const zwlr_layer_surface_v1_listener LayerPanelSurface::Events::kLayer{&Events::configure, &Events::closed};
const wl_surface_listener LayerPanelSurface::Events::kSurface{&Events::enter, &Events::leave};
const wl_keyboard_listener LayerPanelSurface::Events::kKeyboard{&Events::keymap, &Events::enter,     &Events::leave,
                                                                &Events::key,    &Events::modifiers, &Events::repeatInfo};
const wl_pointer_listener LayerPanelSurface::Events::kPointer{
    &Events::pointerEnter, &Events::pointerLeave, &Events::motion,   &Events::button,       &Events::axis,
    &Events::frame,        &Events::axisSource,   &Events::axisStop, &Events::axisDiscrete, nullptr};

LayerPanelSurface::LayerPanelSurface(WaylandConnection& connection)
    : connection_(connection), buffers_(connection.globals().shm) {
    const auto& g = connection_.globals();
    // A frame refused for want of a free buffer is drawn once one is back.
    buffers_.setReleaseListener([this] {
        if (!frameWanted_) return;
        frameWanted_ = false;
        if (input_.frameNeeded) input_.frameNeeded();
    });
    // Until the compositor sends its keymap, the common one.
    keys_.setKeymapFromNames("us");
    if (g.seat)
        connection_.setSeatCapabilitiesListener([this, seat = g.seat](std::uint32_t caps) {
            Events::capabilities(this, seat, caps);
        });
}

LayerPanelSurface::~LayerPanelSurface() {
    unmap();
    connection_.setSeatCapabilitiesListener(nullptr);
    if (keyboard_) wl_keyboard_release(keyboard_);
    if (pointer_) wl_pointer_release(pointer_);
    flush();
}

void LayerPanelSurface::map(int width, int height, bool takeKeyboard, std::optional<std::pair<int, int>> place) {
    const auto& g = connection_.globals();
    if (layer_ || !g.compositor || !g.layerShell) return;
    width_ = std::max(1, width);
    height_ = std::max(1, height);
    takesKeyboard_ = takeKeyboard;
    configured_ = false;
    surface_ = wl_compositor_create_surface(g.compositor);
    wl_surface_add_listener(surface_, &Events::kSurface, this);
    // A place goes to the output holding the panel's centre; without one
    // (or off every output) the compositor puts it on the focused output.
    const Output* on = nullptr;
    if (place)
        for (const auto& o : connection_.outputs()) {
            const int cx = place->first + width_ / 2, cy = place->second + height_ / 2;
            if (o->width > 0 && cx >= o->x && cx < o->x + o->width && cy >= o->y && cy < o->y + o->height) {
                on = o.get();
                break;
            }
        }
    layer_ = zwlr_layer_shell_v1_get_layer_surface(g.layerShell, surface_, on ? on->output : nullptr,
                                                   ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "zelvo-switcher");
    zwlr_layer_surface_v1_add_listener(layer_, &Events::kLayer, this);
    zwlr_layer_surface_v1_set_size(layer_, std::uint32_t(width_), std::uint32_t(height_));
    if (on) placeOn(*on, place->first, place->second);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer_, takeKeyboard ? 1 : 0);
    updateInhibitor();
    wl_surface_commit(surface_);
    flush();
}

void LayerPanelSurface::unmap() {
    if (!layer_) return;
    if (inhibitor_) zwp_keyboard_shortcuts_inhibitor_v1_destroy(inhibitor_);
    inhibitor_ = nullptr;
    zwlr_layer_surface_v1_destroy(layer_);
    wl_surface_destroy(surface_);
    layer_ = nullptr;
    surface_ = nullptr;
    configured_ = false;
    placedOn_ = nullptr;
    placedAt_.reset();
    entered_ = nullptr;
    drawing_ = nullptr;
    focusKeyboard(false);
    pointerInside_ = false;
    // Gone from the screen before anything sent after (an activation).
    flush();
}

void LayerPanelSurface::focusKeyboard(bool has) {
    if (has == hasKeyboard_) return;
    hasKeyboard_ = has;
    if (!has) stopRepeat();
    // At enter the modifiers are reported right after. Following a hot key
    // they count, so that one already let go ends the switch at once; else
    // they only set where changes count from.
    if (has) {
        keys_.reset();
        swallowNextModifiers_ = !std::exchange(reportAtEnter_, false);
    }
    if (input_.keyboardFocus) input_.keyboardFocus(has);
}

void LayerPanelSurface::stopRepeat() {
    if (!repeating_) return;
    repeating_ = 0;
    if (input_.repeatStopped) input_.repeatStopped();
}

void LayerPanelSurface::repeatKey() {
    if (!repeating_ || !hasKeyboard_) return;
    if (auto event = keys_.key(repeating_, true, true))
        if (input_.key) input_.key(*event);
}

void LayerPanelSurface::point(PointerEvent::Kind kind, wl_fixed_t x, wl_fixed_t y) {
    pointerX_ = wl_fixed_to_double(x);
    pointerY_ = wl_fixed_to_double(y);
    if (input_.pointer) input_.pointer({kind, pointerX_, pointerY_});
}

void LayerPanelSurface::setTakesKeyboard(bool value) {
    takesKeyboard_ = value;
    if (!layer_) return;
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer_, value ? 1 : 0);
    updateInhibitor();
    wl_surface_commit(surface_);
    flush();
}

void LayerPanelSurface::updateInhibitor() {
    const auto& g = connection_.globals();
    if (takesKeyboard_ && !inhibitor_ && g.shortcutsInhibitManager && g.seat && surface_)
        inhibitor_ = zwp_keyboard_shortcuts_inhibit_manager_v1_inhibit_shortcuts(g.shortcutsInhibitManager, surface_,
                                                                                 g.seat);
    else if (!takesKeyboard_ && inhibitor_) {
        zwp_keyboard_shortcuts_inhibitor_v1_destroy(inhibitor_);
        inhibitor_ = nullptr;
    }
}

void LayerPanelSurface::resize(int width, int height) {
    width = std::max(1, width);
    height = std::max(1, height);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    if (!layer_) return;
    zwlr_layer_surface_v1_set_size(layer_, std::uint32_t(width_), std::uint32_t(height_));
    wl_surface_commit(surface_);
    flush();
}

std::optional<desktop::PanelSurface::Pixels> LayerPanelSurface::beginFrame() {
    if (!layer_ || !configured_) return std::nullopt;
    // Whole pixels of the output's scale: sharp on a scale-2 screen.
    const Output* on = currentOutput();
    scale_ = on ? on->scale : 1;
    drawing_ = buffers_.acquire(width_ * scale_, height_ * scale_);
    frameWanted_ = !drawing_;
    if (!drawing_) return std::nullopt;
    return Pixels{static_cast<std::uint32_t*>(drawing_->data), drawing_->width, drawing_->height, drawing_->width * 4,
                  scale_};
}

void LayerPanelSurface::endFrame() {
    if (!drawing_ || !surface_) return;
    wl_surface_set_buffer_scale(surface_, scale_);
    wl_surface_attach(surface_, drawing_->buffer, 0, 0);
    wl_surface_damage_buffer(surface_, 0, 0, drawing_->width, drawing_->height);
    buffers_.submitted(*drawing_);
    drawing_ = nullptr;
    wl_surface_commit(surface_);
    flush();
}

} // namespace platform::wayland

namespace platform::wayland {

const Output* LayerPanelSurface::currentOutput() const {
    if (auto* o = connection_.output(placedOn_ ? placedOn_ : entered_)) return o;
    return connection_.outputs().empty() ? nullptr : connection_.outputs().front().get();
}

void LayerPanelSurface::placeOn(const Output& output, int x, int y) {
    // Kept wholly on the output where it fits.
    x = std::clamp(x, output.x, std::max(output.x, output.x + output.width - width_));
    y = std::clamp(y, output.y, std::max(output.y, output.y + output.height - height_));
    placedOn_ = output.output;
    placedAt_ = std::pair(x, y);
    zwlr_layer_surface_v1_set_anchor(layer_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT);
    zwlr_layer_surface_v1_set_margin(layer_, y - output.y, 0, 0, x - output.x);
}

std::vector<desktop::PanelSurface::Area> LayerPanelSurface::outputs() const {
    std::vector<Area> areas;
    for (const auto& o : connection_.outputs())
        if (o->width > 0 && o->height > 0) areas.push_back({o->x, o->y, o->width, o->height});
    return areas;
}

std::optional<desktop::PanelSurface::Area> LayerPanelSurface::frame() const {
    if (!layer_) return std::nullopt;
    if (placedAt_) return Area{placedAt_->first, placedAt_->second, width_, height_};
    // Centred on the output it entered.
    const Output* on = connection_.output(entered_);
    if (!on) return std::nullopt;
    return Area{on->x + (on->width - width_) / 2, on->y + (on->height - height_) / 2, width_, height_};
}

void LayerPanelSurface::moveTo(int x, int y) {
    if (!layer_) return;
    const Output* on = currentOutput();
    if (!on) return;
    placeOn(*on, x, y);
    wl_surface_commit(surface_);
    flush();
}

} // namespace platform::wayland
