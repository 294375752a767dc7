#pragma once

#include "beacon/channel/ChannelDelegate.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace beacon {

class HttpClientProtocol;
class IngestionProtocol;

// The sequence of the common-schema logs of one instrumentation key: an
// epoch fixed when created and a counter.
struct CSEpochAndSeq {
    std::string epoch;
    std::int64_t seq = 0;
};

// Shadows every unit with a twin ("<group id>/one") that sends, through the
// Collector ingestion, the common-schema copies of logs carrying
// transmission target tokens. Such logs are filtered from their own unit;
// common-schema logs go only through "/one" units, and only with a valid name.
class CollectorChannelDelegate : public ChannelDelegate {
public:
    static constexpr const char* kCollectorGroupIdSuffix = "/one";
    static constexpr const char* kLogNamePattern = "^[a-zA-Z0-9]((\\.(?!(\\.|$)))|[_a-zA-Z0-9]){3,99}$";

    // A Collector ingestion on `httpClient` to `baseUrl`.
    CollectorChannelDelegate(std::shared_ptr<HttpClientProtocol> httpClient, std::string installId,
                             std::string baseUrl);
    CollectorChannelDelegate(std::shared_ptr<IngestionProtocol> collectorIngestion, std::string installId);

    // Moves the Collector ingestion to another origin.
    void setLogUrl(const std::string& logUrl);
    std::shared_ptr<IngestionProtocol> collectorIngestion() const { return collectorIngestion_; }
    // The twin of a source group id, else null.
    std::shared_ptr<ChannelUnitProtocol> collectorChannel(const std::string& groupId) const;
    std::optional<CSEpochAndSeq> epochAndSeq(const std::string& iKey) const;

    // A valid common-schema log name; an invalid one is logged at error level.
    static bool validateLogName(const std::optional<std::string>& name);
    static bool isCollectorGroupId(const std::string& groupId);

    void channelGroupDidAddChannelUnit(ChannelGroupProtocol& channelGroup,
                                       const std::shared_ptr<ChannelUnitProtocol>& channel) override;
    void channelPrepareLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) override;
    void channelDidPrepareLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                              const std::string& internalId, LogFlags flags) override;
    bool channelUnitShouldFilterLog(ChannelUnitProtocol& channelUnit, const std::shared_ptr<AbstractLog>& log) override;
    void channelDidSetEnabled(ChannelProtocol& channel, bool isEnabled, bool deletedData) override;
    void channelDidPauseWithIdentifyingObject(ChannelProtocol& channel,
                                              const std::shared_ptr<const void>& identifyingObject) override;
    void channelDidResumeWithIdentifyingObject(ChannelProtocol& channel,
                                               const std::shared_ptr<const void>& identifyingObject) override;

private:
    std::shared_ptr<ChannelUnitProtocol> twinOf(ChannelProtocol& channel) const;

    std::shared_ptr<IngestionProtocol> collectorIngestion_;
    std::string installId_;
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<ChannelUnitProtocol>> collectorChannels_;
    std::map<std::string, CSEpochAndSeq> epochsAndSeqsByIKey_;
};

} // namespace beacon
