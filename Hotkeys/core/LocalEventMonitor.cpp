#include "Hotkeys/core/LocalEventMonitor.h"

namespace Hotkeys {

LocalEventMonitor::LocalEventMonitor(platform::LocalEventSource& source, unsigned events, Callback callback)
    : events(events), source_(source), callback_(std::move(callback)) {}

LocalEventMonitor::~LocalEventMonitor() {
    if (monitor_) source_.removeMonitor(*monitor_);
}

LocalEventMonitor& LocalEventMonitor::start() {
    if (!monitor_) monitor_ = source_.addLocalMonitor(events, callback_);
    return *this;
}

RunLoopLocalEventMonitor::RunLoopLocalEventMonitor(platform::LocalEventSource& source, unsigned events,
                                                   Callback callback)
    : events(events), source_(source), callback_(std::move(callback)) {}

RunLoopLocalEventMonitor::~RunLoopLocalEventMonitor() { stop(); }

RunLoopLocalEventMonitor& RunLoopLocalEventMonitor::start() {
    if (!monitor_) monitor_ = source_.addLocalMonitor(events, callback_);
    return *this;
}

void RunLoopLocalEventMonitor::stop() {
    if (monitor_) source_.removeMonitor(*monitor_);
    monitor_.reset();
}

} // namespace Hotkeys
