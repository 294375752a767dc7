#include "beacon/analytics/Analytics.h"

#include "beacon/analytics/model/EventLog.h"
#include "beacon/analytics/model/LogWithNameAndProperties.h"
#include "beacon/analytics/session/StartSessionLog.h"
#include "beacon/analytics/target/AnalyticsTransmissionTarget.h"
#include "beacon/archive/ArchiverUtil.h"
#include "beacon/channel/ChannelGroupProtocol.h"
#include "beacon/channel/ChannelUnitProtocol.h"
#include "beacon/context/SessionContext.h"
#include "beacon/context/UserIdContext.h"
#include "beacon/crashes/model/UuidText.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/BooleanTypedProperty.h"
#include "beacon/model/DateTimeTypedProperty.h"
#include "beacon/model/DoubleTypedProperty.h"
#include "beacon/model/LongTypedProperty.h"
#include "beacon/model/StringTypedProperty.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/SecretStrings.h"

#include <mutex>

namespace beacon {

namespace {
std::mutex sharedMutex;
std::shared_ptr<Analytics> sharedAnalytics;

void registerArchiveClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        ArchiverUtil::addAllowedBeaconModuleClasses();
        ArchiverUtil::addAllowedClasses({
            ArchiveClass::of<EventLog>(),
            ArchiveClass::of<PageLog>(),
            ArchiveClass::of<EventProperties>(),
            ArchiveClass::of<LogWithNameAndProperties>(),
            ArchiveClass::of<StartSessionLog>(),
        });
    });
}

template <typename P> std::shared_ptr<TypedProperty> copyAs(const P& source) { return std::make_shared<P>(source); }
} // namespace

std::shared_ptr<Analytics> Analytics::sharedInstance() {
    std::lock_guard lock(sharedMutex);
    if (!sharedAnalytics) sharedAnalytics = std::make_shared<Analytics>();
    return sharedAnalytics;
}

void Analytics::resetSharedInstance() {
    std::shared_ptr<Analytics> old;
    {
        std::lock_guard lock(sharedMutex);
        old.swap(sharedAnalytics);
    }
    if (old) old->sessionTracker_->stop();
}

Analytics::Analytics() {
    BeaconUserDefaults::shared()->migrateKeys(
        {{BeaconUserDefaults::getBeaconKeyFrom("AnalyticsIsEnabled"),
          UserDefaultsPrefixKey("kZvAnalyticsIsEnabledKey")},
         {BeaconUserDefaults::getBeaconKeyFrom(SessionTracker::kPastSessionsKey), std::string("pastSessionsKey")}},
        kServiceName);
    registerArchiveClasses();
    sessionTracker_ = std::make_shared<SessionTracker>();
    sessionTracker_->setDelegate(this);
}

Analytics::~Analytics() { sessionTracker_->setDelegate(nullptr); }

std::optional<ChannelUnitConfiguration> Analytics::channelUnitConfiguration() const {
    std::lock_guard lock(mutex_);
    return ChannelUnitConfiguration::defaultConfiguration(kGroupId, flushInterval_);
}

void Analytics::startWithChannelGroup(std::shared_ptr<ChannelGroupProtocol> channelGroup,
                                      std::optional<std::string> appSecret,
                                      std::optional<std::string> transmissionTargetToken, bool fromApplication) {
    std::lock_guard lock(mutex_);
    ServiceAbstract::startWithChannelGroup(channelGroup, appSecret, transmissionTargetToken, fromApplication);
    if (transmissionTargetToken)
        defaultTransmissionTarget_ = createTransmissionTargetForToken(*transmissionTargetToken);
    criticalChannelUnit_ =
        channelGroup->addChannelUnitWithConfiguration(ChannelUnitConfiguration::defaultConfiguration(kCriticalGroupId));
    BEACON_ANALYTICS_LOG_VERBOSE("Started Analytics service.");
}

void Analytics::updateConfiguration(std::optional<std::string> appSecret,
                                    std::optional<std::string> transmissionTargetToken) {
    std::lock_guard lock(mutex_);
    ServiceAbstract::updateConfiguration(appSecret, transmissionTargetToken);
    if (transmissionTargetToken && !defaultTransmissionTarget_)
        defaultTransmissionTarget_ = createTransmissionTargetForToken(*transmissionTargetToken);
}

