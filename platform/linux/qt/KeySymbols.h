#pragma once

#include <memory>
#include <string>

struct xkb_context;
struct xkb_keymap;

namespace platform::qt {

// The characters an X keycode produces with no modifiers held (the first
// shift level of the current layout), from the X server's keymap through
// xkbcommon. Without an X connection (offscreen tests) it knows nothing.
class KeySymbols {
public:
    KeySymbols();
    ~KeySymbols();
    KeySymbols(const KeySymbols&) = delete;
    KeySymbols& operator=(const KeySymbols&) = delete;

    std::string unmodifiedCharacters(unsigned x11Keycode) const;
    bool valid() const { return keymap_ != nullptr; }

private:
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
};

} // namespace platform::qt
