#include "beacon/channel/CollectorChannelDelegate.h"

#include "beacon/channel/ChannelGroupProtocol.h"
#include "beacon/channel/ChannelUnitProtocol.h"
#include "beacon/crashes/model/UuidText.h"
#include "beacon/ingestion/CollectorIngestion.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/CSExtensions.h"
#include "beacon/model/CommonSchemaLog.h"
#include "beacon/model/SDKExtension.h"

#include <regex>

namespace beacon {

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

constexpr const char* kValidationFailed = "Log validation failed.";

} // namespace

CollectorChannelDelegate::CollectorChannelDelegate(std::shared_ptr<HttpClientProtocol> httpClient,
                                                   std::string installId, std::string baseUrl)
    : CollectorChannelDelegate(std::make_shared<CollectorIngestion>(std::move(httpClient), std::move(baseUrl)),
                               std::move(installId)) {}

CollectorChannelDelegate::CollectorChannelDelegate(std::shared_ptr<IngestionProtocol> collectorIngestion,
                                                   std::string installId)
    : collectorIngestion_(std::move(collectorIngestion)), installId_(std::move(installId)) {}

void CollectorChannelDelegate::setLogUrl(const std::string& logUrl) {
    if (auto http = std::dynamic_pointer_cast<HttpIngestion>(collectorIngestion_)) http->setBaseURL(logUrl);
}

bool CollectorChannelDelegate::isCollectorGroupId(const std::string& groupId) {
    return endsWith(groupId, kCollectorGroupIdSuffix);
}

std::shared_ptr<ChannelUnitProtocol> CollectorChannelDelegate::collectorChannel(const std::string& groupId) const {
    std::lock_guard lock(mutex_);
    auto it = collectorChannels_.find(groupId);
    return it == collectorChannels_.end() ? nullptr : it->second;
}

std::optional<CSEpochAndSeq> CollectorChannelDelegate::epochAndSeq(const std::string& iKey) const {
    std::lock_guard lock(mutex_);
    auto it = epochsAndSeqsByIKey_.find(iKey);
    if (it == epochsAndSeqsByIKey_.end()) return std::nullopt;
    return it->second;
}

std::shared_ptr<ChannelUnitProtocol> CollectorChannelDelegate::twinOf(ChannelProtocol& channel) const {
    auto* unit = dynamic_cast<ChannelUnitProtocol*>(&channel);
    if (!unit) return nullptr;
    return collectorChannel(unit->configuration().groupId);
}

void CollectorChannelDelegate::channelGroupDidAddChannelUnit(ChannelGroupProtocol& channelGroup,
                                                             const std::shared_ptr<ChannelUnitProtocol>& channel) {
    if (!channel) return;
    const auto& source = channel->configuration();
    if (isCollectorGroupId(source.groupId)) return;
    auto configuration =
        ChannelUnitConfiguration::defaultConfiguration(source.groupId + kCollectorGroupIdSuffix, source.flushInterval);
    auto twin = channelGroup.addChannelUnitWithConfiguration(configuration, collectorIngestion_);
    std::lock_guard lock(mutex_);
    collectorChannels_[source.groupId] = std::move(twin);
}

void CollectorChannelDelegate::channelPrepareLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>& log) {
    auto csLog = std::dynamic_pointer_cast<CommonSchemaLog>(log);
    if (!csLog) return;
    const std::string iKey = csLog->iKey.value_or("");
    std::int64_t seq = 0;
    std::string epoch;
    {
        std::lock_guard lock(mutex_);
        auto it = epochsAndSeqsByIKey_.find(iKey);
        if (it == epochsAndSeqsByIKey_.end())
            it = epochsAndSeqsByIKey_.emplace(iKey, CSEpochAndSeq{uuid_text::random(), 0}).first;
        seq = ++it->second.seq;
        epoch = it->second.epoch;
    }
    if (!csLog->ext) csLog->ext = std::make_shared<CSExtensions>();
    if (!csLog->ext->sdkExt) csLog->ext->sdkExt = std::make_shared<SDKExtension>();
    csLog->ext->sdkExt->epoch = epoch;
    csLog->ext->sdkExt->seq = seq;
    csLog->ext->sdkExt->installId = installId_;
}

void CollectorChannelDelegate::channelDidPrepareLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                                                    const std::string&, LogFlags flags) {
    auto* unit = dynamic_cast<ChannelUnitProtocol*>(&channel);
    if (!unit || !log || isCollectorGroupId(unit->configuration().groupId)) return;
    auto twin = collectorChannel(unit->configuration().groupId);
    if (!twin) return;
    if (std::dynamic_pointer_cast<CommonSchemaLog>(log)) {
        twin->enqueueItem(log, flags);
        return;
    }
    if (log->transmissionTargetTokens().empty()) return;
    for (const auto& csLog : log->toCommonSchemaLogs(flags)) twin->enqueueItem(csLog, flags);
}

bool CollectorChannelDelegate::channelUnitShouldFilterLog(ChannelUnitProtocol& channelUnit,
                                                          const std::shared_ptr<AbstractLog>& log) {
    if (auto csLog = std::dynamic_pointer_cast<CommonSchemaLog>(log)) {
        if (!isCollectorGroupId(channelUnit.configuration().groupId)) return true;
        return !validateLogName(csLog->name);
    }
    return log && !log->transmissionTargetTokens().empty();
}

bool CollectorChannelDelegate::validateLogName(const std::optional<std::string>& name) {
    if (!name || name->empty()) {
        BEACON_LOG_ERROR(kValidationFailed, " Name must not be nil or empty.");
        return false;
    }
    static const std::regex pattern(kLogNamePattern);
    if (!std::regex_match(*name, pattern)) {
        BEACON_LOG_ERROR(kValidationFailed, " Name must match '", kLogNamePattern, "' but was '", *name, "'");
        return false;
    }
    return true;
}

void CollectorChannelDelegate::channelDidSetEnabled(ChannelProtocol& channel, bool isEnabled, bool deletedData) {
    if (auto twin = twinOf(channel)) {
        twin->setEnabled(isEnabled, deletedData);
        return;
    }
    if (dynamic_cast<ChannelGroupProtocol*>(&channel) && !isEnabled && deletedData) {
        std::lock_guard lock(mutex_);
        epochsAndSeqsByIKey_.clear();
    }
}

void CollectorChannelDelegate::channelDidPauseWithIdentifyingObject(
    ChannelProtocol& channel, const std::shared_ptr<const void>& identifyingObject) {
    if (auto twin = twinOf(channel)) twin->pauseWithIdentifyingObject(identifyingObject);
}

void CollectorChannelDelegate::channelDidResumeWithIdentifyingObject(
    ChannelProtocol& channel, const std::shared_ptr<const void>& identifyingObject) {
    if (auto twin = twinOf(channel)) twin->resumeWithIdentifyingObject(identifyingObject);
}

} // namespace beacon
