#include "Hotkeys/core/Services.h"

#include "Hotkeys/core/State.h"

namespace Hotkeys {

namespace detail {
State& state() {
    static State* s = new State; // touched from static destructors of other objects; never destroyed
    return *s;
}
} // namespace detail

void install(const Services& services) {
    auto& old = detail::state();
    // Undo what the previous services hold (they must still be alive).
    old.menuKeyMonitor.reset();
    if (old.services.menuNotificationCenter) {
        if (old.menuBeginToken) old.services.menuNotificationCenter->removeObserver(*old.menuBeginToken);
        if (old.menuEndToken) old.services.menuNotificationCenter->removeObserver(*old.menuEndToken);
    }
    if (old.services.hotKeyService)
        for (auto& [id, record] : old.hotKeyTable)
            if (record->carbonHotKey) old.services.hotKeyService->unregisterEventHotKey(record->carbonHotKey);
    // Handlers may own objects whose destructors call back in: release them
    // after the state has been replaced.
    detail::State previous = std::move(old);
    old = detail::State{};
    old.services = services;
}

const Services& services() { return detail::state().services; }

} // namespace Hotkeys
