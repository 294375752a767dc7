#include "beacon/channel/ChannelUnitDefault.h"

#include "beacon/context/DeviceTracker.h"
#include "beacon/core/Beacon.h"
#include "beacon/crashes/model/UuidText.h"
#include "beacon/http/HttpUtil.h"
#include "beacon/ingestion/IngestionProtocol.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/LogContainer.h"
#include "beacon/storage/Storage.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/SecretStrings.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace beacon {

namespace {

double secondsSinceEpoch(platform::WallTime time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

std::string logType(const std::shared_ptr<AbstractLog>& log) {
    return log->type.value_or(std::string(log->className()));
}

} // namespace

std::shared_ptr<ChannelUnitDefault> ChannelUnitDefault::create(std::shared_ptr<IngestionProtocol> ingestion,
                                                               std::shared_ptr<Storage> storage,
                                                               ChannelUnitConfiguration configuration,
                                                               std::shared_ptr<platform::Queue> logsDispatchQueue,
                                                               platform::Scheduler& scheduler) {
    std::shared_ptr<ChannelUnitDefault> unit(new ChannelUnitDefault(
        std::move(ingestion), std::move(storage), std::move(configuration), std::move(logsDispatchQueue), scheduler));
    // The store is used only from the queue, so the unit counts there, before
    // anything else of the unit runs.
    unit->queue_->async([weak = std::weak_ptr<ChannelUnitDefault>(unit)] {
        if (auto self = weak.lock()) self->itemsCount_ = self->storage_ ? self->storage_->countLogs() : 0;
    });
    return unit;
}

ChannelUnitDefault::ChannelUnitDefault(std::shared_ptr<IngestionProtocol> ingestion, std::shared_ptr<Storage> storage,
                                       ChannelUnitConfiguration configuration, std::shared_ptr<platform::Queue> queue,
                                       platform::Scheduler& scheduler)
    : configuration_(std::move(configuration)), queue_(std::move(queue)), scheduler_(scheduler),
      ingestion_(std::move(ingestion)), storage_(std::move(storage)) {}

std::string ChannelUnitDefault::oldestPendingLogTimestampKey(const std::string& groupId) {
    return std::string(kStartTimerKeyPrefix) + ":" + groupId;
}

void ChannelUnitDefault::addDelegate(const std::shared_ptr<ChannelDelegate>& delegate) {
    queue_->async([self = shared_from_this(), delegate] { self->delegates_.add(delegate); });
}

void ChannelUnitDefault::removeDelegate(const std::shared_ptr<ChannelDelegate>& delegate) {
    queue_->async([self = shared_from_this(), delegate] { self->delegates_.remove(delegate.get()); });
}

void ChannelUnitDefault::enqueueItem(const std::shared_ptr<AbstractLog>& item, LogFlags flags) {
    if (!item) {
        BEACON_LOG_WARNING("Log is not valid.");
        return;
    }
    if (!item->timestamp) item->timestamp = scheduler_.now();
    if (!item->device) item->device = DeviceTracker::sharedInstance()->device();
    if (!item->dataResidencyRegion) item->dataResidencyRegion = Beacon::dataResidencyRegion();
    if (item->validationError()) {
        BEACON_LOG_WARNING("Log is not valid.");
        return;
    }
    const std::string internalId = uuid_text::random();
    const auto snapshot = delegates();
    for (const auto& delegate : snapshot) delegate->channelPrepareLog(*this, item);
    for (const auto& delegate : snapshot) delegate->channelDidPrepareLog(*this, item, internalId, flags);
    queue_->async(
        [self = shared_from_this(), item, internalId, flags] { self->enqueueOnQueue(item, internalId, flags); });
}

void ChannelUnitDefault::enqueueOnQueue(const std::shared_ptr<AbstractLog>& item, const std::string& internalId,
                                        LogFlags flags) {
    auto completed = [&] {
        for (const auto& delegate : delegates()) delegate->channelDidCompleteEnqueueingLog(*this, item, internalId);
    };
    bool filtered = false;
    for (const auto& delegate : delegates()) {
        if (delegate->channelUnitShouldFilterLog(*this, item)) {
            filtered = true;
            break;
        }
    }
    if (filtered) {
        BEACON_LOG_DEBUG("Log of type '", logType(item), "' was filtered out by delegate(s)");
        completed();
        return;
    }
    if (!ingestion_ || !ingestion_->isReadyToSend()) {
        BEACON_LOG_DEBUG("Log of type '", logType(item),
                         "' was not filtered out by delegate(s) but ingestion is not ready to send it.");
        completed();
        return;
    }
    if (discardLogs_) {
        BEACON_LOG_WARNING("Channel ", configuration_.groupId, " disabled in log discarding mode, discard this log.");
        notifyFailureBeforeSendingForItem(item, makeError(kCanceledWithDeletionErrorCode));
        completed();
        return;
    }
    BEACON_LOG_DEBUG("Saving log, type: ", logType(item), ", flags: ", flags, ".");
    const bool saved = storage_ && storage_->saveLog(item, configuration_.groupId, flags);
    completed();
    if (saved) {
        ++itemsCount_;
        checkPendingLogsOnQueue();
    }
}

void ChannelUnitDefault::checkPendingLogs() {
    if (queue_->isCurrent()) {
        checkPendingLogsOnQueue();
        return;
    }
    queue_->async([self = shared_from_this()] { self->checkPendingLogsOnQueue(); });
}

void ChannelUnitDefault::checkPendingLogsOnQueue() {
    if (!paused_ && configuration_.flushInterval == ChannelUnitConfiguration::kDefaultFlushInterval &&
        itemsCount_ >= configuration_.batchSizeLimit) {
        flushQueue();
        return;
    }
    if (itemsCount_ == 0) return;
    const std::uint32_t interval = resolveFlushInterval();
    if (paused_) return;
    if (interval > 0) startTimer(interval);
    else flushQueue();
}

std::uint32_t ChannelUnitDefault::resolveFlushInterval() {
    const std::uint32_t interval = configuration_.flushInterval;
    if (interval <= ChannelUnitConfiguration::kDefaultFlushInterval) return interval;
    auto defaults = BeaconUserDefaults::shared();
    const std::string key = oldestPendingLogTimestampKey(configuration_.groupId);
    const double now = secondsSinceEpoch(scheduler_.now());
    const auto stored = defaults->objectForKey(key);
    const bool isNumber = stored && (stored->isDouble() || stored->isInteger());
    if (!isNumber || stored->doubleValue() > now) {
        defaults->setObject(platform::Value(now), key);
        return interval;
    }
    const double startTime = stored->doubleValue();
    if (now > startTime + interval) {
        defaults->removeObjectForKey(key);
        return 0;
    }
    return interval - static_cast<std::uint32_t>(std::floor(now - startTime));
}

void ChannelUnitDefault::startTimer(std::uint32_t seconds) {
    if (!enabled_) return;
    resetTimer();
    std::weak_ptr<ChannelUnitDefault> weak = shared_from_this();
    timerSource_ = queue_->schedule(platform::Seconds(seconds), false, [weak] {
        auto self = weak.lock();
        if (!self) return;
        if (self->itemsCount_ > 0) self->flushQueue();
        self->resetTimer();
        self->removeStartTimerKey();
    });
}

void ChannelUnitDefault::resetTimer() {
    if (timerSource_) {
        timerSource_->cancel();
        timerSource_.reset();
    }
}

bool ChannelUnitDefault::hasRunningTimer() const { return timerSource_ && timerSource_->isValid(); }

void ChannelUnitDefault::removeStartTimerKey() {
    BeaconUserDefaults::shared()->removeObjectForKey(oldestPendingLogTimestampKey(configuration_.groupId));
}

void ChannelUnitDefault::flushQueue() {
    if (!ingestion_ || !ingestion_->isEnabled()) {
        BEACON_LOG_DEBUG("Beacon SDK is offline, groupId:", configuration_.groupId, ".");
        return;
    }
    if (!enabled_ || !ingestion_->isReadyToSend()) return;
    resetTimer();
    if (paused_ || pendingBatchQueueFull_) {
        if (itemsCount_ >= configuration_.batchSizeLimit) {
            availableBatchFromStorage_ = true;
            itemsCount_ = 0;
        }
        return;
    }
    itemsCount_ = 0;
    const std::vector<std::string> excluded(pausedTargetKeys_.begin(), pausedTargetKeys_.end());
    std::shared_ptr<LogContainer> container;
    availableBatchFromStorage_ = storage_->loadLogsWithGroupId(
        configuration_.groupId, configuration_.batchSizeLimit, excluded,
        [&container](std::vector<std::shared_ptr<AbstractLog>> logs, std::optional<std::string> batchId) {
            if (!logs.empty() && batchId)
                container = std::make_shared<LogContainer>(std::move(batchId), std::move(logs));
        });
    if (container) sendLogContainer(container);
    if (availableBatchFromStorage_ && !pendingBatchQueueFull_) flushQueue();
}

void ChannelUnitDefault::sendLogContainer(const std::shared_ptr<LogContainer>& container) {
    const std::string batchId = container->batchId.value_or("");
    pendingBatchIds_.push_back(batchId);
    if (pendingBatchIds_.size() >= configuration_.pendingBatchesLimit) pendingBatchQueueFull_ = true;
    if (Logger::currentLogLevel() <= LogLevel::Debug) {
        const std::size_t count = container->logs.size();
        for (std::size_t i = 0; i < count; ++i) {
            const auto& log = container->logs[i];
            BEACON_LOG_DEBUG("Sending ", i + 1, "/", count, " log, group Id: ", configuration_.groupId,
                             ", batch Id: ", batchId, ", session Id: ", log->sid.value_or("(null)"), ", payload:\n",
                             log->serializeLog(true).value_or(""));
        }
    }
    for (const auto& log : container->logs)
        for (const auto& delegate : delegates()) delegate->channelWillSendLog(*this, log);
    std::weak_ptr<ChannelUnitDefault> weak = shared_from_this();
    auto queue = queue_;
    ingestion_->sendAsync(
        container, [weak, queue, container](const std::string&, const std::optional<HttpResponse>& response,
                                            const std::optional<std::string>&, const std::optional<Error>& error) {
            const long status = response ? response->statusCode : 0;
            queue->async([weak, container, status, error] {
                if (auto self = weak.lock()) self->handleSendCompletion(container, status, error);
            });
        });
}

void ChannelUnitDefault::handleSendCompletion(const std::shared_ptr<LogContainer>& container, long statusCode,
                                              const std::optional<Error>& error) {
    const std::string batchId = container->batchId.value_or("");
    auto pending = std::find(pendingBatchIds_.begin(), pendingBatchIds_.end(), batchId);
    if (pending == pendingBatchIds_.end()) {
        BEACON_LOG_WARNING("Batch Id ", batchId, " not expected, ignore.");
        return;
    }
    const bool succeeded = HttpUtil::isSuccessStatusCode(statusCode);
    if (succeeded) {
        BEACON_LOG_DEBUG("Log(s) sent with success, batch Id:", batchId, ".");
        for (const auto& log : container->logs)
            for (const auto& delegate : delegates()) delegate->channelDidSucceedSendingLog(*this, log);
        storage_->deleteLogsWithBatchId(batchId, configuration_.groupId);
        failuresInARow_ = 0;
    } else {
        BEACON_LOG_ERROR("Log(s) sent with failure, batch Id:", batchId, ", status code:", statusCode);
        for (const auto& log : container->logs)
            for (const auto& delegate : delegates()) delegate->channelDidFailSendingLog(*this, log, error);
        if (!HttpUtil::isRecoverableError(statusCode)) {
            BEACON_LOG_ERROR("Fatal error encountered; shutting down channel unit with group ID ",
                             configuration_.groupId);
            setEnabledOnQueue(false, true);
            return;
        }
        // The logs stay stored and are loaded again in this run, after a
        // back-off that keeps a failing server from being hammered.
        storage_->releaseLogsWithBatchId(batchId, configuration_.groupId);
        availableBatchFromStorage_ = true;
        ++failuresInARow_;
    }
    pendingBatchIds_.erase(std::find(pendingBatchIds_.begin(), pendingBatchIds_.end(), batchId));
    if (pendingBatchQueueFull_ && pendingBatchIds_.size() < configuration_.pendingBatchesLimit)
        pendingBatchQueueFull_ = false;
    if (!succeeded) startRetryTimer();
    else if (availableBatchFromStorage_ && !pendingBatchQueueFull_) flushQueue();
}

void ChannelUnitDefault::startRetryTimer() {
    if (!enabled_ || retryTimer_) return;
    double delay = kRetryBackoffInitial;
    for (std::uint32_t i = 1; i < failuresInARow_ && delay < kRetryBackoffMax; ++i) delay *= 2;
    delay = std::min(delay, kRetryBackoffMax);
    std::weak_ptr<ChannelUnitDefault> weak = shared_from_this();
    retryTimer_ = queue_->schedule(platform::Seconds(delay), false, [weak] {
        auto self = weak.lock();
        if (!self) return;
        self->retryTimer_.reset();
        if (self->enabled_ && !self->paused_) self->flushQueue();
    });
}

void ChannelUnitDefault::setEnabled(bool isEnabled, bool deleteDataOnDisabled) {
    queue_->async([self = shared_from_this(), isEnabled, deleteDataOnDisabled] {
        self->setEnabledOnQueue(isEnabled, deleteDataOnDisabled);
    });
}

void ChannelUnitDefault::setEnabledOnQueue(bool isEnabled, bool deleteDataOnDisabled) {
    if (enabled_ != isEnabled) {
        enabled_ = isEnabled;
        std::shared_ptr<const void> self = shared_from_this();
        if (isEnabled) resumeWithIdentifyingObjectSync(self);
        else pauseWithIdentifyingObjectSync(self);
    }
    if (!enabled_ && retryTimer_) {
        retryTimer_->cancel();
        retryTimer_.reset();
    }
    if (!enabled_ && deleteDataOnDisabled) {
        BEACON_LOG_DEBUG("Delete all logs for group Id ", configuration_.groupId);
        deleteAllLogsWithErrorSync(makeError(kCanceledWithDeletionErrorCode));
        itemsCount_ = 0;
        availableBatchFromStorage_ = false;
        pendingBatchQueueFull_ = false;
        removeStartTimerKey();
        discardLogs_ = true;
    } else {
        discardLogs_ = false;
    }
    for (const auto& delegate : delegates()) delegate->channelDidSetEnabled(*this, isEnabled, deleteDataOnDisabled);
}

void ChannelUnitDefault::deleteAllLogsWithError(const Error& error) {
    queue_->async([self = shared_from_this(), error] { self->deleteAllLogsWithErrorSync(error); });
}

void ChannelUnitDefault::deleteAllLogsWithErrorSync(const Error& error) {
    for (const auto& batchId : pendingBatchIds_) storage_->deleteLogsWithBatchId(batchId, configuration_.groupId);
    pendingBatchIds_.clear();
    for (const auto& log : storage_->deleteLogsWithGroupId(configuration_.groupId))
        notifyFailureBeforeSendingForItem(log, error);
}

void ChannelUnitDefault::notifyFailureBeforeSendingForItem(const std::shared_ptr<AbstractLog>& item,
                                                           const Error& error) {
    for (const auto& delegate : delegates()) {
        delegate->channelWillSendLog(*this, item);
        delegate->channelDidFailSendingLog(*this, item, error);
    }
}

void ChannelUnitDefault::pauseWithIdentifyingObject(const std::shared_ptr<const void>& identifyingObject) {
    queue_->async(
        [self = shared_from_this(), identifyingObject] { self->pauseWithIdentifyingObjectSync(identifyingObject); });
}

void ChannelUnitDefault::resumeWithIdentifyingObject(const std::shared_ptr<const void>& identifyingObject) {
    queue_->async(
        [self = shared_from_this(), identifyingObject] { self->resumeWithIdentifyingObjectSync(identifyingObject); });
}

bool ChannelUnitDefault::pauseLaneEmpty() {
    pausedIdentifyingObjects_.erase(std::remove_if(pausedIdentifyingObjects_.begin(), pausedIdentifyingObjects_.end(),
                                                   [](const auto& object) { return object.expired(); }),
                                    pausedIdentifyingObjects_.end());
    return pausedIdentifyingObjects_.empty();
}

void ChannelUnitDefault::pauseWithIdentifyingObjectSync(const std::shared_ptr<const void>& identifyingObject) {
    if (!identifyingObject) return;
    pauseLaneEmpty();
    const bool known = std::any_of(pausedIdentifyingObjects_.begin(), pausedIdentifyingObjects_.end(),
                                   [&](const auto& object) { return object.lock() == identifyingObject; });
    if (!known) pausedIdentifyingObjects_.push_back(identifyingObject);
    BEACON_LOG_VERBOSE("Identifying object ", identifyingObject.get(), " added to pause lane for channel ",
                       configuration_.groupId, ".");
    if (!paused_) {
        BEACON_LOG_DEBUG("Pause channel ", configuration_.groupId, ".");
        paused_ = true;
        resetTimer();
    }
    for (const auto& delegate : delegates()) delegate->channelDidPauseWithIdentifyingObject(*this, identifyingObject);
}

void ChannelUnitDefault::resumeWithIdentifyingObjectSync(const std::shared_ptr<const void>& identifyingObject) {
    if (!identifyingObject) return;
    pausedIdentifyingObjects_.erase(
        std::remove_if(pausedIdentifyingObjects_.begin(), pausedIdentifyingObjects_.end(),
                       [&](const auto& object) { return object.lock() == identifyingObject; }),
        pausedIdentifyingObjects_.end());
    BEACON_LOG_VERBOSE("Identifying object ", identifyingObject.get(), " removed from pause lane for channel ",
                       configuration_.groupId, ".");
    if (pauseLaneEmpty()) {
        BEACON_LOG_DEBUG("Resume channel ", configuration_.groupId, ".");
        paused_ = false;
        // A full batch found while paused is no longer counted in itemsCount_.
        if (availableBatchFromStorage_ && !pendingBatchQueueFull_) flushQueue();
        else checkPendingLogsOnQueue();
    }
    for (const auto& delegate : delegates()) delegate->channelDidResumeWithIdentifyingObject(*this, identifyingObject);
}

void ChannelUnitDefault::pauseSendingLogsWithToken(const std::string& token) {
    const auto targetKey = targetKeyFromTargetToken(token);
    if (!targetKey) return;
    queue_->async([self = shared_from_this(), key = *targetKey] {
        BEACON_LOG_DEBUG("Pause channel for target key ", key, ".");
        self->pausedTargetKeys_.insert(key);
    });
}

void ChannelUnitDefault::resumeSendingLogsWithToken(const std::string& token) {
    const auto targetKey = targetKeyFromTargetToken(token);
    if (!targetKey) return;
    queue_->async([self = shared_from_this(), key = *targetKey] {
        BEACON_LOG_DEBUG("Resume channel for target key ", key, ".");
        self->pausedTargetKeys_.erase(key);
        self->itemsCount_ = self->storage_->countLogs();
        self->checkPendingLogsOnQueue();
    });
}

} // namespace beacon
