#pragma once

#include "beacon/context/ContextClock.h"
#include "beacon/context/DeviceHistoryInfo.h"
#include "beacon/context/DeviceInfoProvider.h"
#include "beacon/model/Device.h"
#include "beacon/model/WrapperSdk.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

class BeaconUserDefaults;

// Builds the device description stamped on logs and keeps the devices of
// the last launches (at most 5, oldest first) under "PastDevices", so that
// a log written later (a crash report read at the next launch) carries the
// device of its time.
class DeviceTracker {
public:
    static constexpr const char* kHistoryKey = "PastDevices";
    static constexpr std::size_t kMaxDevicesInHistory = 5;

    static std::shared_ptr<DeviceTracker> sharedInstance();
    // Drops the shared tracker and forgets the wrapper SDK and country code.
    static void resetSharedInstance();
    // The facts provider of trackers made from now on (null: the Linux one).
    static void setDefaultDeviceInfoProvider(std::shared_ptr<DeviceInfoProvider> provider);

    // Loads the history, then records this launch's device.
    DeviceTracker(std::shared_ptr<BeaconUserDefaults> store, std::shared_ptr<DeviceInfoProvider> provider,
                  ContextClock clock = systemNow);

    // The current device; rebuilt (and added to the history) when none was
    // built yet or the facts were marked stale since.
    std::shared_ptr<Device> device();
    // The device of the newest history entry earlier than the timestamp (the
    // oldest entry's for a time before every entry); the current device
    // without a timestamp or history.
    std::shared_ptr<Device> deviceForTimestamp(std::optional<Date> timestamp);
    // Keeps only the newest history entry.
    void clearDevices();
    std::vector<std::shared_ptr<DeviceHistoryInfo>> deviceHistory() const;

    // Process-wide: the wrapper SDK description copied into every device.
    // Setting it replaces the newest history entry by the refreshed device.
    void setWrapperSdk(std::shared_ptr<WrapperSdk> wrapperSdk);
    static std::shared_ptr<WrapperSdk> wrapperSdk();
    // Process-wide: the carrier country of every device from the next read.
    static void setCountryCode(std::optional<std::string> countryCode);
    static std::optional<std::string> countryCode();
    // Makes the next read of `device` build a new description.
    static void refreshDeviceNextTime();

private:
    std::shared_ptr<Device> updatedDevice() const;
    void persistLocked();

    mutable std::recursive_mutex mutex_;
    std::shared_ptr<BeaconUserDefaults> store_;
    std::shared_ptr<DeviceInfoProvider> provider_;
    ContextClock clock_;
    std::shared_ptr<Device> device_;
    std::uint64_t deviceGeneration_ = 0; // the staleness generation device_ was built in
    std::vector<std::shared_ptr<DeviceHistoryInfo>> history_;
};

} // namespace beacon
