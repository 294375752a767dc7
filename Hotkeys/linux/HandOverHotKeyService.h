#pragma once

#include "Hotkeys/core/HotKeyService.h"

#include <map>

namespace Hotkeys {

// The hot-key service of a Wayland session, where no program can grab keys:
// the compositor's own binding runs `zelvo --show`, which hands the press to
// the running instance. Registrations are accepted and kept, so that the
// shortcut shows as Zelvo's and can be bound in the compositor; no key event
// ever comes from here.
class HandOverHotKeyService : public HotKeyService {
public:
    struct Registration {
        std::uint32_t keyCode = 0;
        std::uint32_t modifiers = 0; // Carbon modifiers
    };

    OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                                 std::uint32_t options, std::optional<EventHotKeyRef>& outRef) override;
    OSStatus unregisterEventHotKey(std::optional<EventHotKeyRef> ref) override;
    OSStatus installEventHandler(EventHandler handler, std::optional<EventHandlerRef>& outRef) override;
    OSStatus addEventTypesToHandler(EventHandlerRef, const std::vector<EventTypeSpec>&) override { return noErr; }
    OSStatus removeEventTypesFromHandler(EventHandlerRef, const std::vector<EventTypeSpec>&) override {
        return noErr;
    }

    const std::map<std::uint64_t, Registration>& registrations() const { return registrations_; }

private:
    std::map<std::uint64_t, Registration> registrations_;
    std::uint64_t nextRef_ = 1;
};

} // namespace Hotkeys
