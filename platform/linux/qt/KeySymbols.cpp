#include "platform/linux/qt/KeySymbols.h"
#include "platform/linux/qt/X11Connection.h"

#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace platform::qt {

KeySymbols::KeySymbols() { load(); }

KeySymbols::KeySymbols(const std::string& layouts) : fromServer_(false) {
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context_) return;
    xkb_rule_names names{};
    names.layout = layouts.c_str();
    keymap_ = xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
}

void KeySymbols::reload() {
    if (!fromServer_) return;
    if (keymap_) xkb_keymap_unref(keymap_);
    keymap_ = nullptr;
    load();
}

void KeySymbols::load() {
    xcb_connection_t* connection = qtX11Connection();
    if (!connection) return;
    if (!xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr))
        return;
    if (!context_) context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context_) return;
    std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    if (device < 0) return;
    keymap_ = xkb_x11_keymap_new_from_device(context_, connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
}

KeySymbols::~KeySymbols() {
    if (keymap_) xkb_keymap_unref(keymap_);
    if (context_) xkb_context_unref(context_);
}

std::string KeySymbols::unmodifiedCharacters(unsigned x11Keycode, unsigned group) const {
    if (!keymap_) return {};
    if (group >= xkb_keymap_num_layouts(keymap_)) group = 0;
    const xkb_keysym_t* syms = nullptr;
    int count = xkb_keymap_key_get_syms_by_level(keymap_, x11Keycode, group, 0, &syms);
    if (count <= 0 || !syms) return {};
    char buffer[16] = {};
    int length = xkb_keysym_to_utf8(syms[0], buffer, sizeof buffer);
    if (length <= 1) return {}; // no character (the count includes the terminator)
    return std::string(buffer);
}

} // namespace platform::qt
