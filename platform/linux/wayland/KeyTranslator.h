#pragma once

#include "platform/Event.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace platform::wayland {

// Turns the compositor's keymap and key events (wl_keyboard) into the key
// events the X11 backend hands the application: the Carbon virtual key code,
// the characters with and without modifiers, and the modifier flags.
//
// Virtual keyboards (on-screen keyboards, remote desktops, wtype) upload
// keymaps of their own in which a key's position means nothing, so the keys
// the switcher acts on (Tab, Return, Escape, the arrows, the digits) are
// recognised by their keysym: a digit by its unshifted keysym first, and by
// its place in the digit row only when that keysym is no digit (AZERTY's
// "&é\"'(-è_çà" row). Other keys are recognised by position.
class KeyTranslator {
public:
    KeyTranslator();
    ~KeyTranslator();
    KeyTranslator(const KeyTranslator&) = delete;
    KeyTranslator& operator=(const KeyTranslator&) = delete;

    // A keymap in the xkb text format (what wl_keyboard.keymap maps);
    // false when it does not compile (the previous keymap stays).
    bool setKeymap(const char* text, std::size_t size);
    // A keymap compiled from layout names ("us", "fr", "de" ...), for tests
    // and before the compositor sent one.
    bool setKeymapFromNames(const std::string& layout, const std::string& variant = "");
    bool hasKeymap() const { return state_ != nullptr; }

    // wl_keyboard.modifiers. A FlagsChanged event when the flags differ from
    // the last ones reported, and always for the first report after reset().
    std::optional<Event> updateModifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                                         std::uint32_t group);
    // wl_keyboard.key with its evdev code. KeyDown/KeyUp, or FlagsChanged
    // for a modifier key itself (its flag folded in, as on X11); nothing for
    // a key without Carbon code and keysym Zelvo knows.
    std::optional<Event> key(std::uint32_t evdevCode, bool pressed, bool repeat = false);
    // Whether the key repeats in this keymap (letters do, modifiers do not).
    bool repeats(std::uint32_t evdevCode) const;

    std::uint64_t modifierFlags() const { return flags_; }
    // Forgets the reported flags (at keyboard enter): the next modifiers
    // report is delivered whatever it says.
    void reset() { reported_ = false; }

private:
    bool install(xkb_keymap* keymap);
    std::uint64_t stateFlags() const;

    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
    std::uint64_t flags_ = 0;
    bool reported_ = false;
};

} // namespace platform::wayland
