#pragma once

#include "beacon/channel/ChannelDelegate.h"
#include "beacon/channel/ChannelUnitProtocol.h"
#include "beacon/channel/WeakSet.h"
#include "platform/Scheduler.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace beacon {

class IngestionProtocol;
class LogContainer;
class Storage;

// The default channel unit. Everything after the first enqueue steps runs on
// the group's serial queue: storing, batching, the flush timer, sending and
// the send completions.
//
// A log is stored first; a batch is read back and sent when a full batch is
// waiting (with the default 6 s interval) or when the flush timer fires. The
// timer restarts with every stored log; intervals above 6 s are measured from
// the oldest pending log, whose time is kept under "ChannelStartTimer:<group>"
// so that it survives a restart. At most `pendingBatchesLimit` batches are in
// flight. A delivered batch is deleted; a recoverable failure keeps its logs
// stored and loads them again after a back-off (kRetryBackoffInitial seconds,
// doubled at each failure in a row up to kRetryBackoffMax); an unrecoverable
// one disables the unit with deletion, after which new logs are reported
// failed instead of stored. Resuming, and a failure, start a flush of the
// logs still waiting.
class ChannelUnitDefault : public ChannelUnitProtocol, public std::enable_shared_from_this<ChannelUnitDefault> {
public:
    static constexpr const char* kStartTimerKeyPrefix = "ChannelStartTimer";
    static constexpr double kRetryBackoffInitial = 60;
    static constexpr double kRetryBackoffMax = 1200;

    // The unit counts the stored logs on its queue before anything else runs there.
    static std::shared_ptr<ChannelUnitDefault> create(std::shared_ptr<IngestionProtocol> ingestion,
                                                      std::shared_ptr<Storage> storage,
                                                      ChannelUnitConfiguration configuration,
                                                      std::shared_ptr<platform::Queue> logsDispatchQueue,
                                                      platform::Scheduler& scheduler);

    // "ChannelStartTimer:<group id>" (stored under the telemetry prefix).
    static std::string oldestPendingLogTimestampKey(const std::string& groupId);

    // ChannelProtocol (asynchronous on the queue)
    void addDelegate(const std::shared_ptr<ChannelDelegate>& delegate) override;
    void removeDelegate(const std::shared_ptr<ChannelDelegate>& delegate) override;
    void pauseWithIdentifyingObject(const std::shared_ptr<const void>& identifyingObject) override;
    void resumeWithIdentifyingObject(const std::shared_ptr<const void>& identifyingObject) override;
    void setEnabled(bool isEnabled, bool deleteDataOnDisabled) override;

    // ChannelUnitProtocol
    void enqueueItem(const std::shared_ptr<AbstractLog>& item, LogFlags flags) override;
    void pauseSendingLogsWithToken(const std::string& token) override;
    void resumeSendingLogsWithToken(const std::string& token) override;
    // Runs at once on the queue, else is queued there.
    void checkPendingLogs() override;
    const ChannelUnitConfiguration& configuration() const override { return configuration_; }
    std::shared_ptr<platform::Queue> logsDispatchQueue() const override { return queue_; }

    // Deletes every log of the group, reporting each as failed with the
    // code-100 error (asynchronous on the queue).
    void deleteAllLogsWithError(const Error& error);

    // State, read on the queue (tests read it between queue runs).
    bool isEnabled() const { return enabled_; }
    bool isPaused() const { return paused_; }
    bool discardsLogs() const { return discardLogs_; }
    std::uint64_t itemsCount() const { return itemsCount_; }
    bool availableBatchFromStorage() const { return availableBatchFromStorage_; }
    bool pendingBatchQueueFull() const { return pendingBatchQueueFull_; }
    const std::vector<std::string>& pendingBatchIds() const { return pendingBatchIds_; }
    bool hasRunningTimer() const;
    bool hasRetryTimer() const { return retryTimer_ != nullptr; }

private:
    ChannelUnitDefault(std::shared_ptr<IngestionProtocol> ingestion, std::shared_ptr<Storage> storage,
                       ChannelUnitConfiguration configuration, std::shared_ptr<platform::Queue> queue,
                       platform::Scheduler& scheduler);

    void enqueueOnQueue(const std::shared_ptr<AbstractLog>& item, const std::string& internalId, LogFlags flags);
    void checkPendingLogsOnQueue();
    std::uint32_t resolveFlushInterval();
    void startTimer(std::uint32_t seconds);
    void resetTimer();
    // Loads and sends again after the back-off of the failures in a row.
    void startRetryTimer();
    void flushQueue();
    void sendLogContainer(const std::shared_ptr<LogContainer>& container);
    void handleSendCompletion(const std::shared_ptr<LogContainer>& container, long statusCode,
                              const std::optional<Error>& error);
    void setEnabledOnQueue(bool isEnabled, bool deleteDataOnDisabled);
    void deleteAllLogsWithErrorSync(const Error& error);
    void notifyFailureBeforeSendingForItem(const std::shared_ptr<AbstractLog>& item, const Error& error);
    void pauseWithIdentifyingObjectSync(const std::shared_ptr<const void>& identifyingObject);
    void resumeWithIdentifyingObjectSync(const std::shared_ptr<const void>& identifyingObject);
    bool pauseLaneEmpty();
    void removeStartTimerKey();
    std::vector<std::shared_ptr<ChannelDelegate>> delegates() const { return delegates_.snapshot(); }

    ChannelUnitConfiguration configuration_;
    std::shared_ptr<platform::Queue> queue_;
    platform::Scheduler& scheduler_;
    std::shared_ptr<IngestionProtocol> ingestion_;
    std::shared_ptr<Storage> storage_;
    WeakSet<ChannelDelegate> delegates_;

    // Queue state.
    bool availableBatchFromStorage_ = false;
    bool pendingBatchQueueFull_ = false;
    bool enabled_ = true;
    bool paused_ = false;
    bool discardLogs_ = false;
    std::uint64_t itemsCount_ = 0;
    std::shared_ptr<platform::Timer> timerSource_;
    std::shared_ptr<platform::Timer> retryTimer_;
    std::uint32_t failuresInARow_ = 0;
    std::vector<std::string> pendingBatchIds_;
    std::vector<std::weak_ptr<const void>> pausedIdentifyingObjects_;
    std::set<std::string> pausedTargetKeys_;
};

} // namespace beacon
