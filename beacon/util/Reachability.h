#pragma once

#include <cstdint>

namespace beacon {

inline constexpr const char* kBcnNetworkReachabilityChangedNotification = "kBcnNetworkReachabilityChangedNotification";

enum class NetworkStatus : int {
    NotReachable = 0,
    Reachable = 1,
};

// Reachability flags, in the values of the platform services they come from.
namespace ReachabilityFlags {
inline constexpr std::uint32_t Reachable = 0x2;
inline constexpr std::uint32_t ConnectionRequired = 0x4;
inline constexpr std::uint32_t ConnectionOnTraffic = 0x8;
inline constexpr std::uint32_t InterventionRequired = 0x10;
inline constexpr std::uint32_t ConnectionOnDemand = 0x20;
} // namespace ReachabilityFlags

// Watches whether the network can be reached. After a successful
// startNotifier() the monitor posts kBcnNetworkReachabilityChangedNotification
// (object: the monitor) once, then at every change, on the main queue.
class Reachability {
public:
    virtual ~Reachability() = default;
    virtual bool startNotifier() = 0;
    virtual void stopNotifier() = 0;
    virtual NetworkStatus currentReachabilityStatus() const = 0;
    virtual bool connectionRequired() const = 0;

    // Reachable when the reachable flag is set and either no connection is
    // required, or one is made on traffic or on demand without user
    // intervention.
    static NetworkStatus networkStatusForFlags(std::uint32_t flags);
};

} // namespace beacon
