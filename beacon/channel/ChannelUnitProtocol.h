#pragma once

#include "beacon/channel/ChannelProtocol.h"
#include "beacon/channel/ChannelUnitConfiguration.h"
#include "beacon/model/LogFlags.h"

#include <memory>
#include <string>

namespace platform {
class Queue;
}

namespace beacon {

class AbstractLog;

// The pipeline of one log group: stamps, validates and persists each log,
// then sends the stored logs in batches.
class ChannelUnitProtocol : public ChannelProtocol {
public:
    // Fills the timestamp, device and data residency region when missing,
    // validates the log and lets the delegates prepare it on the calling
    // thread; storing and sending continue on the group's queue.
    virtual void enqueueItem(const std::shared_ptr<AbstractLog>& item, LogFlags flags) = 0;
    // Holds back the stored common-schema logs of the token's target.
    virtual void pauseSendingLogsWithToken(const std::string& token) = 0;
    virtual void resumeSendingLogsWithToken(const std::string& token) = 0;
    // Sends at once when a full batch waits, else (re)starts the flush timer.
    virtual void checkPendingLogs() = 0;
    virtual const ChannelUnitConfiguration& configuration() const = 0;
    virtual std::shared_ptr<platform::Queue> logsDispatchQueue() const = 0;
};

} // namespace beacon
