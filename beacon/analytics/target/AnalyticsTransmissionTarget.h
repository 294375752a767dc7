#pragma once

#include "beacon/analytics/model/EventProperties.h"
#include "beacon/channel/ChannelDelegate.h"
#include "beacon/model/LogFlags.h"
#include "beacon/util/PropertyValidation.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace beacon {

class AuthenticationProvider;
class ChannelGroupProtocol;
class PropertyConfigurator;

// Sends events to the Collector under a target token. Targets form a tree:
// a root per token from the analytics service, children from their parent.
// Each has a persisted enabled flag ("AnalyticsIsEnabled/<target key>"), a
// property configurator whose properties reach the events of the target and
// its descendants, and can be paused.
class AnalyticsTransmissionTarget : public ChannelDelegate,
                                    public std::enable_shared_from_this<AnalyticsTransmissionTarget> {
public:
    // A target registered (with its configurator) as a delegate of the group.
    static std::shared_ptr<AnalyticsTransmissionTarget> create(const std::string& token,
                                                               std::shared_ptr<AnalyticsTransmissionTarget> parent,
                                                               std::shared_ptr<ChannelGroupProtocol> channelGroup);
    ~AnalyticsTransmissionTarget() override;

    const std::string& transmissionTargetToken() const { return token_; }
    const std::string& isEnabledKey() const { return isEnabledKey_; }
    std::shared_ptr<AnalyticsTransmissionTarget> parentTarget() const { return parent_; }
    const std::shared_ptr<PropertyConfigurator>& propertyConfigurator() const { return propertyConfigurator_; }

    void trackEvent(const std::string& name);
    void trackEvent(const std::string& name, const Properties& properties, LogFlags flags = kLogFlagsNormal);
    void trackEvent(const std::string& name, const EventProperties& properties, LogFlags flags = kLogFlagsNormal);

    // The child of the token, made on first request.
    std::shared_ptr<AnalyticsTransmissionTarget> transmissionTargetForToken(const std::string& token);

    bool isEnabled() const;
    // Enabling is refused while the parent (or, for a root, the analytics
    // service) is disabled. Children always get the same value.
    void setEnabled(bool enabled);
    void pause();
    void resume();

    // The process-wide authentication provider whose tickets the Collector
    // requests of enabled targets carry. Adding one asks it for a token.
    static void addAuthenticationProvider(std::shared_ptr<AuthenticationProvider> provider);
    static std::shared_ptr<AuthenticationProvider> authenticationProvider();
    static void setAuthenticationProvider(std::shared_ptr<AuthenticationProvider> provider);

    void channelPrepareLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) override;

private:
    AnalyticsTransmissionTarget(const std::string& token, std::shared_ptr<AnalyticsTransmissionTarget> parent,
                                std::shared_ptr<ChannelGroupProtocol> channelGroup);
    bool isImmediateParentEnabled() const;

    std::shared_ptr<PropertyConfigurator> propertyConfigurator_;
    std::shared_ptr<AnalyticsTransmissionTarget> parent_;
    std::map<std::string, std::shared_ptr<AnalyticsTransmissionTarget>> children_;
    std::string isEnabledKey_;
    std::shared_ptr<ChannelGroupProtocol> channelGroup_;
    std::string token_;
};

} // namespace beacon
