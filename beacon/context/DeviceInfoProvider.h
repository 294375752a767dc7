#pragma once

#include "beacon/model/Device.h"

namespace beacon {

// Where the device tracker gets the facts of the machine and the
// application: every field of the device except the wrapper fields, the
// carrier name and the carrier country, which the tracker fills itself.
class DeviceInfoProvider {
public:
    virtual ~DeviceInfoProvider() = default;
    virtual Device deviceInfo() const = 0;
};

// Gives the same facts every time until they are changed (tests, embedders
// that know the facts better).
class FixedDeviceInfoProvider : public DeviceInfoProvider {
public:
    explicit FixedDeviceInfoProvider(Device facts) : facts_(std::move(facts)) {}
    Device deviceInfo() const override { return facts_; }
    void setDeviceInfo(Device facts) { facts_ = std::move(facts); }

private:
    Device facts_;
};

} // namespace beacon
