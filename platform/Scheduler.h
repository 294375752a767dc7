#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace platform {

using Seconds = std::chrono::duration<double>;
using Task = std::function<void()>;
using WallTime = std::chrono::system_clock::time_point;

// A one-shot or repeating timer. Cancelling is idempotent and may be done
// from any thread; a cancelled timer never fires again.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void cancel() = 0;
    virtual bool isValid() const = 0;
};

// A queue of work: the main queue, a named serial queue or the global
// (concurrent) queue. Work submitted with async runs in submission order on
// serial queues.
class Queue {
public:
    virtual ~Queue() = default;
    virtual const std::string& label() const = 0;
    virtual void async(Task task) = 0;
    // Runs the task once, `delay` from now.
    virtual void after(Seconds delay, Task task) = 0;
    // Runs the task on this queue and returns when it has finished. Called
    // from a task already running on this queue, it runs the task inline.
    virtual void sync(Task task) = 0;
    // A timer whose first firing is `interval` from now; a repeating one then
    // fires every `interval` until cancelled.
    virtual std::shared_ptr<Timer> schedule(Seconds interval, bool repeats, Task task) = 0;
    // True while the calling thread runs a task of this queue (for the main
    // queue: while on the main thread).
    virtual bool isCurrent() const = 0;
};

// The single place through which everything that waits goes. The real one is
// backed by threads (and the Qt event loop for the main queue); tests use the
// manual one with a virtual clock.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    virtual Queue& mainQueue() = 0;
    virtual Queue& globalQueue() = 0;
    virtual std::shared_ptr<Queue> makeSerialQueue(const std::string& label) = 0;
    // The current wall-clock time (virtual in tests).
    virtual WallTime now() const = 0;
};

} // namespace platform
