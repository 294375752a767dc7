#include "beacon/util/DispatcherUtil.h"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace beacon {

void DispatcherUtil::performBlockOnMainThread(platform::Scheduler& scheduler, platform::Task task) {
    if (!task) return;
    auto& main = scheduler.mainQueue();
    if (main.isCurrent()) task();
    else main.async(std::move(task));
}

bool DispatcherUtil::dispatchSyncWithTimeout(platform::Seconds timeout, platform::Queue& queue, platform::Task task) {
    if (!task) return true;
    if (queue.isCurrent()) {
        task();
        return true;
    }
    // Shared with the task, which may outlive this call.
    struct Completion {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    auto completion = std::make_shared<Completion>();
    queue.async([completion, task = std::move(task)] {
        task();
        std::lock_guard lock(completion->mutex);
        completion->finished = true;
        completion->done.notify_all();
    });
    std::unique_lock lock(completion->mutex);
    return completion->done.wait_for(lock, timeout, [&] { return completion->finished; });
}

} // namespace beacon
