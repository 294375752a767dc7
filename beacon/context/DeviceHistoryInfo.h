#pragma once

#include "beacon/context/HistoryInfo.h"
#include "beacon/model/Device.h"

#include <memory>

namespace beacon {

// The device of one launch, from the time it was recorded ("deviceKey").
class DeviceHistoryInfo : public HistoryInfo {
public:
    static constexpr std::string_view kClassName = "DeviceHistoryInfo";

    DeviceHistoryInfo() = default;
    DeviceHistoryInfo(Date timestamp, std::shared_ptr<Device> device_)
        : HistoryInfo(timestamp), device(std::move(device_)) {}

    std::shared_ptr<Device> device;

    std::string_view className() const override { return kClassName; }
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
