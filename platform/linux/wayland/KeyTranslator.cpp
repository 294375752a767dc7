#include "platform/linux/wayland/KeyTranslator.h"

#include "platform/linux/keycodes/CarbonKeyCodes.h"

#include <xkbcommon/xkbcommon.h>

namespace platform::wayland {

KeyTranslator::KeyTranslator() : context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

KeyTranslator::~KeyTranslator() {
    if (state_) xkb_state_unref(state_);
    if (keymap_) xkb_keymap_unref(keymap_);
    if (context_) xkb_context_unref(context_);
}

bool KeyTranslator::install(xkb_keymap* keymap) {
    if (!keymap) return false;
    if (state_) xkb_state_unref(state_);
    if (keymap_) xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    state_ = xkb_state_new(keymap_);
    return state_ != nullptr;
}

bool KeyTranslator::setKeymap(const char* text, std::size_t size) {
    return install(xkb_keymap_new_from_buffer(context_, text, size, XKB_KEYMAP_FORMAT_TEXT_V1,
                                              XKB_KEYMAP_COMPILE_NO_FLAGS));
}

bool KeyTranslator::setKeymapFromNames(const std::string& layout, const std::string& variant) {
    xkb_rule_names names{nullptr, nullptr, layout.c_str(), variant.c_str(), nullptr};
    return install(xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

std::optional<Event> KeyTranslator::updateModifiers(std::uint32_t depressed, std::uint32_t latched,
                                                    std::uint32_t locked, std::uint32_t group) {
    if (!state_) return std::nullopt;
    xkb_state_update_mask(state_, depressed, latched, locked, 0, 0, group);
    std::uint64_t flags = 0;
    auto active = [&](const char* name) {
        return xkb_state_mod_name_is_active(state_, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    if (active(XKB_MOD_NAME_SHIFT)) flags |= ModifierShift;
    if (active(XKB_MOD_NAME_CTRL)) flags |= ModifierControl;
    if (active(XKB_MOD_NAME_ALT)) flags |= ModifierOption;
    if (active(XKB_MOD_NAME_LOGO)) flags |= ModifierCommand;
    if (active(XKB_MOD_NAME_CAPS)) flags |= ModifierCapsLock;
    const bool changed = flags != flags_ || !reported_;
    flags_ = flags;
    reported_ = true;
    if (!changed) return std::nullopt;
    Event event;
    event.type = EventType::FlagsChanged;
    event.modifierFlags = flags;
    return event;
}

std::optional<Event> KeyTranslator::key(std::uint32_t evdevCode, bool pressed, bool repeat) {
    if (!state_) return std::nullopt;
    auto code = keycodes::carbonKeyCodeForEvdev(evdevCode);
    if (!code) return std::nullopt;
    Event event;
    event.keyCode = *code;
    event.isARepeat = repeat;
    event.modifierFlags = flags_;
    if (keycodes::modifierFlagForCarbonKey(*code)) {
        event.type = EventType::FlagsChanged;
        return event;
    }
    event.type = pressed ? EventType::KeyDown : EventType::KeyUp;
    char text[64] = {};
    xkb_state_key_get_utf8(state_, evdevCode + 8, text, sizeof text);
    event.characters = text;
    const xkb_keysym_t* syms = nullptr;
    const xkb_layout_index_t layout = xkb_state_key_get_layout(state_, evdevCode + 8);
    if (xkb_keymap_key_get_syms_by_level(keymap_, evdevCode + 8, layout, 0, &syms) > 0) {
        char plain[64] = {};
        xkb_keysym_to_utf8(syms[0], plain, sizeof plain);
        event.charactersIgnoringModifiers = plain;
    }
    return event;
}

bool KeyTranslator::repeats(std::uint32_t evdevCode) const {
    return keymap_ && xkb_keymap_key_repeats(keymap_, evdevCode + 8);
}

} // namespace platform::wayland
