#pragma once

#include "Hotkeys/core/KeyboardLayout.h"

#include <xcb/xcb.h>

#include <memory>
#include <string>

struct xkb_context;
struct xkb_keymap;

namespace Hotkeys::x11 {

// Key names from an xkbcommon keymap: the keysym at the first level of the
// key (no modifiers) as text. Keys typing nothing (dead keys, modifiers)
// give an empty text.
class XkbKeyboardLayout : public Hotkeys::KeyboardLayout {
public:
    // A keymap compiled from layout names ("us", "de", ...; no X server
    // needed). Nothing when the names do not compile.
    static std::unique_ptr<XkbKeyboardLayout> fromNames(const std::string& layout, const std::string& variant = "");
    // The X server's keyboard: its keymap and active group are read again
    // on every call, so names follow layout switches.
    static std::unique_ptr<XkbKeyboardLayout> fromX11(xcb_connection_t* connection);

    ~XkbKeyboardLayout() override;
    std::optional<std::string> translate(std::uint16_t carbonKeyCode) const override;

private:
    XkbKeyboardLayout() = default;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;        // fixed keymap (fromNames)
    xcb_connection_t* connection_ = nullptr; // live keymap (fromX11)
    std::int32_t deviceId_ = -1;
};

} // namespace Hotkeys::x11
