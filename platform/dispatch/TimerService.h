#pragma once

#include "platform/Scheduler.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

// One thread that waits for due times and hands each due task to the queue
// it belongs to. Shared by every real queue for after() and timers.
class TimerService {
public:
    using Post = std::function<void(Task)>;

    TimerService();
    ~TimerService();
    TimerService(const TimerService&) = delete;
    TimerService& operator=(const TimerService&) = delete;

    // `post` delivers the task to its queue when due.
    std::shared_ptr<Timer> schedule(Seconds interval, bool repeats, Task task, Post post);
    // Ends the thread: nothing is posted any more, whatever falls due later.
    // The queues can then go before the service does. Idempotent.
    void stop();

private:
    struct State;
    void run();
    void arm(std::chrono::steady_clock::time_point due, std::shared_ptr<State> state);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::multimap<std::pair<std::chrono::steady_clock::time_point, std::uint64_t>, std::shared_ptr<State>> due_;
    std::uint64_t seq_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

// A queue that only knows how to post a task; delays, timers and sync are
// built on that and the timer service. The Qt main queue and the serial
// queues derive from it.
class PostingQueue : public Queue, public std::enable_shared_from_this<PostingQueue> {
public:
    PostingQueue(std::string label, TimerService& timers) : label_(std::move(label)), timers_(timers) {}
    const std::string& label() const override { return label_; }
    void async(Task task) override { post(std::move(task)); }
    void after(Seconds delay, Task task) override;
    void sync(Task task) override;
    std::shared_ptr<Timer> schedule(Seconds interval, bool repeats, Task task) override;

protected:
    virtual void post(Task task) = 0;
    TimerService& timers() { return timers_; }

private:
    TimerService::Post poster();
    std::string label_;
    TimerService& timers_;
};

} // namespace platform
