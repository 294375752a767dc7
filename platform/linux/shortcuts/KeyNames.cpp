#include "platform/linux/shortcuts/KeyNames.h"

#include "platform/linux/keycodes/CarbonKeyCodes.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>

namespace platform::shortcuts {

Modifiers modifiersOf(const ShortcutKeys& keys) {
    return {(keys.modifiers & 0x100u) != 0, (keys.modifiers & 0x200u) != 0, (keys.modifiers & 0x800u) != 0,
            (keys.modifiers & 0x1000u) != 0};
}

namespace {

struct KeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};

xkb_keymap* usKeymap() {
    static std::unique_ptr<xkb_keymap, KeymapDeleter> keymap = [] {
        std::unique_ptr<xkb_keymap, KeymapDeleter> made;
        if (xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
            const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
            made.reset(xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
            xkb_context_unref(context);
        }
        return made;
    }();
    return keymap.get();
}

} // namespace

std::string keysymName(std::uint32_t carbonKeyCode) {
    const auto x11 = keycodes::x11KeycodeForCarbon(carbonKeyCode);
    xkb_keymap* keymap = usKeymap();
    if (!x11 || !keymap) return {};
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, *x11, 0, 0, &syms) < 1) return {};
    char name[64];
    if (xkb_keysym_get_name(syms[0], name, sizeof name) < 0) return {};
    return name;
}

std::string inputEventName(std::uint32_t carbonKeyCode) {
    // Where the input event name is not the keysym's in capitals.
    static const std::map<std::string, std::string> differing = {
        {"Escape", "ESC"},     {"Return", "ENTER"},        {"BackSpace", "BACKSPACE"}, {"Prior", "PAGEUP"},
        {"Next", "PAGEDOWN"},  {"bracketleft", "LEFTBRACE"}, {"bracketright", "RIGHTBRACE"},
        {"Caps_Lock", "CAPSLOCK"}, {"period", "DOT"},       {"apostrophe", "APOSTROPHE"},
    };
    std::string name = keysymName(carbonKeyCode);
    if (name.empty()) return {};
    if (auto it = differing.find(name); it != differing.end()) return "KEY_" + it->second;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    return "KEY_" + name;
}

std::string spellModifiers(const ShortcutKeys& keys, const ModifierSpelling& spelling) {
    const Modifiers m = modifiersOf(keys);
    std::string out;
    auto add = [&](bool on, const char* word) {
        if (on) (out += word) += spelling.separator;
    };
    add(m.super, spelling.super);
    add(m.control, spelling.control);
    add(m.alt, spelling.alt);
    add(m.shift, spelling.shift);
    if (out.empty() && *spelling.none) (out = spelling.none) += spelling.separator;
    return out;
}

} // namespace platform::shortcuts

namespace platform::shortcuts {

bool spellsKeys(const ShortcutKeys& keys, const std::vector<std::string>& modifierWords, const std::string& keyName) {
    static const std::map<std::string, std::uint32_t> bits = {
        {"alt", 0x800},     {"mod1", 0x800}, {"a", 0x800},     {"control", 0x1000}, {"ctrl", 0x1000},
        {"primary", 0x1000}, {"c", 0x1000},  {"shift", 0x200}, {"s", 0x200},        {"super", 0x100},
        {"mod4", 0x100},    {"win", 0x100},  {"w", 0x100},
    };
    std::uint32_t spelled = 0;
    for (std::string word : modifierWords) {
        std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::tolower(c); });
        auto it = bits.find(word);
        if (it == bits.end()) return false;
        spelled |= it->second;
    }
    const std::string name = keysymName(keys.keyCode);
    if (spelled != (keys.modifiers & 0x1B00u) || name.empty() || name.size() != keyName.size()) return false;
    return std::equal(name.begin(), name.end(), keyName.begin(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

bool acceleratorSpellsKeys(const ShortcutKeys& keys, const std::string& accelerator) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < accelerator.size() && accelerator[at] == '<') {
        const auto close = accelerator.find('>', at);
        if (close == std::string::npos) return false;
        words.push_back(accelerator.substr(at + 1, close - at - 1));
        at = close + 1;
    }
    return spellsKeys(keys, words, accelerator.substr(at));
}

} // namespace platform::shortcuts
