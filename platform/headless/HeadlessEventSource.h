#pragma once

#include "platform/EventMonitors.h"

#include <map>
#include <memory>

namespace platform {

// Tests hand events to dispatch(); every monitor whose mask matches sees the
// event in the order the monitors were added, until one swallows it.
class HeadlessEventSource : public LocalEventSource {
public:
    MonitorId addLocalMonitor(unsigned mask, Handler handler) override {
        MonitorId id = next_++;
        monitors_.emplace(id, Monitor{mask, std::make_shared<Handler>(std::move(handler))});
        return id;
    }
    void removeMonitor(MonitorId id) override { monitors_.erase(id); }

    // The event after the monitors, or nothing when one swallowed it.
    std::optional<Event> dispatch(const Event& event) {
        std::optional<Event> current = event;
        auto snapshot = monitors_;
        for (auto& [id, m] : snapshot) {
            if (!(m.mask & maskFor(current->type))) continue;
            if (!monitors_.count(id)) continue;
            current = (*m.handler)(*current);
            if (!current) return std::nullopt;
        }
        return current;
    }
    std::size_t monitorCount() const { return monitors_.size(); }

private:
    struct Monitor {
        unsigned mask;
        std::shared_ptr<Handler> handler;
    };
    std::map<MonitorId, Monitor> monitors_;
    MonitorId next_ = 1;
};

} // namespace platform
