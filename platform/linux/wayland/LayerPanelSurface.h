#pragma once

#include "platform/linux/desktop/PanelSurface.h"
#include "platform/linux/wayland/KeyTranslator.h"
#include "platform/linux/wayland/ShmBuffers.h"
#include "platform/linux/wayland/WaylandConnection.h"

struct wl_surface;
struct wl_keyboard;
struct wl_pointer;
struct zwlr_layer_surface_v1;
struct zwp_keyboard_shortcuts_inhibitor_v1;

namespace platform::wayland {

// The switcher panel's surface on a wlroots compositor: a layer surface on
// the overlay layer, drawn from two shared-memory buffers, with the seat's
// keyboard (exclusive while a switch is in progress, the compositor's
// shortcuts inhibited so that Tab and the hot key's own key reach Zelvo) and
// pointer. Everything goes over Zelvo's own connection. Main thread only.
class LayerPanelSurface : public desktop::PanelSurface {
public:
    explicit LayerPanelSurface(WaylandConnection& connection);
    ~LayerPanelSurface() override;

    void setInput(Input input) override { input_ = std::move(input); }
    void map(int width, int height, bool takeKeyboard, std::optional<std::pair<int, int>> place) override;
    void unmap() override;
    bool mapped() const override { return layer_ != nullptr; }
    void setTakesKeyboard(bool value) override;
    bool takesKeyboard() const override { return takesKeyboard_; }
    bool hasKeyboard() const override { return hasKeyboard_; }
    void resize(int width, int height) override;
    void reportModifiersAtNextEnter() override { reportAtEnter_ = true; }
    void repeatKey() override;
    std::optional<Pixels> beginFrame() override;
    void endFrame() override;
    std::vector<Area> outputs() const override;
    std::optional<Area> frame() const override;
    void moveTo(int x, int y) override;

    // Listener entry points (called from the protocol's C callbacks).
    struct Events;

private:
    void updateInhibitor();
    void focusKeyboard(bool has);
    void stopRepeat();
    void point(desktop::PointerEvent::Kind kind, int x, int y);
    // Sends what is queued; never runs handlers, which could re-enter the
    // caller's own.
    void flush() { connection_.flush(); }
    // The output the surface is on: the one it was placed on or entered,
    // else the first.
    const Output* currentOutput() const;
    void placeOn(const Output& output, int x, int y);

    WaylandConnection& connection_;
    Input input_;
    KeyTranslator keys_;
    ShmBuffers buffers_;
    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layer_ = nullptr;
    zwp_keyboard_shortcuts_inhibitor_v1* inhibitor_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    wl_pointer* pointer_ = nullptr;
    int width_ = 0, height_ = 0;
    int scale_ = 1;
    bool configured_ = false;
    bool takesKeyboard_ = false;
    bool hasKeyboard_ = false;
    bool pointerInside_ = false;
    bool frameWanted_ = false;
    bool reportAtEnter_ = false;
    std::uint32_t repeating_ = 0; // the evdev code of the held key that repeats; 0 none
    int repeatRate_ = 25, repeatDelay_ = 600;
    bool swallowNextModifiers_ = false;
    double pointerX_ = 0, pointerY_ = 0;
    wl_output* placedOn_ = nullptr;                // anchored top-left with margins on this output
    std::optional<std::pair<int, int>> placedAt_;  // the top-left corner in the layout, when placed
    wl_output* entered_ = nullptr;
    ShmBuffers::Buffer* drawing_ = nullptr;
};

} // namespace platform::wayland
