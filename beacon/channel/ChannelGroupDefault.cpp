#include "beacon/channel/ChannelGroupDefault.h"

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/channel/ChannelUnitDefault.h"
#include "beacon/ingestion/BeaconIngestion.h"
#include "beacon/storage/LogDBStorage.h"
#include "beacon/util/Encrypter.h"

namespace beacon {

std::shared_ptr<ChannelGroupDefault>
ChannelGroupDefault::create(platform::Scheduler& scheduler, std::shared_ptr<HttpClientProtocol> httpClient,
                            const std::string& installId, const std::string& logUrl, std::shared_ptr<Storage> storage) {
    auto ingestion = std::make_shared<BeaconIngestion>(std::move(httpClient), logUrl, installId);
    return create(scheduler, std::move(ingestion), std::move(storage));
}

std::shared_ptr<ChannelGroupDefault> ChannelGroupDefault::create(platform::Scheduler& scheduler,
                                                                 std::shared_ptr<IngestionProtocol> ingestion,
                                                                 std::shared_ptr<Storage> storage) {
    // The store turns rows back into logs only of allowed classes.
    ArchiverUtil::addAllowedBeaconModuleClasses();
    if (!storage) storage = std::make_shared<LogDBStorage>(std::make_shared<Encrypter>());
    return std::shared_ptr<ChannelGroupDefault>(
        new ChannelGroupDefault(scheduler, std::move(ingestion), std::move(storage)));
}

ChannelGroupDefault::ChannelGroupDefault(platform::Scheduler& scheduler, std::shared_ptr<IngestionProtocol> ingestion,
                                         std::shared_ptr<Storage> storage)
    : scheduler_(scheduler), ingestion_(std::move(ingestion)), storage_(std::move(storage)),
      queue_(scheduler.makeSerialQueue(kQueueLabel)) {}

std::shared_ptr<ChannelUnitProtocol>
ChannelGroupDefault::addChannelUnitWithConfiguration(const std::optional<ChannelUnitConfiguration>& configuration) {
    return addChannelUnitWithConfiguration(configuration, nullptr);
}

std::shared_ptr<ChannelUnitProtocol>
ChannelGroupDefault::addChannelUnitWithConfiguration(const std::optional<ChannelUnitConfiguration>& configuration,
                                                     std::shared_ptr<IngestionProtocol> ingestion) {
    if (!configuration) return nullptr;
    auto unit = ChannelUnitDefault::create(ingestion ? std::move(ingestion) : ingestion_, storage_, *configuration,
                                           queue_, scheduler_);
    unit->addDelegate(shared_from_this());
    unit->checkPendingLogs();
    {
        std::lock_guard lock(channelsMutex_);
        channels_.push_back(unit);
    }
    for (const auto& delegate : delegates()) delegate->channelGroupDidAddChannelUnit(*this, unit);
    return unit;
}

std::shared_ptr<ChannelUnitProtocol> ChannelGroupDefault::channelUnitForGroupId(const std::string& groupId) const {
    std::lock_guard lock(channelsMutex_);
    for (const auto& unit : channels_)
        if (unit->configuration().groupId == groupId) return unit;
    return nullptr;
}

std::vector<std::shared_ptr<ChannelUnitProtocol>> ChannelGroupDefault::channels() const {
    std::lock_guard lock(channelsMutex_);
    return channels_;
}

void ChannelGroupDefault::addDelegate(const std::shared_ptr<ChannelDelegate>& delegate) { delegates_.add(delegate); }

void ChannelGroupDefault::removeDelegate(const std::shared_ptr<ChannelDelegate>& delegate) {
    delegates_.remove(delegate.get());
}

void ChannelGroupDefault::setEnabled(bool isEnabled, bool deleteDataOnDisabled) {
    if (ingestion_) ingestion_->setEnabled(isEnabled, deleteDataOnDisabled);
    for (const auto& unit : channels()) unit->setEnabled(isEnabled, deleteDataOnDisabled);
    for (const auto& delegate : delegates()) delegate->channelDidSetEnabled(*this, isEnabled, deleteDataOnDisabled);
}

void ChannelGroupDefault::pauseWithIdentifyingObject(const std::shared_ptr<const void>& identifyingObject) {
    if (ingestion_) ingestion_->setEnabled(false, false);
    for (const auto& unit : channels()) unit->pauseWithIdentifyingObject(identifyingObject);
}

void ChannelGroupDefault::resumeWithIdentifyingObject(const std::shared_ptr<const void>& identifyingObject) {
    if (ingestion_) ingestion_->setEnabled(true, false);
    for (const auto& unit : channels()) unit->resumeWithIdentifyingObject(identifyingObject);
}

void ChannelGroupDefault::setMaxStorageSize(std::int64_t sizeInBytes, std::function<void(bool)> completionHandler) {
    queue_->async([storage = storage_, sizeInBytes, completionHandler = std::move(completionHandler)] {
        storage->setMaxStorageSize(sizeInBytes, completionHandler);
    });
}

std::string ChannelGroupDefault::logUrl() const {
    auto http = std::dynamic_pointer_cast<HttpIngestion>(ingestion_);
    return http ? http->baseURL() : std::string();
}

void ChannelGroupDefault::setLogUrl(const std::string& logUrl) {
    if (auto http = std::dynamic_pointer_cast<HttpIngestion>(ingestion_)) http->setBaseURL(logUrl);
}

std::optional<std::string> ChannelGroupDefault::appSecret() const {
    auto beaconIngestion = std::dynamic_pointer_cast<BeaconIngestion>(ingestion_);
    return beaconIngestion ? beaconIngestion->appSecret() : std::nullopt;
}

void ChannelGroupDefault::setAppSecret(const std::optional<std::string>& appSecret) {
    if (auto beaconIngestion = std::dynamic_pointer_cast<BeaconIngestion>(ingestion_))
        beaconIngestion->setAppSecret(appSecret);
}

void ChannelGroupDefault::channelGroupDidAddChannelUnit(ChannelGroupProtocol& channelGroup,
                                                        const std::shared_ptr<ChannelUnitProtocol>& channel) {
    for (const auto& delegate : delegates()) delegate->channelGroupDidAddChannelUnit(channelGroup, channel);
}

void ChannelGroupDefault::channelPrepareLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) {
    for (const auto& delegate : delegates()) delegate->channelPrepareLog(channel, log);
}

