#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Hotkeys {

// The current keyboard layout as a key-name service: the text a key types at
// its first level with no modifiers held. Production asks the X server's
// layout through xkbcommon; tests use UsKeyboardLayout.
class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    // UTF-8 text of the key, for display. Nothing when there is no layout or
    // the key is unknown to it; empty when the key types nothing (a dead key,
    // a modifier).
    virtual std::optional<std::string> translate(std::uint16_t carbonKeyCode) const = 0;
};

// A fixed US ANSI layout: letters, digits, punctuation and space.
class UsKeyboardLayout : public KeyboardLayout {
public:
    std::optional<std::string> translate(std::uint16_t carbonKeyCode) const override;
};

} // namespace Hotkeys
