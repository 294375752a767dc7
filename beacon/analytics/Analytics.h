#pragma once

#include "beacon/analytics/AnalyticsDelegate.h"
#include "beacon/analytics/model/EventProperties.h"
#include "beacon/analytics/session/SessionTracker.h"
#include "beacon/channel/ChannelDelegate.h"
#include "beacon/core/ServiceAbstract.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/LogFlags.h"
#include "beacon/util/PropertyValidation.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace beacon {

class AbstractLog;
class AnalyticsTransmissionTarget;
class LogWithNameAndProperties;

// The usage-analytics service: named events and page views become logs,
// validated and truncated, sent through the "Analytics" unit or, when marked
// critical, the "Analytics_critical" unit. It owns the session tracker and
// the transmission targets. One shared instance; every operation may be
// called from any thread.
class Analytics : public ServiceAbstract, public ChannelDelegate, public SessionTrackerDelegate {
public:
    static constexpr const char* kServiceName = "Analytics";
    static constexpr const char* kGroupId = "Analytics";
    static constexpr const char* kCriticalGroupId = "Analytics_critical";
    static constexpr const char* kCollectorGroupId = "Analytics/one";
    static constexpr const char* kCollectorCriticalGroupId = "Analytics_critical/one";
    static constexpr std::size_t kMaxEventNameLength = 256;
    static constexpr std::size_t kMaxTypedProperties = 20;
    static constexpr std::size_t kMaxTypedPropertyLength = 125;
    static constexpr std::uint32_t kMinFlushInterval = 6;
    static constexpr std::uint32_t kMaxFlushInterval = 86400;

    static std::shared_ptr<Analytics> sharedInstance();
    // Stops the session tracker and drops the instance (tests).
    static void resetSharedInstance();

    Analytics();
    ~Analytics() override;

    std::string serviceName() const override { return kServiceName; }
    std::string groupId() const override { return kGroupId; }
    std::string logTag() const override { return kAnalyticsLogTag; }
    bool isAppSecretRequired() const override { return false; }
    std::optional<ChannelUnitConfiguration> channelUnitConfiguration() const override;

    void startWithChannelGroup(std::shared_ptr<ChannelGroupProtocol> channelGroup, std::optional<std::string> appSecret,
                               std::optional<std::string> transmissionTargetToken, bool fromApplication) override;
    void updateConfiguration(std::optional<std::string> appSecret,
                             std::optional<std::string> transmissionTargetToken) override;
    void applyEnabledState(bool isEnabled) override;
    // The persisted flag, then the same value on every transmission target.
    void setInstanceEnabled(bool isEnabled) override;

    // Events. Without a target the default target (from the start token), if
    // any, is used; flags other than 1 (normal) and 2 (critical) become 1.
    void trackEvent(const std::string& name);
    void trackEvent(const std::string& name, const Properties& properties, LogFlags flags = kLogFlagsNormal);
    void trackEvent(const std::string& name, const EventProperties& properties, LogFlags flags = kLogFlagsNormal);
    void trackEvent(const std::string& name, const Properties& properties,
                    const std::shared_ptr<AnalyticsTransmissionTarget>& target, LogFlags flags);
    void trackEvent(const std::string& name, const std::shared_ptr<EventProperties>& properties,
                    const std::shared_ptr<AnalyticsTransmissionTarget>& target, LogFlags flags);
    void trackPage(const std::string& name, const Properties& properties = {});

    void pause();
    void resume();
    void startSession();
    void enableManualSessionTracker();
    void setAutoPageTrackingEnabled(bool enabled);
    bool isAutoPageTrackingEnabled() const;
    // Seconds between sends of the normal unit: 6 to 86400, before start only.
    std::uint32_t transmissionInterval() const;
    void setTransmissionInterval(std::uint32_t seconds);

    std::shared_ptr<AnalyticsTransmissionTarget> transmissionTargetForToken(const std::string& token);
    std::shared_ptr<AnalyticsTransmissionTarget> defaultTransmissionTarget() const;
    void pauseTransmissionTargetForToken(const std::string& token);
    void resumeTransmissionTargetForToken(const std::string& token);

    void setDelegate(std::shared_ptr<AnalyticsDelegate> delegate);

    std::shared_ptr<SessionTracker> sessionTracker() const { return sessionTracker_; }
    std::shared_ptr<ChannelUnitProtocol> criticalChannelUnit() const;
    // The service's lock, shared with its targets and their configurators.
    std::recursive_mutex& lock() const { return mutex_; }

    // Validation (also used by tests).
    static LogFlags normalizedFlags(LogFlags flags);
    static std::shared_ptr<EventProperties> validateBeaconEventProperties(const EventProperties& properties);
    static std::shared_ptr<TypedProperty> validateBeaconTypedProperty(const TypedProperty& property);
    // The name cut to 256 characters; nothing (and an error) when empty.
    static std::optional<std::string> validateEventName(const std::optional<std::string>& name,
                                                        const std::string& logType);
    static bool validateLog(LogWithNameAndProperties& log);

    // ChannelDelegate.
    bool channelUnitShouldFilterLog(ChannelUnitProtocol& channelUnit, const std::shared_ptr<AbstractLog>& log) override;
    void channelWillSendLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) override;
    void channelDidSucceedSendingLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) override;
    void channelDidFailSendingLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                                  const std::optional<Error>& error) override;

    // SessionTrackerDelegate: start-session logs go out as normal logs.
    void sessionTrackerProcessLog(SessionTracker& tracker, std::shared_ptr<AbstractLog> log) override;

private:
    std::shared_ptr<AnalyticsTransmissionTarget> createTransmissionTargetForToken(const std::string& token);
    void sendLog(const std::shared_ptr<AbstractLog>& log, LogFlags flags);
    std::shared_ptr<ChannelDelegate> asChannelDelegate();
    std::shared_ptr<const void> asIdentifyingObject();
    void resolveCollectorUnits();
    std::shared_ptr<AnalyticsDelegate> currentDelegate() const;

    bool autoPageTrackingEnabled_ = false;
    std::shared_ptr<SessionTracker> sessionTracker_;
    std::shared_ptr<AnalyticsDelegate> delegate_;
    std::uint32_t flushInterval_ = ChannelUnitConfiguration::kDefaultFlushInterval;
    std::map<std::string, std::shared_ptr<AnalyticsTransmissionTarget>> transmissionTargets_;
    std::shared_ptr<AnalyticsTransmissionTarget> defaultTransmissionTarget_;
    std::shared_ptr<ChannelUnitProtocol> collectorChannelUnit_;
    std::shared_ptr<ChannelUnitProtocol> collectorCriticalChannelUnit_;
    std::shared_ptr<ChannelUnitProtocol> criticalChannelUnit_;
};

} // namespace beacon
