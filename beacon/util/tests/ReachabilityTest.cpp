#include "beacon/util/NetlinkReachability.h"
#include "beacon/util/RouteTable.h"
#include "beacon/util/ScriptedReachability.h"

#include "platform/NotificationCenter.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>

#include <linux/if.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cstring>
#include <fstream>
#include <sstream>

using namespace beacon;

namespace {

// Builds netlink messages as the kernel sends them.
class NetlinkBuffer {
public:
    NetlinkBuffer& link(int index, unsigned flags, std::uint16_t type = RTM_NEWLINK) {
        ifinfomsg body{};
        body.ifi_family = AF_UNSPEC;
        body.ifi_index = index;
        body.ifi_flags = flags;
        message(type, &body, sizeof body, {});
        return *this;
    }
    // A route; `hops` non-empty makes it multipath.
    NetlinkBuffer& route(unsigned char dstLen, int oif, unsigned table = RT_TABLE_MAIN, std::vector<int> hops = {},
                         unsigned char family = AF_INET) {
        rtmsg body{};
        body.rtm_family = family;
        body.rtm_dst_len = dstLen;
        body.rtm_table = table < 256 ? table : RT_TABLE_UNSPEC;
        body.rtm_type = RTN_UNICAST;
        std::vector<std::uint8_t> attributes;
        auto add = [&](std::uint16_t type, const void* data, std::size_t size) {
            rtattr attribute{static_cast<unsigned short>(RTA_LENGTH(size)), type};
            const auto start = attributes.size();
            attributes.resize(start + RTA_SPACE(size));
            std::memcpy(&attributes[start], &attribute, sizeof attribute);
            std::memcpy(&attributes[start + RTA_LENGTH(0)], data, size);
        };
        std::uint32_t table32 = table;
        add(RTA_TABLE, &table32, sizeof table32);
        if (oif) add(RTA_OIF, &oif, sizeof oif);
        if (!hops.empty()) {
            std::vector<std::uint8_t> nexthops(hops.size() * RTNH_ALIGN(sizeof(rtnexthop)));
            for (std::size_t i = 0; i < hops.size(); ++i) {
                rtnexthop hop{};
                hop.rtnh_len = sizeof hop;
                hop.rtnh_ifindex = hops[i];
                std::memcpy(&nexthops[i * RTNH_ALIGN(sizeof hop)], &hop, sizeof hop);
            }
            add(RTA_MULTIPATH, nexthops.data(), nexthops.size());
        }
        message(RTM_NEWROUTE, &body, sizeof body, attributes);
        return *this;
    }
    NetlinkBuffer& done() {
        int zero = 0;
        message(NLMSG_DONE, &zero, sizeof zero, {});
        return *this;
    }
    bool readInto(RouteTable& table) const { return table.read(bytes_.data(), bytes_.size()); }

private:
    void message(std::uint16_t type, const void* body, std::size_t size, const std::vector<std::uint8_t>& extra) {
        nlmsghdr header{};
        header.nlmsg_type = type;
        header.nlmsg_len = NLMSG_LENGTH(NLMSG_ALIGN(size) + extra.size());
        const auto start = bytes_.size();
        bytes_.resize(start + NLMSG_ALIGN(header.nlmsg_len));
        std::memcpy(&bytes_[start], &header, sizeof header);
        std::memcpy(&bytes_[start + NLMSG_HDRLEN], body, size);
        if (!extra.empty()) std::memcpy(&bytes_[start + NLMSG_HDRLEN + NLMSG_ALIGN(size)], extra.data(), extra.size());
    }
    std::vector<std::uint8_t> bytes_;
};

constexpr unsigned kUp = IFF_UP | IFF_RUNNING;

bool usable(const NetlinkBuffer& buffer) {
    RouteTable table;
    buffer.readInto(table);
    return table.hasUsableDefaultRoute();
}

// Counts change notifications delivered on the main queue.
struct NotificationCounter {
    explicit NotificationCounter(platform::NotificationCenter& center)
        : subscription(center, center.addObserver(kBcnNetworkReachabilityChangedNotification, nullptr,
                                                  [this](const platform::Notification& n) {
                                                      ++count;
                                                      sender = n.object;
                                                  })) {}
    int count = 0;
    const void* sender = nullptr;
    platform::Subscription subscription;
};

} // namespace

