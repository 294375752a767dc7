#include "Hotkeys/linux/XkbKeyboardLayout.h"

#include "Hotkeys/linux/X11HotKeyService.h"

// xkb.h names a struct member `explicit`, a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>

namespace Hotkeys::x11 {

namespace {

constexpr xkb_keycode_t kKeycodeOfA = 30 + 8; // evdev KEY_A

bool typesAscii(xkb_keymap* keymap, xkb_layout_index_t group) {
    const xkb_keysym_t* syms = nullptr;
    int n = xkb_keymap_key_get_syms_by_level(keymap, kKeycodeOfA, group, 0, &syms);
    return n > 0 && syms[0] >= 0x20 && syms[0] < 0x7F;
}

std::optional<std::string> translateWith(xkb_keymap* keymap, xkb_layout_index_t group, std::uint16_t carbonKeyCode) {
    auto keycode = x11KeycodeForCarbon(carbonKeyCode);
    if (!keycode) return std::nullopt;
    const xkb_keysym_t* syms = nullptr;
    int n = xkb_keymap_key_get_syms_by_level(keymap, *keycode, group, 0, &syms);
    if (n <= 0) return std::nullopt;
    char buffer[16] = {};
    int written = xkb_keysym_to_utf8(syms[0], buffer, sizeof buffer);
    if (written <= 0) return std::string(); // a keysym without text: dead key, modifier
    return std::string(buffer);
}

} // namespace

std::unique_ptr<XkbKeyboardLayout> XkbKeyboardLayout::fromNames(const std::string& layout, const std::string& variant) {
    std::unique_ptr<XkbKeyboardLayout> result(new XkbKeyboardLayout);
    result->context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!result->context_) return nullptr;
    xkb_rule_names names{};
    names.layout = layout.c_str();
    names.variant = variant.empty() ? nullptr : variant.c_str();
    result->keymap_ = xkb_keymap_new_from_names(result->context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!result->keymap_) return nullptr;
    return result;
}

std::unique_ptr<XkbKeyboardLayout> XkbKeyboardLayout::fromX11(xcb_connection_t* connection) {
    std::unique_ptr<XkbKeyboardLayout> result(new XkbKeyboardLayout);
    result->context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!result->context_ || !connection) return nullptr;
    if (!xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr))
        return nullptr;
    result->deviceId_ = xkb_x11_get_core_keyboard_device_id(connection);
    if (result->deviceId_ < 0) return nullptr;
    result->connection_ = connection;
    return result;
}

XkbKeyboardLayout::~XkbKeyboardLayout() {
    if (keymap_) xkb_keymap_unref(keymap_);
    if (liveKeymap_) xkb_keymap_unref(liveKeymap_);
    if (context_) xkb_context_unref(context_);
}

std::optional<std::string> XkbKeyboardLayout::translate(std::uint16_t carbonKeyCode) const {
    if (keymap_) return translateWith(keymap_, 0, carbonKeyCode);
    if (!connection_) return std::nullopt;
    if (!liveKeymap_) {
        liveKeymap_ = xkb_x11_keymap_new_from_device(context_, connection_, deviceId_, XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (!liveKeymap_) return std::nullopt;
        ++compiles_;
    }
    xcb_xkb_get_state_reply_t* reply =
        xcb_xkb_get_state_reply(connection_, xcb_xkb_get_state(connection_, xcb_xkb_device_spec_t(deviceId_)), nullptr);
    xkb_layout_index_t group = reply ? reply->group : 0;
    std::free(reply);
    if (group >= xkb_keymap_num_layouts(liveKeymap_)) group = 0;
    // The active group when it types Latin letters, else the first group that
    // does (key names of a Cyrillic or Greek group would not match the
    // shortcuts' Latin-letter menus).
    if (!typesAscii(liveKeymap_, group)) {
        for (xkb_layout_index_t g = 0; g < xkb_keymap_num_layouts(liveKeymap_); ++g)
            if (typesAscii(liveKeymap_, g)) {
                group = g;
                break;
            }
    }
    return translateWith(liveKeymap_, group, carbonKeyCode);
}

void XkbKeyboardLayout::keymapChanged() {
    if (liveKeymap_) xkb_keymap_unref(liveKeymap_);
    liveKeymap_ = nullptr;
}

} // namespace Hotkeys::x11
