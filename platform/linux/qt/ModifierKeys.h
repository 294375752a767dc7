#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

struct xcb_connection_t;

namespace platform::qt {

// The server's modifier mapping as (keycode, mask) pairs, modifier by modifier
// in the server's order; empty when it cannot be read.
std::vector<std::pair<std::uint8_t, std::uint16_t>> readModifierMapping(xcb_connection_t* connection);

// The keys of the X keyboard that act as modifiers, as the server's modifier
// mapping assigns them: Alt_L and Alt_R to Mod1, but on German and other
// layouts the right Alt key is AltGr (ISO_Level3_Shift) on Mod5, which is no
// Alt at all. Read from the application's X connection; without one
// (offscreen) nothing is known.
class ModifierKeys {
public:
    ModifierKeys();

    // The X modifier mask `keycode` sets (0 for none); nothing without an X
    // connection.
    std::optional<std::uint16_t> maskOf(unsigned keycode) const;
    // Whether a key other than `keycode` that sets `mask` is down now (asks
    // the server).
    bool otherHeld(unsigned keycode, std::uint16_t mask) const;
    // The keymap changed: read the mapping again.
    void reload();

private:
    xcb_connection_t* connection_ = nullptr;
    std::vector<std::pair<std::uint8_t, std::uint16_t>> keys_; // keycode, the mask it sets
};

} // namespace platform::qt
