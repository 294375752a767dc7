#pragma once

#include "platform/Scheduler.h"

namespace beacon {

class DispatcherUtil {
public:
    // Runs the task on the main thread without waiting: at once when called
    // there, else queued on the main queue.
    static void performBlockOnMainThread(platform::Scheduler& scheduler, platform::Task task);
    // Queues the task on `queue` and waits up to `timeout` for it to finish.
    // Returns true when it finished in time; after the timeout the caller goes
    // on while the task may still run. Called from the queue itself, the task
    // runs at once (waiting for it would only wait out the timeout).
    static bool dispatchSyncWithTimeout(platform::Seconds timeout, platform::Queue& queue, platform::Task task);
};

} // namespace beacon