void Analytics::applyEnabledState(bool isEnabled) {
    std::lock_guard lock(mutex_);
    ServiceAbstract::applyEnabledState(isEnabled);
    if (criticalChannelUnit_) criticalChannelUnit_->setEnabled(isEnabled, true);
    if (!isStartedFromApplication()) return;
    auto group = channelGroup();
    if (isEnabled) {
        resume();
        sessionTracker_->start();
        group->addDelegate(sessionTracker_);
        group->addDelegate(asChannelDelegate());
        BEACON_ANALYTICS_LOG_INFO("Analytics service has been enabled.");
    } else {
        group->removeDelegate(sessionTracker_);
        group->removeDelegate(asChannelDelegate());
        sessionTracker_->stop();
        SessionContext::sharedInstance()->clearSessionHistoryAndKeepCurrentSession(false);
        BEACON_ANALYTICS_LOG_INFO("Analytics service has been disabled.");
    }
}

void Analytics::setInstanceEnabled(bool isEnabled) {
    std::lock_guard lock(mutex_);
    ServiceAbstract::setInstanceEnabled(isEnabled);
    for (auto& [token, target] : transmissionTargets_) target->setEnabled(isEnabled);
    if (defaultTransmissionTarget_) defaultTransmissionTarget_->setEnabled(isEnabled);
}

void Analytics::trackEvent(const std::string& name) { trackEvent(name, Properties{}); }

void Analytics::trackEvent(const std::string& name, const Properties& properties, LogFlags flags) {
    trackEvent(name, properties, nullptr, flags);
}

void Analytics::trackEvent(const std::string& name, const EventProperties& properties, LogFlags flags) {
    trackEvent(name, std::make_shared<EventProperties>(properties), nullptr, flags);
}

void Analytics::trackEvent(const std::string& name, const Properties& properties,
                           const std::shared_ptr<AnalyticsTransmissionTarget>& target, LogFlags flags) {
    trackEvent(name, std::make_shared<EventProperties>(properties), target, flags);
}

void Analytics::trackEvent(const std::string& name, const std::shared_ptr<EventProperties>& properties,
                           const std::shared_ptr<AnalyticsTransmissionTarget>& givenTarget, LogFlags flags) {
    std::lock_guard lock(mutex_);
    if (!canBeUsed() || !isInstanceEnabled()) return;
    auto target = givenTarget ? givenTarget : defaultTransmissionTarget_;
    flags = normalizedFlags(flags);
    auto log = std::make_shared<EventLog>();
    std::shared_ptr<EventProperties> typed = properties;
    if (target) {
        if (!target->isEnabled()) {
            BEACON_ANALYTICS_LOG_ERROR("This transmission target is disabled.");
            return;
        }
        log->addTransmissionTargetToken(target->transmissionTargetToken());
        log->tag = target;
        if (target == defaultTransmissionTarget_) log->userId = UserIdContext::sharedInstance()->userId();
    } else if (properties) {
        typed = validateBeaconEventProperties(*properties);
    }
    log->name = name;
    log->eventId = uuid_text::random();
    log->typedProperties = typed && !typed->isEmpty() ? typed : nullptr;
    sendLog(log, flags);
}

void Analytics::trackPage(const std::string& name, const Properties& properties) {
    std::lock_guard lock(mutex_);
    if (!canBeUsed() || !isInstanceEnabled()) return;
    auto log = std::make_shared<PageLog>();
    log->name = name;
    if (!properties.empty()) log->properties = properties;
    sendLog(log, kLogFlagsNormal);
}

void Analytics::sendLog(const std::shared_ptr<AbstractLog>& log, LogFlags flags) {
    auto unit = (flags & kLogFlagsCritical) ? criticalChannelUnit() : channelUnit();
    if (unit) unit->enqueueItem(log, flags);
}

LogFlags Analytics::normalizedFlags(LogFlags flags) {
    const LogFlags persistence = flags & kLogFlagsPersistenceMask;
    if (persistence == kLogFlagsNormal || persistence == kLogFlagsCritical) return flags;
    BEACON_ANALYTICS_LOG_WARNING("Invalid flags (", flags, ") received, using normal as a default.");
    return kLogFlagsNormal;
}

std::shared_ptr<EventProperties> Analytics::validateBeaconEventProperties(const EventProperties& properties) {
    auto result = std::make_shared<EventProperties>();
    for (const auto& property : properties.properties()) {
        if (result->count() >= kMaxTypedProperties) {
            BEACON_ANALYTICS_LOG_WARNING("Typed properties cannot contain more than ", kMaxTypedProperties,
                                         " items. Skipping other properties.");
            break;
        }
        if (auto valid = validateBeaconTypedProperty(*property)) result->setProperty(std::move(valid));
    }
    return result;
}

