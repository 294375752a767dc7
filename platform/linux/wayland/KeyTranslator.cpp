#include "platform/linux/wayland/KeyTranslator.h"

#include "platform/linux/keycodes/CarbonKeyCodes.h"

#include <xkbcommon/xkbcommon.h>

namespace platform::wayland {

using namespace platform::keycodes;

namespace {

constexpr std::uint16_t kDigitCodes[10] = {29, 18, 19, 20, 21, 23, 22, 26, 28, 25};

// The keys the switcher acts on, by keysym.
std::optional<std::uint16_t> switcherKey(xkb_keysym_t sym) {
    switch (sym) {
    case XKB_KEY_Tab:
    case XKB_KEY_ISO_Left_Tab: return 48;
    case XKB_KEY_Return: return 36;
    case XKB_KEY_KP_Enter: return 76;
    case XKB_KEY_Escape: return 53;
    case XKB_KEY_Left: return 123;
    case XKB_KEY_Right: return 124;
    case XKB_KEY_Down: return 125;
    case XKB_KEY_Up: return 126;
    default: return std::nullopt;
    }
}

// A modifier key's own Carbon code and flag, by keysym.
std::optional<std::pair<std::uint16_t, std::uint64_t>> modifierKey(xkb_keysym_t sym) {
    switch (sym) {
    case XKB_KEY_Shift_L: return std::pair<std::uint16_t, std::uint64_t>{56, ModifierShift};
    case XKB_KEY_Shift_R: return std::pair<std::uint16_t, std::uint64_t>{60, ModifierShift};
    case XKB_KEY_Control_L: return std::pair<std::uint16_t, std::uint64_t>{59, ModifierControl};
    case XKB_KEY_Control_R: return std::pair<std::uint16_t, std::uint64_t>{62, ModifierControl};
    case XKB_KEY_Alt_L:
    case XKB_KEY_Meta_L: return std::pair<std::uint16_t, std::uint64_t>{58, ModifierOption};
    case XKB_KEY_Alt_R:
    case XKB_KEY_Meta_R: return std::pair<std::uint16_t, std::uint64_t>{61, ModifierOption};
    case XKB_KEY_Super_L: return std::pair<std::uint16_t, std::uint64_t>{55, ModifierCommand};
    case XKB_KEY_Super_R: return std::pair<std::uint16_t, std::uint64_t>{54, ModifierCommand};
    case XKB_KEY_Caps_Lock: return std::pair<std::uint16_t, std::uint64_t>{57, ModifierCapsLock};
    // AltGr and friends change levels, not the switcher's flags.
    case XKB_KEY_ISO_Level3_Shift:
    case XKB_KEY_ISO_Level5_Shift:
    case XKB_KEY_Mode_switch: return std::pair<std::uint16_t, std::uint64_t>{61, 0};
    default: return std::nullopt;
    }
}

std::string textOf(xkb_keysym_t sym) {
    char buffer[16] = {};
    if (xkb_keysym_to_utf8(sym, buffer, sizeof buffer) <= 0) return {};
    return buffer;
}

bool isKeypadSym(xkb_keysym_t sym) { return sym >= XKB_KEY_KP_Space && sym <= XKB_KEY_KP_Equal; }

} // namespace

KeyTranslator::KeyTranslator() : context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

KeyTranslator::~KeyTranslator() {
    if (state_) xkb_state_unref(state_);
    if (keymap_) xkb_keymap_unref(keymap_);
    if (context_) xkb_context_unref(context_);
}

bool KeyTranslator::install(xkb_keymap* keymap) {
    if (!keymap) return false;
    xkb_state* state = xkb_state_new(keymap);
    if (!state) {
        xkb_keymap_unref(keymap);
        return false;
    }
    if (state_) xkb_state_unref(state_);
    if (keymap_) xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    state_ = state;
    return true;
}

bool KeyTranslator::setKeymap(const char* text, std::size_t size) {
    if (!context_ || !text) return false;
    // The compositor's keymap ends with its terminating NUL.
    while (size > 0 && text[size - 1] == '\0') --size;
    if (size == 0) return false;
    return install(
        xkb_keymap_new_from_buffer(context_, text, size, XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

bool KeyTranslator::setKeymapFromNames(const std::string& layout, const std::string& variant) {
    if (!context_) return false;
    xkb_rule_names names{};
    names.layout = layout.c_str();
    names.variant = variant.empty() ? nullptr : variant.c_str();
    return install(xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

std::uint64_t KeyTranslator::stateFlags() const {
    auto active = [this](const char* name) {
        return xkb_state_mod_name_is_active(state_, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    std::uint64_t flags = 0;
    if (active(XKB_MOD_NAME_SHIFT)) flags |= ModifierShift;
    if (active(XKB_MOD_NAME_CTRL)) flags |= ModifierControl;
    if (active(XKB_MOD_NAME_ALT)) flags |= ModifierOption;
    if (active(XKB_MOD_NAME_LOGO)) flags |= ModifierCommand;
    if (active(XKB_MOD_NAME_CAPS)) flags |= ModifierCapsLock;
    return flags;
}

std::optional<Event> KeyTranslator::updateModifiers(std::uint32_t depressed, std::uint32_t latched,
                                                    std::uint32_t locked, std::uint32_t group) {
    if (!state_) return std::nullopt;
    xkb_state_update_mask(state_, depressed, latched, locked, 0, 0, group);
    std::uint64_t flags = stateFlags();
    if (reported_ && flags == flags_) return std::nullopt;
    flags_ = flags;
    reported_ = true;
    Event event;
    event.type = EventType::FlagsChanged;
    event.modifierFlags = flags;
    return event;
}

std::optional<Event> KeyTranslator::key(std::uint32_t evdevCode, bool pressed, bool repeat) {
    if (!state_) return std::nullopt;
    const xkb_keycode_t keycode = evdevCode + 8;
    xkb_layout_index_t group = xkb_state_key_get_layout(state_, keycode);
    xkb_keysym_t base = XKB_KEY_NoSymbol;
    const xkb_keysym_t* syms = nullptr;
    if (group != XKB_LAYOUT_INVALID && xkb_keymap_key_get_syms_by_level(keymap_, keycode, group, 0, &syms) > 0)
        base = syms[0];
    const xkb_keysym_t current = xkb_state_key_get_one_sym(state_, keycode);

    Event event;
    event.isARepeat = repeat;
    std::uint64_t flags = stateFlags();
    // The compositor reports the modifiers after the key: a modifier's own
    // press or release is folded in here, and its report is then swallowed.
    if (auto modifier = modifierKey(base)) {
        auto own = modifier->second;
        if (own == ModifierCapsLock) flags = pressed ? (flags ^ own) : flags;
        else if (pressed) flags |= own;
        else flags &= ~own;
        event.type = EventType::FlagsChanged;
        event.keyCode = carbonKeyCodeForEvdev(evdevCode).value_or(modifier->first);
        if (own) event.keyCode = modifier->first;
        event.modifierFlags = flags;
        flags_ = flags;
        reported_ = true;
        return event;
    }

    event.type = pressed ? EventType::KeyDown : EventType::KeyUp;
    char buffer[64] = {};
    if (xkb_state_key_get_utf8(state_, keycode, buffer, sizeof buffer) > 0) event.characters = buffer;
    auto position = carbonKeyCodeForEvdev(evdevCode);
    if (auto known = switcherKey(base)) {
        event.keyCode = *known;
        event.charactersIgnoringModifiers = textOf(base);
    } else if (auto known = switcherKey(current)) {
        event.keyCode = *known;
        event.charactersIgnoringModifiers = textOf(base);
    } else if (base >= XKB_KEY_0 && base <= XKB_KEY_9) {
        event.keyCode = kDigitCodes[base - XKB_KEY_0];
        event.charactersIgnoringModifiers = std::string(1, static_cast<char>('0' + (base - XKB_KEY_0)));
    } else if (!position || switcherKey(base) || *position == 48 || *position == 36 || *position == 53 ||
               *position == 76 || (*position >= 123 && *position <= 126)) {
        // A switcher key's place holding another keysym (a virtual keyboard's
        // keymap): its position means nothing.
        return std::nullopt;
    } else {
        event.keyCode = *position;
        if (const char* keypad = keypadCharacters(*position); *keypad && isKeypadSym(base))
            event.charactersIgnoringModifiers = keypad;
        else if (evdevCode >= 2 && evdevCode <= 11)
            event.charactersIgnoringModifiers = std::string(1, static_cast<char>(evdevCode == 11 ? '0' : '0' + (evdevCode - 1)));
        else
            event.charactersIgnoringModifiers = textOf(base);
    }
    if (event.charactersIgnoringModifiers.empty() && !(flags & ~std::uint64_t(ModifierCapsLock)))
        event.charactersIgnoringModifiers = event.characters;
    if (isNumericPadKey(event.keyCode)) flags |= ModifierNumericPad;
    event.modifierFlags = flags;
    return event;
}

bool KeyTranslator::repeats(std::uint32_t evdevCode) const {
    return keymap_ && xkb_keymap_key_repeats(keymap_, evdevCode + 8);
}

} // namespace platform::wayland
