#include "app/login/StartAtLoginObservable.h"

#include "app/login/StartAtLogin.h"

#include <vector>

namespace app {

bool StartAtLoginObservable::enabled() const { return StartAtLogin::enabled(); }

void StartAtLoginObservable::setEnabled(bool value) { StartAtLogin::setEnabled(value); }

StartAtLoginObservable::ObserverId StartAtLoginObservable::addWillChangeObserver(std::function<void()> observer) {
    std::lock_guard lock(mutex_);
    auto id = next_++;
    observers_.emplace(id, std::move(observer));
    return id;
}

void StartAtLoginObservable::removeObserver(ObserverId id) {
    std::lock_guard lock(mutex_);
    observers_.erase(id);
}

void StartAtLoginObservable::sendWillChange() {
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, observer] : observers_) calls.push_back(observer);
    }
    // Outside the lock: an observer may add or remove observers.
    for (auto& call : calls) call();
}

} // namespace app
