#pragma once

#include "beacon/channel/ChannelUnitConfiguration.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace beacon {

class ChannelGroupProtocol;
class ChannelUnitProtocol;

// The base of every telemetry service (analytics, crash reporting). It owns
// the service's life cycle: whether it was started (and from the
// application), its persisted enabled flag "<group id>IsEnabled" and its
// channel unit. Each service is one shared instance; Beacon starts it.
//
// Two levels of enabling, as the service's users see them:
// - setEnabled / isEnabled: the public switch. Refused (with an error line)
//   before the service started, and while the whole telemetry is disabled.
// - setInstanceEnabled / isInstanceEnabled: the persisted flag itself;
//   changing it applies the new state first (applyEnabledState), then stores it.
class ServiceAbstract : public std::enable_shared_from_this<ServiceAbstract> {
public:
    static constexpr int kDefaultInitializationPriority = 500;

    virtual ~ServiceAbstract() = default;

    // "Analytics", "Crashes": the name in start-service logs and BEACON_DISABLE.
    virtual std::string serviceName() const = 0;
    // The log group of the service's channel unit (usually the service name).
    virtual std::string groupId() const = 0;
    // The diagnostic log tag ("BeaconAnalytics", "BeaconCrashes").
    virtual std::string logTag() const = 0;
    // Services start from the highest priority down.
    virtual int initializationPriority() const { return kDefaultInitializationPriority; }
    virtual bool isAppSecretRequired() const { return true; }
    // A service that answers a configuration gets its own channel unit at start.
    virtual std::optional<ChannelUnitConfiguration> channelUnitConfiguration() const { return std::nullopt; }

    // Turns the service's channel unit on, or off with deletion of its
    // pending logs. Subclasses extend it and call this base.
    virtual void applyEnabledState(bool isEnabled);
    virtual void startWithChannelGroup(std::shared_ptr<ChannelGroupProtocol> channelGroup,
                                       std::optional<std::string> appSecret,
                                       std::optional<std::string> transmissionTargetToken, bool fromApplication);
    virtual void updateConfiguration(std::optional<std::string> appSecret,
                                     std::optional<std::string> transmissionTargetToken);

    // The public switch (see above).
    void setEnabled(bool isEnabled);
    bool isEnabled();

    // The persisted flag (true when absent).
    bool isInstanceEnabled() const;
    void setInstanceEnabled(bool isEnabled);
    // Enabled and started.
    bool isAvailable() const;
    // The telemetry was configured and this service started; else an error line.
    bool canBeUsed() const;

    bool isStarted() const;
    bool isStartedFromApplication() const;
    std::shared_ptr<ChannelGroupProtocol> channelGroup() const;
    std::shared_ptr<ChannelUnitProtocol> channelUnit() const;
    std::optional<std::string> appSecret() const;
    std::optional<std::string> defaultTransmissionTargetToken() const;
    // "<group id>IsEnabled".
    std::string isEnabledKey() const;

protected:
    ServiceAbstract() = default;

    // Guards the service's state; subclasses use it for theirs.
    mutable std::recursive_mutex mutex_;

private:
    bool startedFromApplication_ = false;
    bool started_ = false;
    std::shared_ptr<ChannelGroupProtocol> channelGroup_;
    std::shared_ptr<ChannelUnitProtocol> channelUnit_;
    std::optional<std::string> appSecret_;
    std::optional<std::string> defaultTransmissionTargetToken_;
};

} // namespace beacon
