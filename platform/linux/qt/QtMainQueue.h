#pragma once

#include "platform/dispatch/TimerService.h"

#include <QObject>
#include <QPointer>

namespace platform::qt {

// The main queue of the desktop program: work posted from any thread runs on
// the Qt GUI thread as a queued call, in posting order. Delays and timers come
// from the scheduler's timer service and land here when due.
class QtMainQueue : public PostingQueue {
public:
    explicit QtMainQueue(TimerService& timers);
    ~QtMainQueue() override;
    bool isCurrent() const override;

protected:
    void post(Task task) override;

private:
    // Lives on the GUI thread; queued calls are delivered through it.
    QObject* context_;
};

} // namespace platform::qt
