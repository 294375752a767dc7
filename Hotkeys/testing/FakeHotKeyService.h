#pragma once

#include "Hotkeys/core/HotKeyService.h"

#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace Hotkeys {

// A scripted hot-key service for tests: records registrations, refuses the
// combinations it is told are taken, and delivers pressed/released events for
// registered ids to the handler when the handler has those kinds.
class FakeHotKeyService : public HotKeyService {
public:
    struct Registration {
        std::uint32_t keyCode;
        std::uint32_t modifiers;
        EventHotKeyID id;
    };

    OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                                 std::uint32_t options, std::optional<EventHotKeyRef>& outRef) override;
    OSStatus unregisterEventHotKey(std::optional<EventHotKeyRef> ref) override;
    OSStatus installEventHandler(EventHandler handler, std::optional<EventHandlerRef>& outRef) override;
    OSStatus addEventTypesToHandler(EventHandlerRef handler, const std::vector<EventTypeSpec>& specs) override;
    OSStatus removeEventTypesFromHandler(EventHandlerRef handler, const std::vector<EventTypeSpec>& specs) override;

    // Another program holds this combination from now on (or no longer).
    void takeCombination(std::uint32_t keyCode, std::uint32_t modifiers) { taken_.insert({keyCode, modifiers}); }
    void releaseCombination(std::uint32_t keyCode, std::uint32_t modifiers) { taken_.erase({keyCode, modifiers}); }

    // Presses or releases the registered combination; the handler's status,
    // or nothing when no registration or no handler with that kind exists.
    std::optional<OSStatus> press(std::uint32_t keyCode, std::uint32_t modifiers);
    std::optional<OSStatus> release(std::uint32_t keyCode, std::uint32_t modifiers);
    // Hands any event to the handler when it has the event's kind.
    std::optional<OSStatus> deliver(const CarbonEvent& event);

    std::vector<Registration> registrations() const;
    std::optional<EventHotKeyID> registeredId(std::uint32_t keyCode, std::uint32_t modifiers) const;
    bool handlerHasKind(std::uint32_t kind) const;
    int installCount() const { return installCount_; }
    int registerCalls() const { return registerCalls_; }

private:
    std::optional<OSStatus> send(std::uint32_t kind, std::uint32_t keyCode, std::uint32_t modifiers);

    std::map<std::uint64_t, Registration> registrations_;
    std::set<std::pair<std::uint32_t, std::uint32_t>> taken_;
    std::uint64_t nextRef_ = 1;
    EventHandler handler_;
    std::set<std::pair<std::uint32_t, std::uint32_t>> kinds_;
    int installCount_ = 0;
    int registerCalls_ = 0;
};

} // namespace Hotkeys
