#pragma once

#include "platform/Scheduler.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

// A scheduler driven by a virtual clock, for tests. Nothing runs until the
// test calls runUntilIdle() or advance(); all queues run on the calling
// thread, each task at its due virtual time, in due-time then submission
// order. Outside any task the calling thread counts as the main thread.
class ManualScheduler : public Scheduler {
public:
    explicit ManualScheduler(WallTime start = defaultStart());
    ~ManualScheduler() override;

    Queue& mainQueue() override;
    Queue& globalQueue() override;
    std::shared_ptr<Queue> makeSerialQueue(const std::string& label) override;
    WallTime now() const override;

    // Virtual seconds since construction.
    double elapsed() const;
    // Runs everything due at the current time, including what that work
    // submits for the current time. Returns the number of tasks run.
    std::size_t runUntilIdle();
    // Moves the clock forward by `delta`, running every task that falls due on
    // the way at its own time.
    std::size_t advance(Seconds delta);
    // Tasks and live timers waiting, whenever due.
    std::size_t pendingCount() const;
    // Seconds until the next task falls due; negative when none is waiting.
    double secondsUntilNext() const;

    static WallTime defaultStart();

    class ManualQueue;

private:
    friend class ManualQueue;
    struct TimerState;
    struct Item {
        ManualQueue* queue;
        Task task;
        std::shared_ptr<TimerState> timer;
    };
    // Runs `delay` virtual seconds from now.
    void enqueue(ManualQueue* queue, double delay, Task task, std::shared_ptr<TimerState> timer);
    std::size_t runDue(double limit);
    void runOnQueue(ManualQueue* queue, const Task& task);

    mutable std::recursive_mutex mutex_;
    WallTime start_;
    double clock_ = 0.0;
    std::uint64_t seq_ = 0;
    std::multimap<std::pair<double, std::uint64_t>, Item> items_;
    ManualQueue* current_ = nullptr;
    std::unique_ptr<ManualQueue> main_;
    std::unique_ptr<ManualQueue> global_;
    std::vector<std::weak_ptr<ManualQueue>> serials_;
};

} // namespace platform
