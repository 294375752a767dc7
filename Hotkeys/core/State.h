#pragma once

// Process-wide shortcut state shared by the files of this folder. Not part
// of the public interface.

#include "Hotkeys/core/CarbonHotkeys.h"
#include "Hotkeys/core/LocalEventMonitor.h"
#include "Hotkeys/core/Name.h"
#include "Hotkeys/core/Services.h"
#include "platform/NotificationCenter.h"

#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace Hotkeys::detail {

using Action = std::shared_ptr<std::function<void()>>;

struct State {
    Services services;

    // Registration layer.
    std::map<std::int64_t, std::shared_ptr<HotKey>> hotKeyTable;
    std::optional<EventHandlerRef> eventHandlerRef;
    std::int64_t nextHotKeyId = 0;
    std::unique_ptr<RunLoopLocalEventMonitor> menuKeyMonitor;

    // Named shortcuts.
    std::unordered_set<Shortcut> activeShortcuts;
    std::map<Name, std::vector<Action>> downHandlers;
    std::map<Name, std::vector<Action>> upHandlers;
    std::map<Name, std::map<std::string, Action>> downStreamHandlers;
    std::map<Name, std::map<std::string, Action>> upStreamHandlers;
    bool hotKeysEnabled = true;
    bool handlingPaused = false;
    bool menuTracking = false;
    std::optional<platform::ObserverId> menuBeginToken;
    std::optional<platform::ObserverId> menuEndToken;
};

State& state();

// Registers the name's stored shortcut unless it is already active.
void registerIfNeeded(const Name& name);
void startMenuObservation();

} // namespace Hotkeys::detail
