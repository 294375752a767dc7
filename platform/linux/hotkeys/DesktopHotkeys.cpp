#include "platform/linux/hotkeys/DesktopHotkeys.h"

#include "Hotkeys/core/Services.h"
#include "Hotkeys/qt/QtMenuTracker.h"
#include "platform/Log.h"
#include "platform/linux/hotkeys/X11HotKeyService.h"
#include "platform/linux/hotkeys/XkbKeyboardLayout.h"
#include "platform/linux/qt/QtEventSource.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace platform::linux_hotkeys {

namespace {

class NativeFilter : public QAbstractNativeEventFilter {
public:
    explicit NativeFilter(X11HotKeyService& service) : service_(service) {}
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        return service_.handleEvent(static_cast<const xcb_generic_event_t*>(message));
    }

private:
    X11HotKeyService& service_;
};

// Press-to-paint timing: a press starts the clock (on receipt of the X
// event), the next widget paint stops it.
class LatencyProbe : public QObject {
public:
    explicit LatencyProbe(X11HotKeyService& service) {
        service.setPressObserver([this](xcb_timestamp_t) {
            pressed_ = std::chrono::steady_clock::now();
            armed_ = true;
        });
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (armed_ && event->type() == QEvent::Paint) {
            armed_ = false;
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - pressed_).count();
            std::fprintf(stderr, "zelvo: hot-key press to first paint: %.2f ms\n", ms);
        }
        return false;
    }

private:
    std::chrono::steady_clock::time_point pressed_;
    bool armed_ = false;
};

// A hot key tapped quickly (Alt+Tab and Alt let go at once) can have its
// modifiers released before the switcher panel took the keyboard: that
// release went to the application in front, and the panel would wait for it
// forever. Once a press has been handled, the modifiers the server reports as
// held are compared with those of the press; each one let go meanwhile is
// handed to the window holding the keyboard as the key release it missed, so
// the release handling runs as usual.
class MissedModifierReleases {
public:
    MissedModifierReleases(xcb_connection_t* connection, xcb_window_t root) : connection_(connection), root_(root) {
        QObject::connect(&check_, &QTimer::timeout, [this] { check(); });
        check_.setSingleShot(true);
    }

    void pressed(std::uint16_t modifiers) {
        atPress_ = modifiers;
        check_.start(0);  // after what the press set going (the panel's grab)
    }

private:
    void check() {
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
        std::uint16_t state = atPress_;  // X key events carry the state before the key
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

    static int qtKeyFor(std::uint16_t bit) {
        switch (bit) {
        case XCB_MOD_MASK_SHIFT: return Qt::Key_Shift;
        case XCB_MOD_MASK_CONTROL: return Qt::Key_Control;
        case XCB_MOD_MASK_1: return Qt::Key_Alt;
        case XCB_MOD_MASK_4: return Qt::Key_Meta;
        default: return Qt::Key_unknown;
        }
    }
    static Qt::KeyboardModifiers qtModifiersFor(std::uint16_t state) {
        Qt::KeyboardModifiers mods;
        if (state & XCB_MOD_MASK_SHIFT) mods |= Qt::ShiftModifier;
        if (state & XCB_MOD_MASK_CONTROL) mods |= Qt::ControlModifier;
        if (state & XCB_MOD_MASK_1) mods |= Qt::AltModifier;
        if (state & XCB_MOD_MASK_4) mods |= Qt::MetaModifier;
        return mods;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_;
    std::uint16_t atPress_ = 0;
    QTimer check_;
};

} // namespace

struct DesktopHotkeys::Parts {
    std::unique_ptr<X11HotKeyService> service;
    std::unique_ptr<XkbKeyboardLayout> layout;
    std::unique_ptr<platform::qt::QtEventSource> menuEvents;
    std::unique_ptr<Hotkeys::QtMenuTracker> tracker;
    std::unique_ptr<NativeFilter> filter;
    std::unique_ptr<LatencyProbe> probe;
    std::unique_ptr<MissedModifierReleases> missedReleases;
};

std::unique_ptr<DesktopHotkeys> DesktopHotkeys::install(platform::UserDefaults& defaults,
                                                        platform::NotificationCenter& center,
                                                        platform::Scheduler& scheduler) {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) {
        platform::logWarning("hot keys: not running on X11; global hot keys are off");
        return nullptr;
    }
    xcb_connection_t* connection = x11->connection();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;

    auto parts = std::make_unique<Parts>();
    parts->service = std::make_unique<X11HotKeyService>(connection, root);
    parts->layout = XkbKeyboardLayout::fromX11(connection);
    parts->menuEvents = std::make_unique<platform::qt::QtEventSource>();
    parts->tracker = std::make_unique<Hotkeys::QtMenuTracker>(center);
    parts->filter = std::make_unique<NativeFilter>(*parts->service);
    qApp->installNativeEventFilter(parts->filter.get());
    parts->missedReleases = std::make_unique<MissedModifierReleases>(connection, root);
    parts->service->setPressHandledObserver(
        [releases = parts->missedReleases.get()](std::uint16_t modifiers) { releases->pressed(modifiers); });
    if (std::getenv("ZELVO_HOTKEY_LATENCY")) parts->probe = std::make_unique<LatencyProbe>(*parts->service);

    Hotkeys::Services services;
    services.defaults = &defaults;
    services.notificationCenter = &center;
    services.scheduler = &scheduler;
    services.hotKeyService = parts->service.get();
    services.keyboardLayout = parts->layout.get();
    services.menuEventSource = parts->menuEvents.get();
    services.menuNotificationCenter = &center;
    Hotkeys::install(services);
    return std::unique_ptr<DesktopHotkeys>(new DesktopHotkeys(std::move(parts)));
}

DesktopHotkeys::DesktopHotkeys(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

DesktopHotkeys::~DesktopHotkeys() {
    Hotkeys::install({});
    if (qApp) qApp->removeNativeEventFilter(parts_->filter.get());
}

X11HotKeyService& DesktopHotkeys::service() { return *parts_->service; }

} // namespace platform::linux_hotkeys
