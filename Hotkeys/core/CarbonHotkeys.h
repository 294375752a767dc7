#pragma once

#include "Hotkeys/core/HotKeyService.h"
#include "Hotkeys/core/Shortcut.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace Hotkeys {

// One successful registration.
struct HotKey {
    Shortcut shortcut;
    std::int64_t carbonHotKeyId = 0;
    std::optional<EventHotKeyRef> carbonHotKey; // absent while suspended
    std::function<void(const Shortcut&)> onKeyDown;
    std::function<void(const Shortcut&)> onKeyUp;
};

// Global hot keys over the installed HotKeyService: a table of registered
// hot keys under ids 1, 2, ... (never reused), one event handler for the
// process, and the choice between platform hot keys and the application's
// raw key events while one of its menus is open. Main thread only.
struct CarbonHotkeys {
    // "ZLVK"
    static constexpr std::uint32_t signature = fourCharCode("ZLVK");
    static const std::vector<EventTypeSpec> hotKeyEventSpecs;
    static const std::vector<EventTypeSpec> rawKeyEventSpecs;

    // Registers with the platform and records; a refusal leaves no record
    // and is not reported (it still consumes an id).
    static void registerHotKey(const Shortcut& shortcut, std::function<void(const Shortcut&)> onKeyDown,
                               std::function<void(const Shortcut&)> onKeyUp);
    // Unregisters and forgets every record with this key code and these modifiers.
    static void unregisterHotKey(const Shortcut& shortcut);
    static void suspendAll();
    static void resumeAll();
    // Enabled and no menu open: platform hot keys. Enabled with a menu open:
    // hot keys suspended, raw key events of the menu matched here. Disabled:
    // hot keys suspended, nothing received.
    static void refreshEventHandling();
    // The handler installed with the platform.
    static OSStatus dispatchCarbonEvent(const CarbonEvent* event);

    // Read access for diagnostics and tests.
    static const std::map<std::int64_t, std::shared_ptr<HotKey>>& hotKeyTable();
    static bool hasEventHandler();
    static bool menuKeyMonitorRunning();

private:
    static OSStatus dispatchHotKeyEvent(const CarbonEvent& event);
    static OSStatus dispatchRawKeyEvent(const CarbonEvent& event);
    static OSStatus registerWithPlatform(const Shortcut& shortcut, std::int64_t id,
                                         std::optional<EventHotKeyRef>& outRef);
    static void startMenuKeyMonitor();
    static void stopMenuKeyMonitor();
};

} // namespace Hotkeys
