#include "app/desktop/MissedModifierReleases.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include <cstdlib>
#include <memory>

namespace app::desktop {

namespace {

int qtKeyFor(std::uint16_t bit) {
    switch (bit) {
    case XCB_MOD_MASK_SHIFT: return Qt::Key_Shift;
    case XCB_MOD_MASK_CONTROL: return Qt::Key_Control;
    case XCB_MOD_MASK_1: return Qt::Key_Alt;
    case XCB_MOD_MASK_4: return Qt::Key_Meta;
    default: return Qt::Key_unknown;
    }
}
Qt::KeyboardModifiers qtModifiersFor(std::uint16_t state) {
    Qt::KeyboardModifiers mods;
    if (state & XCB_MOD_MASK_SHIFT) mods |= Qt::ShiftModifier;
    if (state & XCB_MOD_MASK_CONTROL) mods |= Qt::ControlModifier;
    if (state & XCB_MOD_MASK_1) mods |= Qt::AltModifier;
    if (state & XCB_MOD_MASK_4) mods |= Qt::MetaModifier;
    return mods;
}

} // namespace

MissedModifierReleases::MissedModifierReleases(xcb_connection_t* connection, xcb_window_t root)
    : connection_(connection), root_(root) {
    QObject::connect(&check_, &QTimer::timeout, [this] { check(); });
    check_.setSingleShot(true);
}

void MissedModifierReleases::pressed(std::uint16_t modifiers) {
    atPress_ = modifiers;
    check_.start(0); // after what the press set going (the panel's grab)
}

void MissedModifierReleases::check() {
    QWidget* grabber = QWidget::keyboardGrabber();
    QWindow* window = grabber ? grabber->window()->windowHandle() : nullptr;
    if (!window || !atPress_) return;
    std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> pointer(
        xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr), &std::free);
    if (!pointer) return;
    const std::uint16_t released = atPress_ & ~pointer->mask;
    if (!released) return;
    std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&std::free)> mapping(
        xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr), &std::free);
    if (!mapping) return;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    std::uint16_t state = atPress_; // X key events carry the state before the key
    for (int index = 0; index < 8; ++index) {
        const std::uint16_t bit = std::uint16_t(1u << index);
        if (!(released & bit)) continue;
        xcb_keycode_t keycode = 0;
        for (int k = 0; k < perModifier && !keycode; ++k) keycode = keycodes[index * perModifier + k];
        if (!keycode) continue;
        QKeyEvent release(QEvent::KeyRelease, qtKeyFor(bit), qtModifiersFor(state & ~bit), keycode, 0, state);
        QCoreApplication::sendEvent(window, &release);
        state &= std::uint16_t(~bit);
    }
}

} // namespace app::desktop