std::shared_ptr<TypedProperty> Analytics::validateBeaconTypedProperty(const TypedProperty& property) {
    std::shared_ptr<TypedProperty> copy;
    if (auto* s = dynamic_cast<const StringTypedProperty*>(&property)) {
        auto string = std::make_shared<StringTypedProperty>(*s);
        if (string->value && utf8Length(*string->value) > kMaxTypedPropertyLength) {
            BEACON_ANALYTICS_LOG_WARNING("Typed property value length cannot exceed ", kMaxTypedPropertyLength,
                                         " characters. Property value will be truncated.");
            string->value = truncateUtf8(*string->value, kMaxTypedPropertyLength - 1);
        }
        copy = string;
    } else if (auto* b = dynamic_cast<const BooleanTypedProperty*>(&property)) {
        copy = copyAs(*b);
    } else if (auto* l = dynamic_cast<const LongTypedProperty*>(&property)) {
        copy = copyAs(*l);
    } else if (auto* d = dynamic_cast<const DoubleTypedProperty*>(&property)) {
        copy = copyAs(*d);
    } else if (auto* t = dynamic_cast<const DateTimeTypedProperty*>(&property)) {
        copy = copyAs(*t);
    } else {
        return nullptr;
    }
    const std::string name = property.name.value_or("");
    if (utf8Length(name) > kMaxTypedPropertyLength) {
        BEACON_ANALYTICS_LOG_WARNING("Typed property '", name, "': key length cannot exceed ", kMaxTypedPropertyLength,
                                     " characters. Property value will be truncated.");
        copy->name = truncateUtf8(name, kMaxTypedPropertyLength - 1);
    }
    return copy;
}

std::optional<std::string> Analytics::validateEventName(const std::optional<std::string>& name,
                                                        const std::string& logType) {
    if (!name || name->empty()) {
        BEACON_ANALYTICS_LOG_ERROR(logType, " name cannot be null or empty");
        return std::nullopt;
    }
    if (utf8Length(*name) > kMaxEventNameLength) {
        BEACON_ANALYTICS_LOG_WARNING(logType, " '", *name, "' : name length cannot be longer than ",
                                     kMaxEventNameLength, " characters. Name will be truncated.");
        return truncateUtf8(*name, kMaxEventNameLength);
    }
    return name;
}

bool Analytics::validateLog(LogWithNameAndProperties& log) {
    const std::string type = log.type.value_or("");
    auto name = validateEventName(log.name, type);
    if (!name) return false;
    log.name = name;
    if (log.properties) log.properties = validateProperties(*log.properties, *name, type);
    return true;
}

void Analytics::pause() {
    std::lock_guard lock(mutex_);
    if (!canBeUsed()) return;
    if (auto unit = channelUnit()) unit->pauseWithIdentifyingObject(asIdentifyingObject());
    if (criticalChannelUnit_) criticalChannelUnit_->pauseWithIdentifyingObject(asIdentifyingObject());
}

void Analytics::resume() {
    std::lock_guard lock(mutex_);
    if (!canBeUsed()) return;
    if (auto unit = channelUnit()) unit->resumeWithIdentifyingObject(asIdentifyingObject());
    if (criticalChannelUnit_) criticalChannelUnit_->resumeWithIdentifyingObject(asIdentifyingObject());
}

void Analytics::startSession() { sessionTracker_->startSession(); }
void Analytics::enableManualSessionTracker() { sessionTracker_->enableManualSessionTracker(); }

void Analytics::setAutoPageTrackingEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    autoPageTrackingEnabled_ = enabled;
}

bool Analytics::isAutoPageTrackingEnabled() const {
    std::lock_guard lock(mutex_);
    return autoPageTrackingEnabled_;
}

std::uint32_t Analytics::transmissionInterval() const {
    std::lock_guard lock(mutex_);
    return flushInterval_;
}

void Analytics::setTransmissionInterval(std::uint32_t seconds) {
    std::lock_guard lock(mutex_);
    if (isStarted()) {
        BEACON_ANALYTICS_LOG_ERROR(
            "The transmission interval should be set before the BcnAnalytics service is started.");
        return;
    }
    if (seconds < kMinFlushInterval || seconds > kMaxFlushInterval) {
        BEACON_ANALYTICS_LOG_ERROR("The transmission interval is not valid, it should be between ", kMinFlushInterval,
                                   " second(s) and ", kMaxFlushInterval, " second(s) (", kMaxFlushInterval / 86400,
                                   " day).");
        return;
    }
    flushInterval_ = seconds;
    BEACON_ANALYTICS_LOG_DEBUG("Transmission interval set to ", seconds, " second(s)");
}

std::shared_ptr<AnalyticsTransmissionTarget> Analytics::transmissionTargetForToken(const std::string& token) {
    std::lock_guard lock(mutex_);
    auto it = transmissionTargets_.find(token);
    if (it != transmissionTargets_.end()) {
        BEACON_ANALYTICS_LOG_DEBUG("Returning transmission target found with id ",
                                   targetKeyFromTargetToken(token).value_or(""), ".");
        return it->second;
    }
    auto target = createTransmissionTargetForToken(token);
    transmissionTargets_[token] = target;
    return target;
}

