#pragma once

#include "beacon/util/Reachability.h"

#include <atomic>

namespace platform {
class NotificationCenter;
class Scheduler;
} // namespace platform

namespace beacon {

// A monitor whose network goes up and down when a test says so.
class ScriptedReachability : public Reachability {
public:
    ScriptedReachability(platform::NotificationCenter& center, platform::Scheduler& scheduler,
                         NetworkStatus initial = NetworkStatus::Reachable);

    bool startNotifier() override;
    void stopNotifier() override;
    NetworkStatus currentReachabilityStatus() const override { return status_; }
    bool connectionRequired() const override { return false; }

    // Changes the status; a started monitor posts the change.
    void setStatus(NetworkStatus status);
    // Makes the next startNotifier() fail.
    void failNextStart() { failStart_ = true; }

private:
    void post();
    platform::NotificationCenter& center_;
    platform::Scheduler& scheduler_;
    std::atomic<NetworkStatus> status_;
    std::atomic<bool> started_{false};
    std::atomic<bool> failStart_{false};
};

} // namespace beacon
