#pragma once

#include "platform/EventMonitors.h"

#include <functional>
#include <optional>

namespace Hotkeys {

// Sees the application's own events of the given mask (platform::EventMask
// bits) before they are dispatched. The callback returns the event (or
// another one) to let it continue, or nothing to swallow it. Active from
// start() until destroyed.
class LocalEventMonitor {
public:
    using Callback = std::function<std::optional<platform::Event>(const platform::Event&)>;

    LocalEventMonitor(platform::LocalEventSource& source, unsigned events, Callback callback);
    ~LocalEventMonitor();
    LocalEventMonitor(const LocalEventMonitor&) = delete;
    LocalEventMonitor& operator=(const LocalEventMonitor&) = delete;

    // Installs the monitor (once) and returns it, so creation and start chain.
    LocalEventMonitor& start();

    const unsigned events;

private:
    platform::LocalEventSource& source_;
    Callback callback_;
    std::optional<platform::LocalEventSource::MonitorId> monitor_;
};

// The monitor the hot-key layer runs while one of the application's menus is
// open. An open menu holds the keyboard, so global hot keys do not fire; the
// application event filter still sees every key event the menu receives and
// hands it here first. start() and stop() may be repeated; destruction stops.
class RunLoopLocalEventMonitor {
public:
    using Callback = LocalEventMonitor::Callback;

    RunLoopLocalEventMonitor(platform::LocalEventSource& source, unsigned events, Callback callback);
    ~RunLoopLocalEventMonitor();
    RunLoopLocalEventMonitor(const RunLoopLocalEventMonitor&) = delete;
    RunLoopLocalEventMonitor& operator=(const RunLoopLocalEventMonitor&) = delete;

    RunLoopLocalEventMonitor& start();
    void stop();
    bool isRunning() const { return monitor_.has_value(); }

    const unsigned events;

private:
    platform::LocalEventSource& source_;
    Callback callback_;
    std::optional<platform::LocalEventSource::MonitorId> monitor_;
};

} // namespace Hotkeys
