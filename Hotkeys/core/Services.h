#pragma once

#include "platform/Value.h"

#include <optional>

namespace platform {
class LocalEventSource;
class NotificationCenter;
class Scheduler;
class UserDefaults;
} // namespace platform

namespace Hotkeys {

class HotKeyService;
class KeyboardLayout;

// The system's list of symbolic hot keys: an array of dictionaries with
// "kHISymbolicHotKeyEnabled", "kHISymbolicHotKeyCode" and
// "kHISymbolicHotKeyModifiers"; nothing when the list cannot be read.
class SymbolicHotKeys {
public:
    virtual ~SymbolicHotKeys() = default;
    virtual std::optional<platform::Value> copySymbolicHotKeys() const = 0;
};

// The platform services behind the process-wide shortcut state. Installed
// once at start-up (tests install headless ones); a missing service makes
// the operations that need it do nothing.
struct Services {
    platform::UserDefaults* defaults = nullptr;
    platform::NotificationCenter* notificationCenter = nullptr;
    platform::Scheduler* scheduler = nullptr; // its main queue runs deferred work
    HotKeyService* hotKeyService = nullptr;
    const KeyboardLayout* keyboardLayout = nullptr;
    const SymbolicHotKeys* symbolicHotKeys = nullptr;
    // The application's own key events, seen while one of its menus is open.
    platform::LocalEventSource* menuEventSource = nullptr;
    // Where menus announce that tracking begins and ends.
    platform::NotificationCenter* menuNotificationCenter = nullptr;
};

// Replaces the services and forgets all shortcut state of the process
// (handler tables, registered hot keys, id counter, switches).
void install(const Services& services);
const Services& services();

// Names posted on Services::menuNotificationCenter when the application
// starts and stops tracking a menu (the first opens, the last closes).
inline constexpr const char* MenuDidBeginTrackingNotification = "Hotkeys.menuDidBeginTracking";
inline constexpr const char* MenuDidEndTrackingNotification = "Hotkeys.menuDidEndTracking";

} // namespace Hotkeys
