#include "Hotkeys/linux/DesktopHotkeys.h"

#include "Hotkeys/core/Services.h"
#include "Hotkeys/qt/QtMenuTracker.h"
#include "platform/Log.h"
#include "Hotkeys/linux/X11HotKeyService.h"
#include "Hotkeys/linux/XkbKeyboardLayout.h"
#include "platform/linux/qt/QtEventSource.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>

namespace Hotkeys::x11 {

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

} // namespace

struct DesktopHotkeys::Parts {
    std::unique_ptr<X11HotKeyService> service;
    std::unique_ptr<XkbKeyboardLayout> layout;
    std::unique_ptr<platform::qt::QtEventSource> menuEvents;
    std::unique_ptr<Hotkeys::QtMenuTracker> tracker;
    std::unique_ptr<NativeFilter> filter;
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
    parts->service->addKeymapObserver([layout = parts->layout.get(), events = parts->menuEvents.get()] {
        if (layout) layout->keymapChanged();
        events->keymapChanged();
    });
    qApp->installNativeEventFilter(parts->filter.get());

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

} // namespace Hotkeys::x11
