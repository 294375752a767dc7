#pragma once

#include "platform/Event.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace platform {

// Local event monitors: handlers that see the application's own input events
// before normal dispatch. A handler returns the event to pass it on, or
// nothing to swallow it.
class LocalEventSource {
public:
    using Handler = std::function<std::optional<Event>(const Event&)>;
    using MonitorId = std::uint64_t;

    virtual ~LocalEventSource() = default;
    virtual MonitorId addLocalMonitor(unsigned mask, Handler handler) = 0;
    virtual void removeMonitor(MonitorId id) = 0;
};

} // namespace platform
