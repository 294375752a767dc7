#pragma once

#include "Hotkeys/core/Key.h"
#include "Hotkeys/core/Modifiers.h"
#include "platform/Event.h"
#include "platform/Value.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Hotkeys {

class Menu;
class MenuItem;

// A key plus modifier keys, both in Carbon encoding: the value every part of
// the shortcut code speaks of and the form in which shortcuts are stored.
struct Shortcut {
    std::int64_t carbonKeyCode = 0;
    std::int64_t carbonModifiers = 0;

    // Modifiers are normalised: only Control, Option, Shift and Command survive.
    Shortcut(std::int64_t carbonKeyCode, std::int64_t carbonModifiers);
    explicit Shortcut(Key key, EventModifiers modifiers = {});
    // Key-down and key-up events only.
    static std::optional<Shortcut> fromEvent(const platform::Event& event);
    // Exactly the stored values, without normalisation.
    static Shortcut unnormalized(std::int64_t carbonKeyCode, std::int64_t carbonModifiers);

    // JSON persisted form: {"carbonKeyCode":48,"carbonModifiers":2048}.
    std::string toJson() const;
    // Members in any order; a missing member or a non-integer value fails.
    static std::optional<Shortcut> fromJson(std::string_view json);

    Key key() const { return Key(carbonKeyCode); }
    EventModifiers eventModifiers() const { return EventModifiers::fromCarbon(carbonModifiers); }

    // Modifier symbols followed by the capitalised key text (U+FFFD when the
    // key has none): ⌥⇥, ⇧⌘A, ⌃Space.
    std::string description() const;
    // The name a Linux desktop shows: modifiers by their key names, then the
    // key, joined with "+": Alt+Tab, Shift+Super+A, Ctrl+Space.
    std::string displayName() const;
    // Glyph table first, then the current keyboard layout.
    std::optional<std::string> keyCharacter() const;
    // Text for a menu item's key equivalent; may be empty.
    std::string menuKeyEquivalent() const;
    // The first item of the menu tree (depth first) using this shortcut.
    const MenuItem* conflictingMenuItem(const Menu& menu) const;

    bool operator==(const Shortcut&) const = default;

private:
    Shortcut() = default;
};

// Shortcuts of the system-wide hot keys that are switched on. X11 has no
// such registry, so production returns an empty list.
std::vector<Shortcut> enabledSystemShortcuts();
// Whether another program holds the combination, found by a trial
// registration with the hot-key service. The process's own registered
// shortcuts are not another program's.
bool isHeldByAnotherProgram(const Shortcut& shortcut);

// The display text of fixed keys (return, arrows, function keys, keypad).
std::optional<std::string> keyGlyph(std::int64_t carbonKeyCode);
// The Linux name of fixed keys (Tab, Return, Page Up, F1, keypad keys).
std::optional<std::string> linuxKeyName(std::int64_t carbonKeyCode);
// The menu key-equivalent character of space and F1-F20.
std::optional<std::string> menuKeyEquivalentEntry(std::int64_t carbonKeyCode);

} // namespace Hotkeys

template <> struct std::hash<Hotkeys::Shortcut> {
    std::size_t operator()(const Hotkeys::Shortcut& s) const noexcept {
        std::size_t h = std::hash<std::int64_t>{}(s.carbonKeyCode);
        return h ^ (std::hash<std::int64_t>{}(s.carbonModifiers) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
    }
};
