#include "Hotkeys/linux/DesktopHotkeys.h"

#include "Hotkeys/core/Services.h"
#include "Hotkeys/qt/QtMenuTracker.h"
#include "platform/Log.h"
#include "Hotkeys/linux/HandOverHotKeyService.h"
#include "Hotkeys/linux/X11HotKeyService.h"
#include "Hotkeys/linux/XkbKeyboardLayout.h"
#include "platform/linux/qt/QtEventSource.h"
#include "platform/linux/x11/UserTime.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>

namespace Hotkeys::x11 {

namespace {

class NativeFilter : public QAbstractNativeEventFilter {
public:
    explicit NativeFilter(X11HotKeyService& service) : service_(service) {}
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        noteInputTime(event);
        return service_.handleEvent(event);
    }

private:
    // The user's newest key or pointer press or release: the time the
    // workspace's requests to the window manager carry.
    static void noteInputTime(const xcb_generic_event_t* event) {
        switch (event->response_type & 0x7F) {
        case XCB_KEY_PRESS:
        case XCB_KEY_RELEASE:
        case XCB_BUTTON_PRESS:
        case XCB_BUTTON_RELEASE:
            platform::x11::noteUserTime(reinterpret_cast<const xcb_key_press_event_t*>(event)->time);
        }
    }
    X11HotKeyService& service_;
};

} // namespace

struct DesktopHotkeys::Parts {
    std::unique_ptr<X11HotKeyService> service;
    std::unique_ptr<HandOverHotKeyService> handOver;
    std::unique_ptr<XkbKeyboardLayout> layout;
    std::unique_ptr<platform::qt::QtEventSource> menuEvents;
    std::unique_ptr<Hotkeys::QtMenuTracker> tracker;
    std::unique_ptr<NativeFilter> filter;
};

namespace {

void installServices(DesktopHotkeys::Parts& parts, HotKeyService& service, platform::UserDefaults& defaults,
                     platform::NotificationCenter& center, platform::Scheduler& scheduler);

} // namespace

std::unique_ptr<DesktopHotkeys> DesktopHotkeys::install(platform::UserDefaults& defaults,
                                                        platform::NotificationCenter& center,
                                                        platform::Scheduler& scheduler) {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return installHandOver(defaults, center, scheduler);
    xcb_connection_t* connection = x11->connection();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;

    auto parts = std::make_unique<Parts>();
    parts->service = std::make_unique<X11HotKeyService>(connection, root);
    parts->layout = XkbKeyboardLayout::fromX11(connection);
    parts->menuEvents = std::make_unique<platform::qt::QtEventSource>();
    parts->tracker = std::make_unique<Hotkeys::QtMenuTracker>(center);
    parts->filter = std::make_unique<NativeFilter>(*parts->service);
    parts->service->addKeymapObserver([layout = parts->layout.get(), events = parts->menuEvents.get()] {
        if (layout) layout->keymapChanged();
        events->keymapChanged();
    });
    qApp->installNativeEventFilter(parts->filter.get());

    installServices(*parts, *parts->service, defaults, center, scheduler);
    return std::unique_ptr<DesktopHotkeys>(new DesktopHotkeys(std::move(parts)));
}

std::unique_ptr<DesktopHotkeys> DesktopHotkeys::installHandOver(platform::UserDefaults& defaults,
                                                                platform::NotificationCenter& center,
                                                                platform::Scheduler& scheduler) {
    // Key names from the layout the compositor is most likely configured
    // with: xkbcommon's own defaults (XKB_DEFAULT_LAYOUT, else "us").
    auto parts = std::make_unique<Parts>();
    parts->handOver = std::make_unique<HandOverHotKeyService>();
    const char* layout = std::getenv("XKB_DEFAULT_LAYOUT");
    parts->layout = XkbKeyboardLayout::fromNames(layout && *layout ? layout : "us");
    if (!parts->layout) parts->layout = XkbKeyboardLayout::fromNames("us");
    parts->menuEvents = std::make_unique<platform::qt::QtEventSource>();
    parts->tracker = std::make_unique<Hotkeys::QtMenuTracker>(center);

    installServices(*parts, *parts->handOver, defaults, center, scheduler);
    return std::unique_ptr<DesktopHotkeys>(new DesktopHotkeys(std::move(parts)));
}

namespace {

void installServices(DesktopHotkeys::Parts& parts, HotKeyService& service, platform::UserDefaults& defaults,
                     platform::NotificationCenter& center, platform::Scheduler& scheduler) {
    Hotkeys::Services services;
    services.defaults = &defaults;
    services.notificationCenter = &center;
    services.scheduler = &scheduler;
    services.hotKeyService = &service;
    services.keyboardLayout = parts.layout.get();
    services.menuEventSource = parts.menuEvents.get();
    services.menuNotificationCenter = &center;
    Hotkeys::install(services);
}

} // namespace

DesktopHotkeys::DesktopHotkeys(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

DesktopHotkeys::~DesktopHotkeys() {
    Hotkeys::install({});
    if (qApp && parts_->filter) qApp->removeNativeEventFilter(parts_->filter.get());
}

X11HotKeyService& DesktopHotkeys::service() { return *parts_->service; }

} // namespace Hotkeys::x11
