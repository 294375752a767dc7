#pragma once

#include "beacon/http/Error.h"

#include <memory>
#include <optional>

namespace beacon {

class Analytics;
class EventLog;
class PageLog;

// Told about the sending of event and page logs. Every operation is optional.
// Calls come from the channel group's queue.
class AnalyticsDelegate {
public:
    virtual ~AnalyticsDelegate() = default;
    virtual void willSendEventLog(Analytics& analytics, const std::shared_ptr<EventLog>& log) {}
    virtual void didSucceedSendingEventLog(Analytics& analytics, const std::shared_ptr<EventLog>& log) {}
    virtual void didFailSendingEventLog(Analytics& analytics, const std::shared_ptr<EventLog>& log,
                                        const std::optional<Error>& error) {}
    virtual void willSendPageLog(Analytics& analytics, const std::shared_ptr<PageLog>& log) {}
    virtual void didSucceedSendingPageLog(Analytics& analytics, const std::shared_ptr<PageLog>& log) {}
    virtual void didFailSendingPageLog(Analytics& analytics, const std::shared_ptr<PageLog>& log,
                                       const std::optional<Error>& error) {}
};

} // namespace beacon
