#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace app {

// The observable face of start at login: `enabled` forwards to
// StartAtLogin::enabled(), and every write announces itself first so that
// the controls showing it read the value again.
class StartAtLoginObservable {
public:
    using ObserverId = std::uint64_t;

    bool enabled() const;
    void setEnabled(bool value);

    // Called before each change of the value.
    ObserverId addWillChangeObserver(std::function<void()> observer);
    void removeObserver(ObserverId id);
    void sendWillChange();

private:
    mutable std::mutex mutex_;
    std::map<ObserverId, std::function<void()>> observers_;
    ObserverId next_ = 1;
};

} // namespace app
