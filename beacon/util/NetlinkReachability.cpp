#include "beacon/util/NetlinkReachability.h"

#include "beacon/logger/Logger.h"
#include "beacon/util/RouteTable.h"
#include "platform/NotificationCenter.h"
#include "platform/Scheduler.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace beacon {

namespace {

int openRouteSocket(unsigned groups) {
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) return -1;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = groups;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends one dump request and reads the answer into the table.
bool dump(int fd, std::uint16_t type, std::uint32_t sequence, RouteTable& table) {
    struct {
        nlmsghdr header;
        rtgenmsg body;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = sequence;
    request.body.rtgen_family = AF_UNSPEC;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd, &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0)
        return false;
    alignas(nlmsghdr) std::uint8_t buffer[32768];
    for (;;) {
        const auto n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        const auto* header = reinterpret_cast<const nlmsghdr*>(buffer);
        if (header->nlmsg_type == NLMSG_ERROR) return false;
        if (!table.read(buffer, static_cast<std::size_t>(n))) return true;
    }
}

} // namespace

NetlinkReachability::NetlinkReachability(platform::NotificationCenter& center, platform::Scheduler& scheduler)
    : center_(center), scheduler_(scheduler) {}

NetlinkReachability::~NetlinkReachability() { stopNotifier(); }

std::optional<NetworkStatus> NetlinkReachability::queryStatus() {
    const int fd = openRouteSocket(0);
    if (fd < 0) return std::nullopt;
    RouteTable table;
    const bool ok = dump(fd, RTM_GETLINK, 1, table) && dump(fd, RTM_GETROUTE, 2, table);
    ::close(fd);
    if (!ok) return std::nullopt;
    return table.hasUsableDefaultRoute() ? NetworkStatus::Reachable : NetworkStatus::NotReachable;
}

NetworkStatus NetlinkReachability::currentReachabilityStatus() const {
    // Where the kernel cannot be asked (a sandbox without netlink), the
    // requests themselves tell whether the network is there: calls failing
    // there are retried, not held until a change that never comes.
    return queryStatus().value_or(NetworkStatus::Reachable);
}

bool NetlinkReachability::startNotifier() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) return true;
    const int events = openRouteSocket(RTMGRP_LINK | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE);
    if (events < 0) {
        BEACON_LOG_WARNING("Could not watch the network: ", std::strerror(errno));
        return false;
    }
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        ::close(events);
        return false;
    }
    lastStatus_ = static_cast<int>(currentReachabilityStatus());
    postChange();
    thread_ = std::thread([this, events, wake = wakeFd_] { watch(events, wake); });
    return true;
}

void NetlinkReachability::stopNotifier() {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
    ::close(wakeFd_);
    wakeFd_ = -1;
}

void NetlinkReachability::watch(int eventSocket, int wakeFd) {
    alignas(nlmsghdr) std::uint8_t buffer[16384];
    pollfd fds[2] = {{eventSocket, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents) break;
        if (!(fds[0].revents & POLLIN)) continue;
        // Drain the burst of events, then look at the state once.
        while (::recv(eventSocket, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {}
        const int status = static_cast<int>(currentReachabilityStatus());
        if (lastStatus_.exchange(status) != status) postChange();
    }
    ::close(eventSocket);
}

void NetlinkReachability::postChange() {
    const void* sender = this;
    platform::NotificationCenter* center = &center_;
    scheduler_.mainQueue().async(
        [center, sender] { center->post(kBcnNetworkReachabilityChangedNotification, sender); });
}

} // namespace beacon