TEST(Reachability, StatusFromFlags) {
    using namespace ReachabilityFlags;
    const std::pair<unsigned, NetworkStatus> cases[] = {
        {0, NetworkStatus::NotReachable},
        {ConnectionOnTraffic, NetworkStatus::NotReachable},
        {Reachable, NetworkStatus::Reachable},
        {Reachable | ConnectionRequired, NetworkStatus::NotReachable},
        {Reachable | ConnectionRequired | ConnectionOnTraffic, NetworkStatus::Reachable},
        {Reachable | ConnectionRequired | ConnectionOnDemand, NetworkStatus::Reachable},
        {Reachable | ConnectionRequired | ConnectionOnDemand | InterventionRequired, NetworkStatus::NotReachable},
    };
    for (const auto& [flags, status] : cases) EXPECT_EQ(Reachability::networkStatusForFlags(flags), status) << flags;
}

TEST(RouteTable, NeedsADefaultRouteOverAnInterfaceThatIsUp) {
    EXPECT_TRUE(usable(NetlinkBuffer().link(1, kUp | IFF_LOOPBACK).link(2, kUp).route(0, 2)));
    EXPECT_TRUE(usable(NetlinkBuffer().link(2, kUp).route(0, 2, RT_TABLE_MAIN, {}, AF_INET6)));
    EXPECT_FALSE(usable(NetlinkBuffer().link(2, IFF_UP).route(0, 2)));    // no carrier
    EXPECT_FALSE(usable(NetlinkBuffer().link(2, kUp).route(24, 2)));      // not a default route
    EXPECT_FALSE(usable(NetlinkBuffer().link(2, kUp).route(0, 2, 1000))); // another table
    EXPECT_FALSE(usable(NetlinkBuffer().link(2, kUp).route(0, 3)));       // unknown interface
    EXPECT_FALSE(usable(NetlinkBuffer().link(1, kUp | IFF_LOOPBACK).route(0, 1)));
    EXPECT_FALSE(usable(NetlinkBuffer().link(2, kUp).link(2, kUp, RTM_DELLINK).route(0, 2)));
    EXPECT_TRUE(usable(NetlinkBuffer().link(2, IFF_UP).link(3, kUp).route(0, 0, RT_TABLE_MAIN, {2, 3})));

    RouteTable table;
    EXPECT_TRUE(NetlinkBuffer().link(2, kUp).readInto(table));
    EXPECT_FALSE(NetlinkBuffer().route(0, 2).done().readInto(table));
    EXPECT_TRUE(table.hasUsableDefaultRoute());
}

TEST(ScriptedReachability, PostsOnStartAndOnEachChangeOnTheMainQueue) {
    platform::ManualScheduler scheduler;
    platform::NotificationCenter center;
    NotificationCounter counter(center);
    ScriptedReachability reachability(center, scheduler, NetworkStatus::NotReachable);

    reachability.failNextStart();
    EXPECT_FALSE(reachability.startNotifier());
    EXPECT_TRUE(reachability.startNotifier());
    EXPECT_EQ(counter.count, 0);
    scheduler.runUntilIdle();
    EXPECT_EQ(counter.count, 1);
    EXPECT_EQ(counter.sender, &reachability);

    reachability.setStatus(NetworkStatus::Reachable);
    reachability.setStatus(NetworkStatus::Reachable);
    scheduler.runUntilIdle();
    EXPECT_EQ(counter.count, 2);
    EXPECT_EQ(reachability.currentReachabilityStatus(), NetworkStatus::Reachable);

    reachability.stopNotifier();
    reachability.setStatus(NetworkStatus::NotReachable);
    scheduler.runUntilIdle();
    EXPECT_EQ(counter.count, 2);
}

TEST(NetlinkReachability, AgreesWithTheKernelsRoutesAndStopsCleanly) {
    platform::ManualScheduler scheduler;
    platform::NotificationCenter center;
    NotificationCounter counter(center);
    NetlinkReachability reachability(center, scheduler);
    if (!reachability.startNotifier()) GTEST_SKIP() << "no netlink route socket here";
    scheduler.runUntilIdle();
    EXPECT_EQ(counter.count, 1);
    EXPECT_EQ(counter.sender, &reachability);

    // An IPv4 default route in /proc over an interface that is up means reachable.
    std::ifstream routes("/proc/net/route");
    std::string line, interface, destination;
    std::getline(routes, line);
    bool ipv4Default = false;
    while (std::getline(routes, line)) {
        std::istringstream(line) >> interface >> destination;
        std::ifstream state("/sys/class/net/" + interface + "/operstate");
        std::string operstate;
        state >> operstate;
        if (destination == "00000000" && (operstate == "up" || operstate == "unknown")) ipv4Default = true;
    }
    if (ipv4Default) {
        EXPECT_EQ(reachability.currentReachabilityStatus(), NetworkStatus::Reachable);
    }
    EXPECT_FALSE(reachability.connectionRequired());
    reachability.stopNotifier();
    reachability.stopNotifier();
}
