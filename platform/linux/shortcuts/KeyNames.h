#pragma once

#include "platform/ShortcutHost.h"

#include <string>
#include <vector>

namespace platform::shortcuts {

// The modifiers of a shortcut, decoded from Carbon bits.
struct Modifiers {
    bool super = false, shift = false, alt = false, control = false;
};
Modifiers modifiersOf(const ShortcutKeys& keys);

// The key's X keysym name on a US layout ("Tab", "a", "grave", "F5"), which is
// how window managers and compositors spell keys in their settings; empty for
// a key code with no keysym.
std::string keysymName(std::uint32_t carbonKeyCode);

// The key's Linux input event name ("KEY_TAB"), as wayfire spells keys.
std::string inputEventName(std::uint32_t carbonKeyCode);

// Modifier names in a program's spelling, in the order super, control, alt,
// shift, each followed by `separator`; `none` when there are no modifiers
// and the program needs a word for it.
struct ModifierSpelling {
    const char* super;
    const char* control;
    const char* alt;
    const char* shift;
    const char* separator;
    const char* none = "";
};
std::string spellModifiers(const ShortcutKeys& keys, const ModifierSpelling& spelling);

} // namespace platform::shortcuts

namespace platform::shortcuts {

// Whether a program's spelling of a combination, its modifier words and its
// key name, is `keys`. Modifier words are read in any case and in any of the
// usual spellings (Alt, Mod1, A; Control, Ctrl, Primary, C; Shift, S; Super,
// Mod4, Win, W); any other word never matches.
bool spellsKeys(const ShortcutKeys& keys, const std::vector<std::string>& modifierWords, const std::string& keyName);

// A GTK accelerator ("<Alt><Shift>Tab"), as xfwm4 and the GNOME-family window
// managers store them, split into its modifier words and key name.
bool acceleratorSpellsKeys(const ShortcutKeys& keys, const std::string& accelerator);

} // namespace platform::shortcuts
