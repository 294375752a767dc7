#include "beacon/util/ApplicationState.h"

#include "platform/NotificationCenter.h"

#include <atomic>
#include <mutex>

namespace beacon {

namespace {
std::mutex mutex;
platform::NotificationCenter* center = nullptr;
platform::Subscription subscription;
std::atomic<int> state{static_cast<int>(ApplicationState::Unknown)};
} // namespace

void ApplicationStateUtil::observe(platform::NotificationCenter* newCenter) {
    std::lock_guard lock(mutex);
    subscription.cancel();
    center = newCenter;
    state = static_cast<int>(ApplicationState::Unknown);
    if (!center)
        return;
    subscription = platform::Subscription(
        *center, center->addObserver(platform::kApplicationStateDidChange, nullptr, [](const platform::Notification& n) {
            if (const int* value = n.info<int>(platform::kApplicationStateKey))
                if (*value >= 0 && *value <= static_cast<int>(ApplicationState::Unknown))
                    state = *value;
        }));
}

platform::NotificationCenter* ApplicationStateUtil::notificationCenter() {
    std::lock_guard lock(mutex);
    return center;
}

ApplicationState ApplicationStateUtil::applicationState() { return static_cast<ApplicationState>(state.load()); }

} // namespace beacon