void ChannelGroupDefault::channelDidPrepareLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                                               const std::string& internalId, LogFlags flags) {
    for (const auto& delegate : delegates()) delegate->channelDidPrepareLog(channel, log, internalId, flags);
}

void ChannelGroupDefault::channelDidCompleteEnqueueingLog(ChannelProtocol& channel,
                                                          const std::shared_ptr<AbstractLog>& log,
                                                          const std::string& internalId) {
    for (const auto& delegate : delegates()) delegate->channelDidCompleteEnqueueingLog(channel, log, internalId);
}

void ChannelGroupDefault::channelWillSendLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) {
    for (const auto& delegate : delegates()) delegate->channelWillSendLog(channel, log);
}

void ChannelGroupDefault::channelDidSucceedSendingLog(ChannelProtocol& channel,
                                                      const std::shared_ptr<AbstractLog>& log) {
    for (const auto& delegate : delegates()) delegate->channelDidSucceedSendingLog(channel, log);
}

void ChannelGroupDefault::channelDidFailSendingLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                                                   const std::optional<Error>& error) {
    for (const auto& delegate : delegates()) delegate->channelDidFailSendingLog(channel, log, error);
}

void ChannelGroupDefault::channelDidSetEnabled(ChannelProtocol& channel, bool isEnabled, bool deletedData) {
    for (const auto& delegate : delegates()) delegate->channelDidSetEnabled(channel, isEnabled, deletedData);
}

void ChannelGroupDefault::channelDidPauseWithIdentifyingObject(ChannelProtocol& channel,
                                                               const std::shared_ptr<const void>& identifyingObject) {
    for (const auto& delegate : delegates()) delegate->channelDidPauseWithIdentifyingObject(channel, identifyingObject);
}

void ChannelGroupDefault::channelDidResumeWithIdentifyingObject(ChannelProtocol& channel,
                                                                const std::shared_ptr<const void>& identifyingObject) {
    for (const auto& delegate : delegates())
        delegate->channelDidResumeWithIdentifyingObject(channel, identifyingObject);
}

bool ChannelGroupDefault::channelUnitShouldFilterLog(ChannelUnitProtocol& channelUnit,
                                                     const std::shared_ptr<AbstractLog>& log) {
    for (const auto& delegate : delegates())
        if (delegate->channelUnitShouldFilterLog(channelUnit, log)) return true;
    return false;
}

} // namespace beacon
