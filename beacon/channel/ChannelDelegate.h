#pragma once

#include "beacon/http/Error.h"
#include "beacon/model/LogFlags.h"

#include <memory>
#include <optional>
#include <string>

namespace beacon {

class AbstractLog;
class ChannelProtocol;
class ChannelGroupProtocol;
class ChannelUnitProtocol;

// Observes channels: how logs are prepared, persisted and sent, and how
// channels are enabled, paused and added. Every operation is optional: the
// defaults do nothing (and filter nothing), so a delegate overrides only what
// it needs.
//
// prepareLog, didPrepareLog run on the thread that enqueued the log (a
// delegate may modify the log there or enqueue copies elsewhere); all the
// other calls come from the channel group's queue, except didAddChannelUnit,
// which comes from the thread that added the unit.
class ChannelDelegate {
public:
    virtual ~ChannelDelegate() = default;

    virtual void channelGroupDidAddChannelUnit(ChannelGroupProtocol& channelGroup,
                                               const std::shared_ptr<ChannelUnitProtocol>& channel) {}
    virtual void channelPrepareLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) {}
    virtual void channelDidPrepareLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                                      const std::string& internalId, LogFlags flags) {}
    virtual void channelDidCompleteEnqueueingLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                                                 const std::string& internalId) {}
    virtual void channelWillSendLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) {}
    virtual void channelDidSucceedSendingLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) {}
    // `error` is absent when the server answered with a failure status.
    virtual void channelDidFailSendingLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log,
                                          const std::optional<Error>& error) {}
    virtual void channelDidSetEnabled(ChannelProtocol& channel, bool isEnabled, bool deletedData) {}
    virtual void channelDidPauseWithIdentifyingObject(ChannelProtocol& channel,
                                                      const std::shared_ptr<const void>& identifyingObject) {}
    virtual void channelDidResumeWithIdentifyingObject(ChannelProtocol& channel,
                                                       const std::shared_ptr<const void>& identifyingObject) {}
    // True keeps the log from being stored and sent by this unit.
    virtual bool channelUnitShouldFilterLog(ChannelUnitProtocol& channelUnit, const std::shared_ptr<AbstractLog>& log) {
        return false;
    }
};

} // namespace beacon