std::shared_ptr<AnalyticsTransmissionTarget> Analytics::defaultTransmissionTarget() const {
    std::lock_guard lock(mutex_);
    return defaultTransmissionTarget_;
}

std::shared_ptr<AnalyticsTransmissionTarget> Analytics::createTransmissionTargetForToken(const std::string& token) {
    auto target = AnalyticsTransmissionTarget::create(token, nullptr, channelGroup());
    BEACON_ANALYTICS_LOG_DEBUG("Created transmission target with target key ",
                               targetKeyFromTargetToken(token).value_or(""), ".");
    return target;
}

void Analytics::resolveCollectorUnits() {
    auto group = channelGroup();
    if (!group) return;
    if (!collectorChannelUnit_) collectorChannelUnit_ = group->channelUnitForGroupId(kCollectorGroupId);
    if (!collectorCriticalChannelUnit_)
        collectorCriticalChannelUnit_ = group->channelUnitForGroupId(kCollectorCriticalGroupId);
}

void Analytics::pauseTransmissionTargetForToken(const std::string& token) {
    std::lock_guard lock(mutex_);
    resolveCollectorUnits();
    if (collectorChannelUnit_) collectorChannelUnit_->pauseSendingLogsWithToken(token);
    if (collectorCriticalChannelUnit_) collectorCriticalChannelUnit_->pauseSendingLogsWithToken(token);
}

void Analytics::resumeTransmissionTargetForToken(const std::string& token) {
    std::lock_guard lock(mutex_);
    resolveCollectorUnits();
    if (collectorChannelUnit_) collectorChannelUnit_->resumeSendingLogsWithToken(token);
    if (collectorCriticalChannelUnit_) collectorCriticalChannelUnit_->resumeSendingLogsWithToken(token);
}

void Analytics::setDelegate(std::shared_ptr<AnalyticsDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<ChannelUnitProtocol> Analytics::criticalChannelUnit() const {
    std::lock_guard lock(mutex_);
    return criticalChannelUnit_;
}

std::shared_ptr<ChannelDelegate> Analytics::asChannelDelegate() {
    return std::shared_ptr<ChannelDelegate>(shared_from_this(), static_cast<ChannelDelegate*>(this));
}

std::shared_ptr<const void> Analytics::asIdentifyingObject() { return shared_from_this(); }

std::shared_ptr<AnalyticsDelegate> Analytics::currentDelegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

bool Analytics::channelUnitShouldFilterLog(ChannelUnitProtocol&, const std::shared_ptr<AbstractLog>& log) {
    if (auto* named = dynamic_cast<LogWithNameAndProperties*>(log.get());
        named && (dynamic_cast<EventLog*>(named) || dynamic_cast<PageLog*>(named)))
        return !validateLog(*named);
    return false;
}

namespace {
template <typename OnEvent, typename OnPage>
void forward(const std::shared_ptr<AnalyticsDelegate>& delegate, const std::shared_ptr<AbstractLog>& log,
             OnEvent onEvent, OnPage onPage) {
    if (!delegate) return;
    if (auto event = std::dynamic_pointer_cast<EventLog>(log)) onEvent(*delegate, event);
    else if (auto page = std::dynamic_pointer_cast<PageLog>(log)) onPage(*delegate, page);
}
} // namespace

void Analytics::channelWillSendLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>& log) {
    auto delegate = currentDelegate();
    forward(
        delegate, log, [this](auto& d, auto& e) { d.willSendEventLog(*this, e); },
        [this](auto& d, auto& p) { d.willSendPageLog(*this, p); });
}

void Analytics::channelDidSucceedSendingLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>& log) {
    auto delegate = currentDelegate();
    forward(
        delegate, log, [this](auto& d, auto& e) { d.didSucceedSendingEventLog(*this, e); },
        [this](auto& d, auto& p) { d.didSucceedSendingPageLog(*this, p); });
}

void Analytics::channelDidFailSendingLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>& log,
                                         const std::optional<Error>& error) {
    auto delegate = currentDelegate();
    forward(
        delegate, log, [&](auto& d, auto& e) { d.didFailSendingEventLog(*this, e, error); },
        [&](auto& d, auto& p) { d.didFailSendingPageLog(*this, p, error); });
}

void Analytics::sessionTrackerProcessLog(SessionTracker&, std::shared_ptr<AbstractLog> log) {
    sendLog(log, kLogFlagsNormal);
}

} // namespace beacon
