#include "beacon/analytics/target/PropertyConfigurator.h"

#include "beacon/analytics/Analytics.h"
#include "beacon/analytics/target/AnalyticsTransmissionTarget.h"
#include "beacon/context/UserIdContext.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/CommonSchemaLog.h"

#include <fstream>

namespace beacon {

namespace {
std::recursive_mutex& analyticsLock() { return Analytics::sharedInstance()->lock(); }

// The first value the walk from `target` up through its parents finds.
template <typename Getter>
std::optional<std::string> nearest(std::shared_ptr<AnalyticsTransmissionTarget> target, Getter get) {
    for (; target; target = target->parentTarget())
        if (auto value = get(*target->propertyConfigurator())) return value;
    return std::nullopt;
}
} // namespace

PropertyConfigurator::PropertyConfigurator(std::weak_ptr<AnalyticsTransmissionTarget> target)
    : target_(std::move(target)) {}

void PropertyConfigurator::setAppVersion(std::optional<std::string> appVersion) {
    std::lock_guard lock(analyticsLock());
    appVersion_ = std::move(appVersion);
}

void PropertyConfigurator::setAppName(std::optional<std::string> appName) {
    std::lock_guard lock(analyticsLock());
    appName_ = std::move(appName);
}

void PropertyConfigurator::setAppLocale(std::optional<std::string> appLocale) {
    std::lock_guard lock(analyticsLock());
    appLocale_ = std::move(appLocale);
}

void PropertyConfigurator::setUserId(const std::optional<std::string>& userId) {
    if (!UserIdContext::isUserIdValidForCollector(userId)) return;
    std::lock_guard lock(analyticsLock());
    userId_ = UserIdContext::prefixedUserIdFromUserId(userId);
}

void PropertyConfigurator::setEventPropertyString(const std::optional<std::string>& value,
                                                  const std::optional<std::string>& key) {
    std::lock_guard lock(analyticsLock());
    eventProperties_.setString(value, key);
}

void PropertyConfigurator::setEventPropertyDouble(double value, const std::optional<std::string>& key) {
    std::lock_guard lock(analyticsLock());
    eventProperties_.setDouble(value, key);
}

void PropertyConfigurator::setEventPropertyInt64(std::int64_t value, const std::optional<std::string>& key) {
    std::lock_guard lock(analyticsLock());
    eventProperties_.setInt64(value, key);
}

void PropertyConfigurator::setEventPropertyBool(bool value, const std::optional<std::string>& key) {
    std::lock_guard lock(analyticsLock());
    eventProperties_.setBool(value, key);
}

void PropertyConfigurator::setEventPropertyDate(const std::optional<Date>& value,
                                                const std::optional<std::string>& key) {
    std::lock_guard lock(analyticsLock());
    eventProperties_.setDate(value, key);
}

void PropertyConfigurator::removeEventPropertyForKey(const std::optional<std::string>& key) {
    if (!key) {
        BEACON_ANALYTICS_LOG_ERROR("Event property key to remove cannot be nil.");
        return;
    }
    std::lock_guard lock(analyticsLock());
    eventProperties_.removeProperty(*key);
}

void PropertyConfigurator::collectDeviceId() {
    auto id = getDeviceIdentifier();
    std::lock_guard lock(analyticsLock());
    deviceId_ = std::move(id);
}

std::optional<std::string> PropertyConfigurator::getDeviceIdentifier() {
    for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        std::ifstream file(path);
        std::string id;
        if (file >> id && !id.empty()) return "u:" + id;
    }
    return std::nullopt;
}

void PropertyConfigurator::mergeTypedPropertiesWith(EventProperties& properties) const {
    std::lock_guard lock(analyticsLock());
    properties.mergeMissing(eventProperties_);
}

std::optional<std::string> PropertyConfigurator::appVersion() const {
    std::lock_guard lock(analyticsLock());
    return appVersion_;
}
std::optional<std::string> PropertyConfigurator::appName() const {
    std::lock_guard lock(analyticsLock());
    return appName_;
}
std::optional<std::string> PropertyConfigurator::appLocale() const {
    std::lock_guard lock(analyticsLock());
    return appLocale_;
}
std::optional<std::string> PropertyConfigurator::userId() const {
    std::lock_guard lock(analyticsLock());
    return userId_;
}
std::optional<std::string> PropertyConfigurator::deviceId() const {
    std::lock_guard lock(analyticsLock());
    return deviceId_;
}

void PropertyConfigurator::channelPrepareLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>& log) {
    auto csLog = std::dynamic_pointer_cast<CommonSchemaLog>(log);
    auto target = target_.lock();
    if (!csLog || !target || csLog->tag != target || !target->isEnabled()) return;
    if (!csLog->ext) csLog->ext = std::make_shared<CSExtensions>();
    auto& ext = *csLog->ext;
    if (auto version = nearest(target, [](const PropertyConfigurator& c) { return c.appVersion(); })) {
        if (!ext.appExt) ext.appExt = std::make_shared<AppExtension>();
        ext.appExt->ver = version;
    }
    if (auto name = nearest(target, [](const PropertyConfigurator& c) { return c.appName(); })) {
        if (!ext.appExt) ext.appExt = std::make_shared<AppExtension>();
        ext.appExt->name = name;
    }
    if (auto locale = nearest(target, [](const PropertyConfigurator& c) { return c.appLocale(); })) {
        if (!ext.appExt) ext.appExt = std::make_shared<AppExtension>();
        ext.appExt->locale = locale;
    }
    if (auto user = nearest(target, [](const PropertyConfigurator& c) { return c.userId(); })) {
        if (!ext.userExt) ext.userExt = std::make_shared<UserExtension>();
        ext.userExt->localId = user;
    }
    if (!ext.deviceExt) ext.deviceExt = std::make_shared<DeviceExtension>();
    ext.deviceExt->localId = deviceId();
}

} // namespace beacon
