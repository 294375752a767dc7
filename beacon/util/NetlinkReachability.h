#pragma once

#include "beacon/util/Reachability.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

namespace platform {
class NotificationCenter;
class Scheduler;
} // namespace platform

namespace beacon {

// Reachability of the internet from the kernel's routing state: reachable
// while a default route (IPv4 or IPv6, main table) goes out through an
// interface that is up and running. A thread listens to the kernel's link
// and route events on a netlink socket and re-reads the state after each.
class NetlinkReachability : public Reachability {
public:
    NetlinkReachability(platform::NotificationCenter& center, platform::Scheduler& scheduler);
    ~NetlinkReachability() override;

    bool startNotifier() override;
    void stopNotifier() override;
    // Asks the kernel now; reachable when it cannot be asked.
    NetworkStatus currentReachabilityStatus() const override;
    // Linux connections are never made on demand.
    bool connectionRequired() const override { return false; }

private:
    void watch(int eventSocket, int wakeFd);
    void postChange();
    static std::optional<NetworkStatus> queryStatus();

    platform::NotificationCenter& center_;
    platform::Scheduler& scheduler_;
    std::mutex mutex_;
    std::thread thread_;
    int wakeFd_ = -1;
    std::atomic<int> lastStatus_{-1};
};

} // namespace beacon
