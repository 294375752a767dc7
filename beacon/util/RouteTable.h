#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace beacon {

// What reachability needs of the kernel's routing state: the interfaces
// with their flags and the interfaces that default routes go out through.
struct RouteTable {
    std::map<int, unsigned> linkFlags;  // interface index -> IFF_* flags
    std::vector<int> defaultRouteLinks; // outgoing interfaces of default routes

    // Reads the messages of an RTM_GETLINK or RTM_GETROUTE dump (or of
    // notifications) into the table. Returns false at the end of a dump
    // (NLMSG_DONE) or on an error message, true while more may follow.
    bool read(const std::uint8_t* buffer, std::size_t size);
    // A default route over an interface that is up and running.
    bool hasUsableDefaultRoute() const;
};

} // namespace beacon
