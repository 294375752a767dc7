#include "Hotkeys/testing/FakeHotKeyService.h"

namespace Hotkeys {

OSStatus FakeHotKeyService::registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                                                std::uint32_t, std::optional<EventHotKeyRef>& outRef) {
    ++registerCalls_;
    outRef.reset();
    if (taken_.count({keyCode, modifiers})) return eventHotKeyExistsErr;
    const std::uint64_t ref = nextRef_++;
    registrations_[ref] = {keyCode, modifiers, id};
    outRef = EventHotKeyRef{ref};
    return noErr;
}

OSStatus FakeHotKeyService::unregisterEventHotKey(std::optional<EventHotKeyRef> ref) {
    if (!ref || !registrations_.erase(ref->value)) return eventHotKeyInvalidErr;
    return noErr;
}

OSStatus FakeHotKeyService::installEventHandler(EventHandler handler, std::optional<EventHandlerRef>& outRef) {
    ++installCount_;
    handler_ = std::move(handler);
    outRef = EventHandlerRef{1};
    return noErr;
}

OSStatus FakeHotKeyService::addEventTypesToHandler(EventHandlerRef, const std::vector<EventTypeSpec>& specs) {
    for (const auto& s : specs) kinds_.insert({s.eventClass, s.eventKind});
    return noErr;
}

OSStatus FakeHotKeyService::removeEventTypesFromHandler(EventHandlerRef, const std::vector<EventTypeSpec>& specs) {
    for (const auto& s : specs) kinds_.erase({s.eventClass, s.eventKind});
    return noErr;
}

bool FakeHotKeyService::handlerHasKind(std::uint32_t kind) const {
    return handler_ && kinds_.count({kEventClassKeyboard, kind});
}

std::optional<OSStatus> FakeHotKeyService::deliver(const CarbonEvent& event) {
    if (!handler_ || !kinds_.count({event.eventClass, event.kind})) return std::nullopt;
    auto handler = handler_;
    return handler(&event);
}

std::optional<OSStatus> FakeHotKeyService::send(std::uint32_t kind, std::uint32_t keyCode, std::uint32_t modifiers) {
    auto id = registeredId(keyCode, modifiers);
    if (!id) return std::nullopt;
    CarbonEvent event;
    event.kind = kind;
    event.hotKeyID = *id;
    return deliver(event);
}

std::optional<OSStatus> FakeHotKeyService::press(std::uint32_t keyCode, std::uint32_t modifiers) {
    return send(kEventHotKeyPressed, keyCode, modifiers);
}

std::optional<OSStatus> FakeHotKeyService::release(std::uint32_t keyCode, std::uint32_t modifiers) {
    return send(kEventHotKeyReleased, keyCode, modifiers);
}

std::vector<FakeHotKeyService::Registration> FakeHotKeyService::registrations() const {
    std::vector<Registration> out;
    for (const auto& [ref, r] : registrations_) out.push_back(r);
    return out;
}

std::optional<EventHotKeyID> FakeHotKeyService::registeredId(std::uint32_t keyCode, std::uint32_t modifiers) const {
    for (const auto& [ref, r] : registrations_)
        if (r.keyCode == keyCode && r.modifiers == modifiers) return r.id;
    return std::nullopt;
}

} // namespace Hotkeys
