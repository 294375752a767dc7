#include "app/desktop/MissedModifierReleases.h"
#include "platform/linux/qt/ModifierKeys.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace app::desktop {

namespace {

constexpr auto kGrabWait = std::chrono::seconds(3);

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
    QCoreApplication::instance()->installNativeEventFilter(this);
}

MissedModifierReleases::~MissedModifierReleases() {
    if (auto* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

void MissedModifierReleases::pressed(std::uint16_t modifiers) {
    atPress_ = modifiers;
    awaitingGrab_ = true;
    pressedAt_ = std::chrono::steady_clock::now();
}

bool MissedModifierReleases::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!awaitingGrab_ || eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_FOCUS_IN) return false;
    const auto* focus = reinterpret_cast<const xcb_focus_in_event_t*>(event);
    if (focus->mode != XCB_NOTIFY_MODE_GRAB || focus->detail == XCB_NOTIFY_DETAIL_POINTER || focus->event == root_)
        return false;
    // The panel gives up retrying its grab well before this: a later grab
    // (a menu's) has nothing to do with the press.
    if (std::chrono::steady_clock::now() - pressedAt_ > kGrabWait) {
        awaitingGrab_ = false;
        return false;
    }
    // One of our windows took the keyboard; look once Qt has seen it too.
    awaitingGrab_ = false;
    check_.start(0);
    return false;
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
    const auto mapping = platform::qt::readModifierMapping(connection_);
    std::uint16_t state = atPress_; // X key events carry the state before the key
    for (int index = 0; index < 8; ++index) {
        const std::uint16_t bit = std::uint16_t(1u << index);
        if (!(released & bit)) continue;
        auto key = std::find_if(mapping.begin(), mapping.end(), [bit](const auto& k) { return k.second == bit; });
        if (key == mapping.end()) continue;
        const xcb_keycode_t keycode = key->first;
        QKeyEvent release(QEvent::KeyRelease, qtKeyFor(bit), qtModifiersFor(state & ~bit), keycode, 0, state);
        QCoreApplication::sendEvent(window, &release);
        state &= std::uint16_t(~bit);
    }
}

} // namespace app::desktop
