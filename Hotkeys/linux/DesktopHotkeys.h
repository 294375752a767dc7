#pragma once

#include <memory>

namespace platform {
class NotificationCenter;
class Scheduler;
class UserDefaults;
} // namespace platform

namespace Hotkeys::x11 {

class X11HotKeyService;

// Installs the shortcut services of the running Qt application. On X11:
// root-window key grabs fed by a native event filter on Qt's own xcb
// connection, key names from the server's keymap, the application's key
// events for the time a menu is open, and the tracking of its menus.
class DesktopHotkeys {
public:
    // Off X11 (a Wayland session) the hot key is handed over by
    // `zelvo --show` instead: registrations are kept, nothing is grabbed.
    static std::unique_ptr<DesktopHotkeys>
    install(platform::UserDefaults& defaults, platform::NotificationCenter& center, platform::Scheduler& scheduler);
    ~DesktopHotkeys();

    // The X11 grab service; only there when running on X11.
    X11HotKeyService& service();

    struct Parts;

private:
    explicit DesktopHotkeys(std::unique_ptr<Parts> parts);
    static std::unique_ptr<DesktopHotkeys> installHandOver(platform::UserDefaults& defaults,
                                                           platform::NotificationCenter& center,
                                                           platform::Scheduler& scheduler);
    std::unique_ptr<Parts> parts_;
};

} // namespace Hotkeys::x11
