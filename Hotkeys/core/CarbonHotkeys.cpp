#include "Hotkeys/core/CarbonHotkeys.h"

#include "Hotkeys/core/State.h"

#include <limits>
#include <vector>

namespace Hotkeys {

const std::vector<EventTypeSpec> CarbonHotkeys::hotKeyEventSpecs = {{kEventClassKeyboard, kEventHotKeyPressed},
                                                                    {kEventClassKeyboard, kEventHotKeyReleased}};
const std::vector<EventTypeSpec> CarbonHotkeys::rawKeyEventSpecs = {{kEventClassKeyboard, kEventRawKeyDown},
                                                                    {kEventClassKeyboard, kEventRawKeyUp}};

namespace {

bool fitsUInt32(std::int64_t v) { return v >= 0 && v <= std::int64_t(std::numeric_limits<std::uint32_t>::max()); }

} // namespace

OSStatus CarbonHotkeys::registerWithPlatform(const Shortcut& shortcut, std::int64_t id,
                                             std::optional<EventHotKeyRef>& outRef) {
    outRef.reset();
    auto* service = detail::state().services.hotKeyService;
    if (!service) return eventInternalErr;
    if (!fitsUInt32(shortcut.carbonKeyCode) || !fitsUInt32(shortcut.carbonModifiers) || !fitsUInt32(id))
        return eventHotKeyInvalidErr;
    return service->registerEventHotKey(static_cast<std::uint32_t>(shortcut.carbonKeyCode),
                                        static_cast<std::uint32_t>(shortcut.carbonModifiers),
                                        EventHotKeyID{signature, static_cast<std::uint32_t>(id)}, 0, outRef);
}

void CarbonHotkeys::registerHotKey(const Shortcut& shortcut, std::function<void(const Shortcut&)> onKeyDown,
                                   std::function<void(const Shortcut&)> onKeyUp) {
    auto& s = detail::state();
    const std::int64_t id = ++s.nextHotKeyId;
    std::optional<EventHotKeyRef> ref;
    if (registerWithPlatform(shortcut, id, ref) != noErr || !ref) return;
    s.hotKeyTable[id] = std::make_shared<HotKey>(HotKey{shortcut, id, ref, std::move(onKeyDown), std::move(onKeyUp)});

    if (!s.eventHandlerRef) {
        std::optional<EventHandlerRef> handler;
        OSStatus status = s.services.hotKeyService->installEventHandler(
            [](const CarbonEvent* event) { return CarbonHotkeys::dispatchCarbonEvent(event); }, handler);
        if (status == noErr && handler) {
            s.eventHandlerRef = handler;
            refreshEventHandling();
        }
    }
}

void CarbonHotkeys::unregisterHotKey(const Shortcut& shortcut) {
    auto& s = detail::state();
    for (auto it = s.hotKeyTable.begin(); it != s.hotKeyTable.end();) {
        const Shortcut& recorded = it->second->shortcut;
        if (recorded.carbonKeyCode == shortcut.carbonKeyCode && recorded.carbonModifiers == shortcut.carbonModifiers) {
            if (s.services.hotKeyService) s.services.hotKeyService->unregisterEventHotKey(it->second->carbonHotKey);
            it = s.hotKeyTable.erase(it);
        } else {
            ++it;
        }
    }
}

void CarbonHotkeys::suspendAll() {
    auto& s = detail::state();
    for (auto& [id, record] : s.hotKeyTable) {
        if (s.services.hotKeyService) s.services.hotKeyService->unregisterEventHotKey(record->carbonHotKey);
        record->carbonHotKey.reset();
    }
}

void CarbonHotkeys::resumeAll() {
    auto& s = detail::state();
    for (auto it = s.hotKeyTable.begin(); it != s.hotKeyTable.end();) {
        HotKey& record = *it->second;
        if (record.carbonHotKey) {
            ++it;
            continue;
        }
        std::optional<EventHotKeyRef> ref;
        if (registerWithPlatform(record.shortcut, record.carbonHotKeyId, ref) == noErr && ref) {
            record.carbonHotKey = ref;
            ++it;
        } else {
            it = s.hotKeyTable.erase(it);
        }
    }
}

void CarbonHotkeys::refreshEventHandling() {
    auto& s = detail::state();
    if (!s.eventHandlerRef || !s.services.hotKeyService) return;
    HotKeyService& service = *s.services.hotKeyService;
    if (s.hotKeysEnabled && s.menuTracking) {
        suspendAll();
        service.removeEventTypesFromHandler(*s.eventHandlerRef, hotKeyEventSpecs);
        startMenuKeyMonitor();
    } else if (s.hotKeysEnabled) {
        resumeAll();
        stopMenuKeyMonitor();
        service.addEventTypesToHandler(*s.eventHandlerRef, hotKeyEventSpecs);
    } else {
        suspendAll();
        service.removeEventTypesFromHandler(*s.eventHandlerRef, hotKeyEventSpecs);
        stopMenuKeyMonitor();
    }
}

void CarbonHotkeys::startMenuKeyMonitor() {
    auto& s = detail::state();
    if (!s.menuKeyMonitor) {
        if (!s.services.menuEventSource) return;
        s.menuKeyMonitor = std::make_unique<RunLoopLocalEventMonitor>(
            *s.services.menuEventSource, platform::EventMaskKeyDown | platform::EventMaskKeyUp,
            [](const platform::Event& event) -> std::optional<platform::Event> {
                CarbonEvent raw;
                raw.kind = event.type == platform::EventType::KeyDown ? kEventRawKeyDown : kEventRawKeyUp;
                raw.keyCode = event.keyCode;
                raw.modifiers = static_cast<std::uint32_t>(EventModifiers(event.modifierFlags).carbonValue());
                if (dispatchRawKeyEvent(raw) == noErr) return std::nullopt;
                return event;
            });
    }
    s.menuKeyMonitor->start();
}

void CarbonHotkeys::stopMenuKeyMonitor() {
    auto& s = detail::state();
    if (s.menuKeyMonitor) s.menuKeyMonitor->stop();
}

OSStatus CarbonHotkeys::dispatchCarbonEvent(const CarbonEvent* event) {
    if (!event) return eventNotHandledErr;
    switch (event->kind) {
    case kEventRawKeyDown:
    case kEventRawKeyUp: return dispatchRawKeyEvent(*event);
    case kEventHotKeyPressed:
    case kEventHotKeyReleased: return dispatchHotKeyEvent(*event);
    default: return eventNotHandledErr;
    }
}

OSStatus CarbonHotkeys::dispatchHotKeyEvent(const CarbonEvent& event) {
    if (!event.hotKeyID) return eventParameterNotFoundErr;
    if (event.hotKeyID->signature != signature) return eventNotHandledErr;
    auto& table = detail::state().hotKeyTable;
    auto it = table.find(event.hotKeyID->id);
    if (it == table.end()) return eventNotHandledErr;
    // Keep the record alive while its callback runs (it may unregister itself).
    std::shared_ptr<HotKey> record = it->second;
    if (event.kind == kEventHotKeyPressed) {
        if (record->onKeyDown) record->onKeyDown(record->shortcut);
    } else {
        if (record->onKeyUp) record->onKeyUp(record->shortcut);
    }
    return noErr;
}

OSStatus CarbonHotkeys::dispatchRawKeyEvent(const CarbonEvent& event) {
    if (!event.keyCode || !event.modifiers) return eventParameterNotFoundErr;
    const std::int64_t modifiers = normalizedCarbonModifiers(*event.modifiers);
    std::shared_ptr<HotKey> match;
    for (auto& [id, record] : detail::state().hotKeyTable) {
        if (record->shortcut.carbonKeyCode == *event.keyCode && record->shortcut.carbonModifiers == modifiers) {
            match = record;
            break;
        }
    }
    if (!match) return eventNotHandledErr;
    if (event.kind == kEventRawKeyDown) {
        if (match->onKeyDown) match->onKeyDown(match->shortcut);
    } else if (event.kind == kEventRawKeyUp) {
        if (match->onKeyUp) match->onKeyUp(match->shortcut);
    } else {
        return eventNotHandledErr;
    }
    return noErr;
}

const std::map<std::int64_t, std::shared_ptr<HotKey>>& CarbonHotkeys::hotKeyTable() {
    return detail::state().hotKeyTable;
}
bool CarbonHotkeys::hasEventHandler() { return detail::state().eventHandlerRef.has_value(); }
bool CarbonHotkeys::menuKeyMonitorRunning() {
    auto& s = detail::state();
    return s.menuKeyMonitor && s.menuKeyMonitor->isRunning();
}

} // namespace Hotkeys
