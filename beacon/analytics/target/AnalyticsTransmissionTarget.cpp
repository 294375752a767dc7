#include "beacon/analytics/target/AnalyticsTransmissionTarget.h"

#include "beacon/analytics/Analytics.h"
#include "beacon/analytics/target/AuthenticationProvider.h"
#include "beacon/analytics/target/PropertyConfigurator.h"
#include "beacon/channel/ChannelGroupProtocol.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/CommonSchemaLog.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/SecretStrings.h"

namespace beacon {

namespace {
std::mutex providerMutex;
std::shared_ptr<AuthenticationProvider> sharedProvider;

std::shared_ptr<Analytics> analytics() { return Analytics::sharedInstance(); }
} // namespace

AnalyticsTransmissionTarget::AnalyticsTransmissionTarget(const std::string& token,
                                                         std::shared_ptr<AnalyticsTransmissionTarget> parent,
                                                         std::shared_ptr<ChannelGroupProtocol> channelGroup)
    : parent_(std::move(parent)),
      isEnabledKey_(analytics()->isEnabledKey() + "/" + targetKeyFromTargetToken(token).value_or("")),
      channelGroup_(std::move(channelGroup)), token_(token) {}

AnalyticsTransmissionTarget::~AnalyticsTransmissionTarget() = default;

std::shared_ptr<AnalyticsTransmissionTarget>
AnalyticsTransmissionTarget::create(const std::string& token, std::shared_ptr<AnalyticsTransmissionTarget> parent,
                                    std::shared_ptr<ChannelGroupProtocol> channelGroup) {
    std::shared_ptr<AnalyticsTransmissionTarget> target(
        new AnalyticsTransmissionTarget(token, std::move(parent), std::move(channelGroup)));
    target->propertyConfigurator_ = std::make_shared<PropertyConfigurator>(target);
    if (!target->isImmediateParentEnabled())
        BeaconUserDefaults::shared()->setObject(platform::Value(false), target->isEnabledKey_);
    if (target->channelGroup_) {
        target->channelGroup_->addDelegate(target->propertyConfigurator_);
        target->channelGroup_->addDelegate(target);
    }
    return target;
}

bool AnalyticsTransmissionTarget::isImmediateParentEnabled() const {
    return parent_ ? parent_->isEnabled() : analytics()->isEnabled();
}

bool AnalyticsTransmissionTarget::isEnabled() const {
    std::lock_guard lock(analytics()->lock());
    auto value = BeaconUserDefaults::shared()->objectForKey(isEnabledKey_);
    return !value || value->truthy();
}

void AnalyticsTransmissionTarget::setEnabled(bool enabled) {
    std::map<std::string, std::shared_ptr<AnalyticsTransmissionTarget>> children;
    {
        std::lock_guard lock(analytics()->lock());
        if (enabled != isEnabled()) {
            if (enabled && !isImmediateParentEnabled()) {
                BEACON_ANALYTICS_LOG_WARNING(
                    "Can't enable; parent transmission target and/or Analytics service is disabled.");
                return;
            }
            BeaconUserDefaults::shared()->setObject(platform::Value(enabled), isEnabledKey_);
            if (enabled) resume();
        }
        children = children_;
    }
    for (auto& [token, child] : children) child->setEnabled(enabled);
}

void AnalyticsTransmissionTarget::pause() {
    if (!isEnabled()) {
        BEACON_ANALYTICS_LOG_ERROR("This transmission target is disabled.");
        return;
    }
    analytics()->pauseTransmissionTargetForToken(token_);
}

void AnalyticsTransmissionTarget::resume() {
    if (!isEnabled()) {
        BEACON_ANALYTICS_LOG_ERROR("This transmission target is disabled.");
        return;
    }
    analytics()->resumeTransmissionTargetForToken(token_);
}

std::shared_ptr<AnalyticsTransmissionTarget>
AnalyticsTransmissionTarget::transmissionTargetForToken(const std::string& token) {
    std::lock_guard lock(analytics()->lock());
    auto& child = children_[token];
    if (!child) child = create(token, shared_from_this(), channelGroup_);
    return child;
}

void AnalyticsTransmissionTarget::trackEvent(const std::string& name) { trackEvent(name, EventProperties{}); }

void AnalyticsTransmissionTarget::trackEvent(const std::string& name, const Properties& properties, LogFlags flags) {
    EventProperties typed;
    for (const auto& [key, value] : properties) typed.setString(value, key);
    trackEvent(name, typed, flags);
}

void AnalyticsTransmissionTarget::trackEvent(const std::string& name, const EventProperties& properties,
                                             LogFlags flags) {
    auto merged = std::make_shared<EventProperties>();
    for (auto target = shared_from_this(); target; target = target->parent_)
        target->propertyConfigurator_->mergeTypedPropertiesWith(*merged);
    merged->mergeEventProperties(properties);
    analytics()->trackEvent(name, merged->isEmpty() ? nullptr : merged, shared_from_this(), flags);
}

void AnalyticsTransmissionTarget::addAuthenticationProvider(std::shared_ptr<AuthenticationProvider> provider) {
    if (!provider) {
        BEACON_ANALYTICS_LOG_ERROR("Authentication provider may not be null.");
        return;
    }
    {
        std::lock_guard lock(providerMutex);
        sharedProvider = provider;
    }
    provider->acquireTokenAsync();
}

std::shared_ptr<AuthenticationProvider> AnalyticsTransmissionTarget::authenticationProvider() {
    std::lock_guard lock(providerMutex);
    return sharedProvider;
}

void AnalyticsTransmissionTarget::setAuthenticationProvider(std::shared_ptr<AuthenticationProvider> provider) {
    std::lock_guard lock(providerMutex);
    sharedProvider = std::move(provider);
}

void AnalyticsTransmissionTarget::channelPrepareLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>& log) {
    auto csLog = std::dynamic_pointer_cast<CommonSchemaLog>(log);
    if (!csLog || !csLog->transmissionTargetTokens().contains(token_) || !isEnabled()) return;
    auto provider = authenticationProvider();
    if (!provider) return;
    if (!csLog->ext) csLog->ext = std::make_shared<CSExtensions>();
    if (!csLog->ext->protocolExt) csLog->ext->protocolExt = std::make_shared<ProtocolExtension>();
    csLog->ext->protocolExt->ticketKeys = std::vector<std::string>{provider->ticketKeyHash()};
    provider->checkTokenExpiry();
}

} // namespace beacon
