#include "beacon/util/ApplicationState.h"

#include "platform/NotificationCenter.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace beacon {

namespace {
struct Observer {
    ApplicationStateUtil::Moment moment;
    std::shared_ptr<ApplicationStateUtil::MomentHandler> handler;
};

// Made once and never destroyed, so that observers removed during the
// program's exit find it still there.
struct State {
    std::mutex mutex;
    std::vector<platform::Subscription> subscriptions;
    std::map<ApplicationStateUtil::ObserverId, Observer> observers;
    ApplicationStateUtil::ObserverId nextId = 1;
    std::atomic<int> state{static_cast<int>(ApplicationState::Unknown)};
};

State& shared() {
    static State* state = new State;
    return *state;
}

void deliver(ApplicationStateUtil::Moment moment) {
    std::vector<std::shared_ptr<ApplicationStateUtil::MomentHandler>> handlers;
    {
        std::lock_guard lock(shared().mutex);
        for (const auto& [id, observer] : shared().observers)
            if (observer.moment == moment) handlers.push_back(observer.handler);
    }
    for (const auto& handler : handlers) (*handler)();
}
} // namespace

void ApplicationStateUtil::observe(platform::NotificationCenter* center) {
    auto& s = shared();
    std::vector<platform::Subscription> old;
    {
        std::lock_guard lock(s.mutex);
        old.swap(s.subscriptions);
        s.state = static_cast<int>(ApplicationState::Unknown);
    }
    old.clear();
    if (!center) return;
    std::vector<platform::Subscription> subscriptions;
    subscriptions.emplace_back(
        *center,
        center->addObserver(platform::kApplicationStateDidChange, nullptr, [](const platform::Notification& n) {
            if (const int* value = n.info<int>(platform::kApplicationStateKey))
                if (*value >= 0 && *value <= static_cast<int>(ApplicationState::Unknown)) shared().state = *value;
        }));
    subscriptions.emplace_back(
        *center, center->addObserver(platform::kApplicationWillBecomeActive, nullptr,
                                     [](const platform::Notification&) { deliver(Moment::WillBecomeActive); }));
    subscriptions.emplace_back(
        *center, center->addObserver(platform::kApplicationDidResignActive, nullptr,
                                     [](const platform::Notification&) { deliver(Moment::DidResignActive); }));
    std::lock_guard lock(s.mutex);
    s.subscriptions = std::move(subscriptions);
}

ApplicationState ApplicationStateUtil::applicationState() {
    return static_cast<ApplicationState>(shared().state.load());
}

ApplicationStateUtil::ObserverId ApplicationStateUtil::addObserver(Moment moment, MomentHandler handler) {
    auto& s = shared();
    std::lock_guard lock(s.mutex);
    const ObserverId id = s.nextId++;
    s.observers.emplace(id, Observer{moment, std::make_shared<MomentHandler>(std::move(handler))});
    return id;
}

void ApplicationStateUtil::removeObserver(ObserverId id) {
    auto& s = shared();
    std::lock_guard lock(s.mutex);
    s.observers.erase(id);
}

} // namespace beacon
