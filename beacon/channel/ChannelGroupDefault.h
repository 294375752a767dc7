#pragma once

#include "beacon/channel/ChannelDelegate.h"
#include "beacon/channel/ChannelGroupProtocol.h"
#include "beacon/channel/WeakSet.h"
#include "platform/Scheduler.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace beacon {

class HttpClientProtocol;
class IngestionProtocol;
class Storage;

// The channel units of the process with their shared serial queue
// ("com.zelvo.beacon.ChannelGroupQueue"), store and default ingestion. As the
// delegate of every unit it relays each unit event to its own delegates.
class ChannelGroupDefault : public ChannelGroupProtocol,
                            public ChannelDelegate,
                            public std::enable_shared_from_this<ChannelGroupDefault> {
public:
    static constexpr const char* kQueueLabel = "com.zelvo.beacon.ChannelGroupQueue";

    // With a Beacon ingestion on `httpClient` to `logUrl` and, without a
    // store, the pending-log database in the telemetry storage directory.
    static std::shared_ptr<ChannelGroupDefault> create(platform::Scheduler& scheduler,
                                                       std::shared_ptr<HttpClientProtocol> httpClient,
                                                       const std::string& installId, const std::string& logUrl,
                                                       std::shared_ptr<Storage> storage = nullptr);
    static std::shared_ptr<ChannelGroupDefault> create(platform::Scheduler& scheduler,
                                                       std::shared_ptr<IngestionProtocol> ingestion,
                                                       std::shared_ptr<Storage> storage = nullptr);

    // ChannelProtocol
    void addDelegate(const std::shared_ptr<ChannelDelegate>& delegate) override;
    void removeDelegate(const std::shared_ptr<ChannelDelegate>& delegate) override;
    // Disables (without deletion) / enables the ingestion, then pauses /
    // resumes every unit with the same object.
    void pauseWithIdentifyingObject(const std::shared_ptr<const void>& identifyingObject) override;
    void resumeWithIdentifyingObject(const std::shared_ptr<const void>& identifyingObject) override;
    void setEnabled(bool isEnabled, bool deleteDataOnDisabled) override;

    // ChannelGroupProtocol
    std::shared_ptr<ChannelUnitProtocol>
    addChannelUnitWithConfiguration(const std::optional<ChannelUnitConfiguration>& configuration) override;
    std::shared_ptr<ChannelUnitProtocol>
    addChannelUnitWithConfiguration(const std::optional<ChannelUnitConfiguration>& configuration,
                                    std::shared_ptr<IngestionProtocol> ingestion) override;
    void setMaxStorageSize(std::int64_t sizeInBytes, std::function<void(bool)> completionHandler) override;
    std::shared_ptr<ChannelUnitProtocol> channelUnitForGroupId(const std::string& groupId) const override;
    std::string logUrl() const override;
    void setLogUrl(const std::string& logUrl) override;
    std::optional<std::string> appSecret() const override;
    void setAppSecret(const std::optional<std::string>& appSecret) override;

    // ChannelDelegate: relayed to the group's delegates.
    void channelGroupDidAddChannelUnit(ChannelGroupProtocol& channelGroup,
                                       const std::shared_ptr<ChannelUnitProtocol>& channel) override;
    void channelPrepareLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) override;
    void channelDidPrepareLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                              const std::string& internalId, LogFlags flags) override;
    void channelDidCompleteEnqueueingLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                                         const std::string& internalId) override;
    void channelWillSendLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) override;
    void channelDidSucceedSendingLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) override;
    void channelDidFailSendingLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                                  const std::optional<Error>& error) override;
    void channelDidSetEnabled(ChannelProtocol& channel, bool isEnabled, bool deletedData) override;
    void channelDidPauseWithIdentifyingObject(ChannelProtocol& channel,
                                              const std::shared_ptr<const void>& identifyingObject) override;
    void channelDidResumeWithIdentifyingObject(ChannelProtocol& channel,
                                               const std::shared_ptr<const void>& identifyingObject) override;
    // True as soon as one delegate answers true.
    bool channelUnitShouldFilterLog(ChannelUnitProtocol& channelUnit, const std::shared_ptr<AbstractLog>& log) override;

    std::shared_ptr<IngestionProtocol> ingestion() const { return ingestion_; }
    std::shared_ptr<Storage> storage() const { return storage_; }
    std::shared_ptr<platform::Queue> logsDispatchQueue() const { return queue_; }
    // The units in creation order.
    std::vector<std::shared_ptr<ChannelUnitProtocol>> channels() const;

private:
    ChannelGroupDefault(platform::Scheduler& scheduler, std::shared_ptr<IngestionProtocol> ingestion,
                        std::shared_ptr<Storage> storage);

    std::vector<std::shared_ptr<ChannelDelegate>> delegates() const { return delegates_.snapshot(); }

    platform::Scheduler& scheduler_;
    std::shared_ptr<IngestionProtocol> ingestion_;
    std::shared_ptr<Storage> storage_;
    std::shared_ptr<platform::Queue> queue_;
    WeakSet<ChannelDelegate> delegates_;
    mutable std::mutex channelsMutex_;
    std::vector<std::shared_ptr<ChannelUnitProtocol>> channels_;
};

} // namespace beacon
