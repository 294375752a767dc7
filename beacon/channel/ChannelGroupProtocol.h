#pragma once

#include "beacon/channel/ChannelProtocol.h"
#include "beacon/channel/ChannelUnitConfiguration.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace beacon {

class ChannelUnitProtocol;
class IngestionProtocol;

// The channel units of the process: one queue, one store, one default
// ingestion. Group operations reach every unit.
class ChannelGroupProtocol : public ChannelProtocol {
public:
    // A new unit sending through the group's ingestion.
    virtual std::shared_ptr<ChannelUnitProtocol>
    addChannelUnitWithConfiguration(const std::optional<ChannelUnitConfiguration>& configuration) = 0;
    // A new unit sending through `ingestion` (null: the group's).
    virtual std::shared_ptr<ChannelUnitProtocol>
    addChannelUnitWithConfiguration(const std::optional<ChannelUnitConfiguration>& configuration,
                                    std::shared_ptr<IngestionProtocol> ingestion) = 0;
    // Asynchronously on the group's queue; the store calls the completion.
    virtual void setMaxStorageSize(std::int64_t sizeInBytes, std::function<void(bool)> completionHandler) = 0;
    // The first unit of the group id, else null.
    virtual std::shared_ptr<ChannelUnitProtocol> channelUnitForGroupId(const std::string& groupId) const = 0;
    virtual std::string logUrl() const = 0;
    virtual void setLogUrl(const std::string& logUrl) = 0;
    virtual std::optional<std::string> appSecret() const = 0;
    virtual void setAppSecret(const std::optional<std::string>& appSecret) = 0;
};

} // namespace beacon
