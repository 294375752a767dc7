#pragma once

// The child side of TelemetryChild: a service of its own name and the marker
// file through which the child reports its progress.
#include "beacon/channel/ChannelGroupDefault.h"
#include "beacon/channel/ChannelUnitConfiguration.h"
#include "beacon/core/Beacon.h"
#include "beacon/storage/Storage.h"
#include "beacon/core/ServiceAbstract.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

namespace beacon::test {

// A service whose unit is named after it and flushes every `flushInterval` seconds.
class NamedTestService : public ServiceAbstract {
public:
    NamedTestService(std::string name, std::uint32_t flushInterval)
        : name_(std::move(name)), flushInterval_(flushInterval) {}
    std::string serviceName() const override { return name_; }
    std::string groupId() const override { return name_; }
    std::string logTag() const override { return "Beacon" + name_; }
    std::optional<ChannelUnitConfiguration> channelUnitConfiguration() const override {
        return ChannelUnitConfiguration::defaultConfiguration(name_, flushInterval_);
    }

private:
    std::string name_;
    std::uint32_t flushInterval_;
};

// Writes `text` to the marker at once (a rename), so that the parent never
// reads half of it.
inline void writeMarker(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp";
    std::ofstream(temporary) << text << "\n";
    std::rename(temporary.c_str(), path.c_str());
}

// The logs the telemetry's store holds now, counted on the channel's queue.
inline std::uint64_t storedLogs() {
    auto group = std::dynamic_pointer_cast<ChannelGroupDefault>(Beacon::sharedInstance()->channelGroup());
    std::uint64_t count = 0;
    group->logsDispatchQueue()->sync([&] { count = group->storage()->countLogs(); });
    return count;
}

} // namespace beacon::test
