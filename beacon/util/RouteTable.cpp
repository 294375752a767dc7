#include "beacon/util/RouteTable.h"

#include <linux/if.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <algorithm>

namespace beacon {

namespace {

void readRoute(const nlmsghdr* header, std::vector<int>& defaultRouteLinks) {
    const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(header));
    if (route->rtm_dst_len != 0 || route->rtm_type != RTN_UNICAST) return;
    if (route->rtm_family != AF_INET && route->rtm_family != AF_INET6) return;
    unsigned table = route->rtm_table;
    std::vector<int> links;
    int length = static_cast<int>(RTM_PAYLOAD(header));
    for (const rtattr* attribute = RTM_RTA(route); RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        if (attribute->rta_type == RTA_TABLE && RTA_PAYLOAD(attribute) >= sizeof(std::uint32_t)) {
            table = *static_cast<const std::uint32_t*>(RTA_DATA(attribute));
        } else if (attribute->rta_type == RTA_OIF && RTA_PAYLOAD(attribute) >= sizeof(int)) {
            links.push_back(*static_cast<const int*>(RTA_DATA(attribute)));
        } else if (attribute->rta_type == RTA_MULTIPATH) {
            auto remaining = static_cast<int>(RTA_PAYLOAD(attribute));
            const auto* hop = static_cast<const rtnexthop*>(RTA_DATA(attribute));
            while (RTNH_OK(hop, remaining)) {
                links.push_back(hop->rtnh_ifindex);
                remaining -= static_cast<int>(RTNH_ALIGN(hop->rtnh_len));
                hop = RTNH_NEXT(hop);
            }
        }
    }
    if (table != RT_TABLE_MAIN) return;
    defaultRouteLinks.insert(defaultRouteLinks.end(), links.begin(), links.end());
}

} // namespace

bool RouteTable::read(const std::uint8_t* buffer, std::size_t size) {
    auto remaining = static_cast<unsigned>(size);
    for (const auto* header = reinterpret_cast<const nlmsghdr*>(buffer); NLMSG_OK(header, remaining);
         header = NLMSG_NEXT(header, remaining)) {
        switch (header->nlmsg_type) {
        case NLMSG_DONE:
        case NLMSG_ERROR: return false;
        case RTM_NEWLINK:
            if (header->nlmsg_len >= NLMSG_LENGTH(sizeof(ifinfomsg))) {
                const auto* link = static_cast<const ifinfomsg*>(NLMSG_DATA(header));
                linkFlags[link->ifi_index] = link->ifi_flags;
            }
            break;
        case RTM_DELLINK:
            if (header->nlmsg_len >= NLMSG_LENGTH(sizeof(ifinfomsg)))
                linkFlags.erase(static_cast<const ifinfomsg*>(NLMSG_DATA(header))->ifi_index);
            break;
        case RTM_NEWROUTE:
            if (header->nlmsg_len >= NLMSG_LENGTH(sizeof(rtmsg))) readRoute(header, defaultRouteLinks);
            break;
        default: break;
        }
    }
    return true;
}

bool RouteTable::hasUsableDefaultRoute() const {
    return std::any_of(defaultRouteLinks.begin(), defaultRouteLinks.end(), [this](int index) {
        auto it = linkFlags.find(index);
        return it != linkFlags.end() && (it->second & IFF_UP) && (it->second & IFF_RUNNING) &&
               !(it->second & IFF_LOOPBACK);
    });
}

} // namespace beacon
