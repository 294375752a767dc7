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

    // A keymap compiled from layout names ("us,de"), for tests.
    explicit KeySymbols(const std::string& layouts);

    // The characters in layout group `group` (the event's active group).
    std::string unmodifiedCharacters(unsigned x11Keycode, unsigned group = 0) const;
    bool valid() const { return keymap_ != nullptr; }
    // The server's keymap changed: read it again.
    void reload();

private:
    void load();
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    bool fromServer_ = true;
};

} // namespace platform::qt
