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
    // The X server's keyboard: its keymap is compiled once and again after
    // keymapChanged(); the active group is asked for on every call (one
    // round trip), so names follow layout switches.
    static std::unique_ptr<XkbKeyboardLayout> fromX11(xcb_connection_t* connection);

    ~XkbKeyboardLayout() override;
    std::optional<std::string> translate(std::uint16_t carbonKeyCode) const override;
    // The server's keymap changed (a keymap notification): compile it anew
    // when next needed.
    void keymapChanged();
    // How many times the server's keymap was compiled (for tests).
    int keymapCompiles() const { return compiles_; }

private:
    XkbKeyboardLayout() = default;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;           // fixed keymap (fromNames)
    xcb_connection_t* connection_ = nullptr; // live keymap (fromX11)
    std::int32_t deviceId_ = -1;
    mutable xkb_keymap* liveKeymap_ = nullptr; // the server's, compiled
    mutable int compiles_ = 0;
};

} // namespace Hotkeys::x11
