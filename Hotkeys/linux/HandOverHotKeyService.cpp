#include "Hotkeys/linux/HandOverHotKeyService.h"

namespace Hotkeys {

OSStatus HandOverHotKeyService::registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID,
                                                    std::uint32_t, std::optional<EventHotKeyRef>& outRef) {
    // Two names on one combination are refused as a grab would be.
    for (const auto& [ref, r] : registrations_)
        if (r.keyCode == keyCode && r.modifiers == modifiers) return eventHotKeyExistsErr;
    const std::uint64_t ref = nextRef_++;
    registrations_[ref] = {keyCode, modifiers};
    outRef = EventHotKeyRef{ref};
    return noErr;
}

OSStatus HandOverHotKeyService::unregisterEventHotKey(std::optional<EventHotKeyRef> ref) {
    if (!ref || !registrations_.erase(ref->value)) return eventInternalErr;
    return noErr;
}

OSStatus HandOverHotKeyService::installEventHandler(EventHandler, std::optional<EventHandlerRef>& outRef) {
    outRef = EventHandlerRef{nextRef_++};
    return noErr;
}

} // namespace Hotkeys
