#pragma once

#include "platform/Scheduler.h"
#include "platform/dispatch/TimerService.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

// A main queue for programs without a GUI event loop: the thread that
// created it runs the posted work inside run().
class RunLoopQueue : public PostingQueue {
public:
    explicit RunLoopQueue(TimerService& timers);
    bool isCurrent() const override;
    // Runs posted work until stop() is called.
    void run();
    // Runs the work posted so far, then returns.
    void drain();
    void stop();

protected:
    void post(Task task) override;

private:
    std::thread::id owner_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    bool stopping_ = false;
};

// The real scheduler: a timer thread, one thread per serial queue, a small
// pool for the global queue, and a main queue supplied by the embedder (the
// Qt event loop in the application; a RunLoopQueue otherwise).
class ThreadScheduler : public Scheduler {
public:
    // Builds the main queue from the scheduler's timer service; by default a
    // RunLoopQueue owned by the constructing thread.
    using MainQueueFactory = std::function<std::unique_ptr<Queue>(TimerService&)>;
    explicit ThreadScheduler(MainQueueFactory mainFactory = {}, unsigned globalThreads = 0);
    ~ThreadScheduler() override;

    Queue& mainQueue() override { return *main_; }
    Queue& globalQueue() override { return *global_; }
    std::shared_ptr<Queue> makeSerialQueue(const std::string& label) override;
    WallTime now() const override { return std::chrono::system_clock::now(); }
    TimerService& timerService() { return *timers_; }

private:
    std::unique_ptr<TimerService> timers_;
    std::unique_ptr<Queue> main_;
    std::shared_ptr<Queue> global_;
};

} // namespace platform
