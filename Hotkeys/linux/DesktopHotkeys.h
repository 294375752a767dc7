#pragma once

#include <memory>

namespace platform {
class NotificationCenter;
class Scheduler;
class UserDefaults;
} // namespace platform

namespace Hotkeys::x11 {

class X11HotKeyService;

// Installs the shortcut services of the running Qt application on X11:
// root-window key grabs fed by a native event filter on Qt's own xcb
// connection, key names from the server's keymap, the application's key
// events for the time a menu is open, and the tracking of its menus.
class DesktopHotkeys {
public:
    // Nothing when the application does not run on X11.
    static std::unique_ptr<DesktopHotkeys>
    install(platform::UserDefaults& defaults, platform::NotificationCenter& center, platform::Scheduler& scheduler);
    ~DesktopHotkeys();

    X11HotKeyService& service();

    struct Parts;

private:
    explicit DesktopHotkeys(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> parts_;
};

} // namespace Hotkeys::x11
