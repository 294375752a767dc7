#include "beacon/context/DeviceTracker.h"

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/context/HistoryStore.h"
#include "beacon/context/LinuxDeviceInfoProvider.h"
#include "beacon/util/BeaconUserDefaults.h"

#include <algorithm>

namespace beacon {

namespace {

// Process-wide state beside the shared tracker. The up-to-date flag is kept
// as a generation number: marking the device stale starts a new generation,
// and every tracker rebuilds a device built in an older one.
struct ProcessState {
    std::mutex sharedMutex; // guards `shared`, held while it is made
    std::shared_ptr<DeviceTracker> shared;
    std::mutex mutex; // guards the rest
    std::shared_ptr<DeviceInfoProvider> defaultProvider;
    std::shared_ptr<WrapperSdk> wrapperSdk;
    std::optional<std::string> countryCode;
    std::uint64_t generation = 1;
};

ProcessState& process() {
    static ProcessState state;
    return state;
}

} // namespace

std::shared_ptr<DeviceTracker> DeviceTracker::sharedInstance() {
    auto& p = process();
    std::lock_guard sharedLock(p.sharedMutex);
    if (p.shared) return p.shared;
    std::shared_ptr<DeviceInfoProvider> provider;
    {
        std::lock_guard lock(p.mutex);
        provider = p.defaultProvider;
    }
    if (!provider) provider = std::make_shared<LinuxDeviceInfoProvider>();
    p.shared = std::make_shared<DeviceTracker>(BeaconUserDefaults::shared(), provider);
    return p.shared;
}

void DeviceTracker::resetSharedInstance() {
    auto& p = process();
    std::lock_guard sharedLock(p.sharedMutex);
    p.shared.reset();
    std::lock_guard lock(p.mutex);
    p.wrapperSdk.reset();
    p.countryCode.reset();
    ++p.generation;
}

void DeviceTracker::setDefaultDeviceInfoProvider(std::shared_ptr<DeviceInfoProvider> provider) {
    auto& p = process();
    std::lock_guard lock(p.mutex);
    p.defaultProvider = std::move(provider);
}

DeviceTracker::DeviceTracker(std::shared_ptr<BeaconUserDefaults> store, std::shared_ptr<DeviceInfoProvider> provider,
                             ContextClock clock)
    : store_(std::move(store)), provider_(std::move(provider)), clock_(std::move(clock)) {
    ArchiverUtil::addAllowedBeaconModuleClasses();
    history_ = history_store::load<DeviceHistoryInfo>(*store_, kHistoryKey);
    std::erase_if(history_, [](const auto& entry) { return !entry->device; });
    device();
}

std::shared_ptr<Device> DeviceTracker::device() {
    std::lock_guard lock(mutex_);
    std::uint64_t generation;
    {
        auto& p = process();
        std::lock_guard processLock(p.mutex);
        generation = p.generation;
    }
    if (device_ && deviceGeneration_ == generation) return device_;
    device_ = updatedDevice();
    deviceGeneration_ = generation;
    auto entry = std::make_shared<DeviceHistoryInfo>(clock_(), device_);
    auto at = std::upper_bound(history_.begin(), history_.end(), entry->timestamp,
                               [](Date t, const auto& e) { return t < e->timestamp; });
    history_.insert(at, entry);
    while (history_.size() > kMaxDevicesInHistory) history_.erase(history_.begin());
    persistLocked();
    return device_;
}

std::shared_ptr<Device> DeviceTracker::updatedDevice() const {
    auto device = std::make_shared<Device>(provider_ ? provider_->deviceInfo() : Device{});
    device->carrierName.reset();
    std::shared_ptr<WrapperSdk> wrapper;
    {
        auto& p = process();
        std::lock_guard processLock(p.mutex);
        device->carrierCountry = p.countryCode;
        wrapper = p.wrapperSdk;
    }
    // The wrapper fields come from the stored description only.
    static const WrapperSdk none;
    const WrapperSdk& w = wrapper ? *wrapper : none;
    device->wrapperSdkVersion = w.wrapperSdkVersion;
    device->wrapperSdkName = w.wrapperSdkName;
    device->wrapperRuntimeVersion = w.wrapperRuntimeVersion;
    device->liveUpdateReleaseLabel = w.liveUpdateReleaseLabel;
    device->liveUpdateDeploymentKey = w.liveUpdateDeploymentKey;
    device->liveUpdatePackageHash = w.liveUpdatePackageHash;
    return device;
}

std::shared_ptr<Device> DeviceTracker::deviceForTimestamp(std::optional<Date> timestamp) {
    std::lock_guard lock(mutex_);
    if (!timestamp || history_.empty()) return device();
    auto at = std::lower_bound(history_.begin(), history_.end(), *timestamp,
                               [](const auto& e, Date t) { return e->timestamp < t; });
    if (at == history_.begin()) return history_.front()->device;
    return (*std::prev(at))->device;
}

void DeviceTracker::clearDevices() {
    std::lock_guard lock(mutex_);
    if (history_.size() > 1) history_.erase(history_.begin(), std::prev(history_.end()));
    persistLocked();
}

std::vector<std::shared_ptr<DeviceHistoryInfo>> DeviceTracker::deviceHistory() const {
    std::lock_guard lock(mutex_);
    return history_;
}

void DeviceTracker::setWrapperSdk(std::shared_ptr<WrapperSdk> wrapperSdk) {
    std::lock_guard lock(mutex_);
    {
        auto& p = process();
        std::lock_guard processLock(p.mutex);
        p.wrapperSdk = std::move(wrapperSdk);
        ++p.generation;
    }
    if (!history_.empty()) history_.pop_back();
    device();
}

std::shared_ptr<WrapperSdk> DeviceTracker::wrapperSdk() {
    auto& p = process();
    std::lock_guard lock(p.mutex);
    return p.wrapperSdk;
}

void DeviceTracker::setCountryCode(std::optional<std::string> countryCode) {
    auto& p = process();
    std::lock_guard lock(p.mutex);
    p.countryCode = std::move(countryCode);
    ++p.generation;
}

std::optional<std::string> DeviceTracker::countryCode() {
    auto& p = process();
    std::lock_guard lock(p.mutex);
    return p.countryCode;
}

void DeviceTracker::refreshDeviceNextTime() {
    auto& p = process();
    std::lock_guard lock(p.mutex);
    ++p.generation;
}

void DeviceTracker::persistLocked() { history_store::save(*store_, kHistoryKey, history_); }

} // namespace beacon
