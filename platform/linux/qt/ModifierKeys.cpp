#include "platform/linux/qt/ModifierKeys.h"
#include "platform/linux/qt/X11Connection.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace platform::qt {

ModifierKeys::ModifierKeys() {
    connection_ = qtX11Connection();
    reload();
}

std::vector<std::pair<std::uint8_t, std::uint16_t>> readModifierMapping(xcb_connection_t* connection) {
    std::vector<std::pair<std::uint8_t, std::uint16_t>> keys;
    std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&std::free)> mapping(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr), &std::free);
    if (!mapping) return keys;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int index = 0; index < 8; ++index)
        for (int k = 0; k < perModifier; ++k)
            if (xcb_keycode_t keycode = keycodes[index * perModifier + k])
                keys.emplace_back(keycode, std::uint16_t(1u << index));
    return keys;
}

void ModifierKeys::reload() {
    keys_.clear();
    if (connection_) keys_ = readModifierMapping(connection_);
}

std::optional<std::uint16_t> ModifierKeys::maskOf(unsigned keycode) const {
    if (!connection_) return std::nullopt;
    std::uint16_t mask = 0;
    for (const auto& [key, bit] : keys_)
        if (key == keycode) mask |= bit;
    return mask;
}

bool ModifierKeys::otherHeld(unsigned keycode, std::uint16_t mask) const {
    if (!connection_ || !mask) return false;
    std::unique_ptr<xcb_query_keymap_reply_t, decltype(&std::free)> keymap(
        xcb_query_keymap_reply(connection_, xcb_query_keymap(connection_), nullptr), &std::free);
    if (!keymap) return false;
    for (const auto& [key, bit] : keys_)
        if (key != keycode && (bit & mask) && (keymap->keys[key / 8] >> (key % 8)) & 1) return true;
    return false;
}

} // namespace platform::qt
