#include "beacon/core/ServiceAbstract.h"

#include "beacon/channel/ChannelGroupProtocol.h"
#include "beacon/channel/ChannelUnitProtocol.h"
#include "beacon/core/Beacon.h"
#include "beacon/util/BeaconUserDefaults.h"

namespace beacon {

std::string ServiceAbstract::isEnabledKey() const { return groupId() + "IsEnabled"; }

bool ServiceAbstract::isInstanceEnabled() const {
    const auto value = BeaconUserDefaults::shared()->objectForKey(isEnabledKey());
    return !value || value->truthy();
}

void ServiceAbstract::setInstanceEnabled(bool isEnabled) {
    std::lock_guard lock(mutex_);
    if (isEnabled == isInstanceEnabled()) return;
    applyEnabledState(isEnabled);
    BeaconUserDefaults::shared()->setObject(platform::Value(isEnabled), isEnabledKey());
}

bool ServiceAbstract::isAvailable() const {
    std::lock_guard lock(mutex_);
    return isInstanceEnabled() && started_;
}

void ServiceAbstract::applyEnabledState(bool isEnabled) {
    std::shared_ptr<ChannelUnitProtocol> unit = channelUnit();
    if (unit) unit->setEnabled(isEnabled, true);
}

void ServiceAbstract::startWithChannelGroup(std::shared_ptr<ChannelGroupProtocol> channelGroup,
                                            std::optional<std::string> appSecret,
                                            std::optional<std::string> transmissionTargetToken, bool fromApplication) {
    std::lock_guard lock(mutex_);
    startedFromApplication_ = fromApplication;
    channelGroup_ = std::move(channelGroup);
    appSecret_ = std::move(appSecret);
    defaultTransmissionTargetToken_ = std::move(transmissionTargetToken);
    started_ = true;
    if (auto configuration = channelUnitConfiguration(); configuration && channelGroup_)
        channelUnit_ = channelGroup_->addChannelUnitWithConfiguration(configuration);
    if (isInstanceEnabled()) applyEnabledState(true);
}

void ServiceAbstract::updateConfiguration(std::optional<std::string> appSecret,
                                          std::optional<std::string> transmissionTargetToken) {
    std::lock_guard lock(mutex_);
    startedFromApplication_ = true;
    appSecret_ = std::move(appSecret);
    defaultTransmissionTargetToken_ = std::move(transmissionTargetToken);
    if (isInstanceEnabled()) applyEnabledState(true);
}

bool ServiceAbstract::canBeUsed() const {
    const bool configured = Beacon::sharedInstance()->sdkConfigured();
    std::lock_guard lock(mutex_);
    if (configured && started_) return true;
    BEACON_LOG(LogLevel::Error, logTag(), serviceName(),
               " service hasn't been started. You need to call [BcnBeacon start:YOUR_APP_SECRET "
               "withServices:LIST_OF_SERVICES] first.");
    return false;
}

void ServiceAbstract::setEnabled(bool isEnabled) {
    // The telemetry's state is read before this service's lock is taken, so
    // that the two locks are never taken in the opposite order of
    // Beacon::setEnabled, which holds its own while it reaches the services.
    auto beacon = Beacon::sharedInstance();
    const bool blocked = !beacon->enabledStateUpdating() && !Beacon::isEnabled();
    std::lock_guard lock(mutex_);
    if (!canBeUsed()) return;
    if (blocked) {
        BEACON_LOG(LogLevel::Error, logTag(),
                   "The SDK is disabled. Re-enable the whole SDK from Beacon first before enabling ", serviceName(),
                   " service.");
        return;
    }
    setInstanceEnabled(isEnabled);
}

bool ServiceAbstract::isEnabled() {
    std::lock_guard lock(mutex_);
    return canBeUsed() && isInstanceEnabled();
}

bool ServiceAbstract::isStarted() const {
    std::lock_guard lock(mutex_);
    return started_;
}

bool ServiceAbstract::isStartedFromApplication() const {
    std::lock_guard lock(mutex_);
    return startedFromApplication_;
}

std::shared_ptr<ChannelGroupProtocol> ServiceAbstract::channelGroup() const {
    std::lock_guard lock(mutex_);
    return channelGroup_;
}

std::shared_ptr<ChannelUnitProtocol> ServiceAbstract::channelUnit() const {
    std::lock_guard lock(mutex_);
    return channelUnit_;
}

std::optional<std::string> ServiceAbstract::appSecret() const {
    std::lock_guard lock(mutex_);
    return appSecret_;
}

std::optional<std::string> ServiceAbstract::defaultTransmissionTargetToken() const {
    std::lock_guard lock(mutex_);
    return defaultTransmissionTargetToken_;
}

} // namespace beacon
