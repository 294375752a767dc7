#include "beacon/util/Reachability.h"

namespace beacon {

NetworkStatus Reachability::networkStatusForFlags(std::uint32_t flags) {
    using namespace ReachabilityFlags;
    if (!(flags & Reachable)) return NetworkStatus::NotReachable;
    if (!(flags & ConnectionRequired)) return NetworkStatus::Reachable;
    if ((flags & (ConnectionOnTraffic | ConnectionOnDemand)) && !(flags & InterventionRequired))
        return NetworkStatus::Reachable;
    return NetworkStatus::NotReachable;
}

} // namespace beacon
