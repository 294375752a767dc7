#pragma once

#include <cstdint>
#include <optional>

namespace platform::keycodes {

// Key-code translation between the Linux input layer (evdev codes; an X
// keycode is the evdev code plus 8) and the Carbon virtual key codes the
// application's key tables are written in.
std::optional<std::uint16_t> carbonKeyCodeForEvdev(unsigned evdevCode);
inline std::optional<std::uint16_t> carbonKeyCodeForX11(unsigned x11Keycode) {
    if (x11Keycode < 8) return std::nullopt;
    return carbonKeyCodeForEvdev(x11Keycode - 8);
}

// The other way: the X keycode of a Carbon virtual key code (its evdev code
// plus 8), for grabbing a hot key.
std::optional<std::uint8_t> x11KeycodeForCarbon(std::uint32_t carbonKeyCode);

// The modifier-flag bit a modifier key stands for (Shift, Control, Option,
// Command, caps lock, Function), or 0 when the key is not a modifier.
std::uint64_t modifierFlagForCarbonKey(std::uint16_t carbonCode);

// Keys that carry the numeric-pad flag: the keypad and the arrow keys.
bool isNumericPadKey(std::uint16_t carbonCode);

// The characters a keypad key produces whatever the modifiers and NumLock
// ("0"-"9", ".", "*", ...); empty for other keys.
const char* keypadCharacters(std::uint16_t carbonCode);

// Modifier flags from an X11 key/button state mask: Shift, Lock, Control,
// Mod1 (Alt = Option), Mod4 (Super = Command).
std::uint64_t modifierFlagsFromX11State(unsigned state);

} // namespace platform::keycodes
