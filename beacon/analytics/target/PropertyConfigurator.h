#pragma once

#include "beacon/analytics/model/EventProperties.h"
#include "beacon/channel/ChannelDelegate.h"

#include <memory>
#include <optional>
#include <string>

namespace beacon {

class AnalyticsTransmissionTarget;

// The common properties and application fields of one transmission target:
// its event properties join the events of the target and its descendants
// (the nearest target's value wins, the event's own value wins over all);
// its application version, name, locale and user id are stamped on the
// target's common-schema logs, the nearest target that has one giving it.
class PropertyConfigurator : public ChannelDelegate {
public:
    explicit PropertyConfigurator(std::weak_ptr<AnalyticsTransmissionTarget> target);

    void setAppVersion(std::optional<std::string> appVersion);
    void setAppName(std::optional<std::string> appName);
    void setAppLocale(std::optional<std::string> appLocale);
    // Only a user id valid for the Collector is kept, with its "c:" prefix.
    void setUserId(const std::optional<std::string>& userId);

    void setEventPropertyString(const std::optional<std::string>& value, const std::optional<std::string>& key);
    void setEventPropertyDouble(double value, const std::optional<std::string>& key);
    void setEventPropertyInt64(std::int64_t value, const std::optional<std::string>& key);
    void setEventPropertyBool(bool value, const std::optional<std::string>& key);
    void setEventPropertyDate(const std::optional<Date>& value, const std::optional<std::string>& key);
    void removeEventPropertyForKey(const std::optional<std::string>& key);

    // Stamps the machine's identifier on this target's logs (off by default).
    void collectDeviceId();
    // Adds this configurator's properties whose names `properties` lacks.
    void mergeTypedPropertiesWith(EventProperties& properties) const;
    // "u:" and a stable machine identifier (the D-Bus machine id).
    static std::optional<std::string> getDeviceIdentifier();

    std::optional<std::string> appVersion() const;
    std::optional<std::string> appName() const;
    std::optional<std::string> appLocale() const;
    std::optional<std::string> userId() const;
    std::optional<std::string> deviceId() const;

    void channelPrepareLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) override;

private:
    std::optional<std::string> appVersion_;
    std::optional<std::string> appName_;
    std::optional<std::string> appLocale_;
    std::optional<std::string> userId_;
    std::weak_ptr<AnalyticsTransmissionTarget> target_;
    EventProperties eventProperties_;
    std::optional<std::string> deviceId_;
};

} // namespace beacon
