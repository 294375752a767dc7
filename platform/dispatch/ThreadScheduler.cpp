#include "platform/dispatch/ThreadScheduler.h"

#include <algorithm>

namespace platform {

namespace {

thread_local const Queue* currentQueue = nullptr;

// Runs tasks on `threads` worker threads (one for a serial queue). Pending
// work is finished before the workers stop.
class WorkerQueue : public PostingQueue {
public:
    WorkerQueue(std::string label, TimerService& timers, unsigned threads) : PostingQueue(std::move(label), timers) {
        for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
    }
    ~WorkerQueue() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (auto& t : workers_) {
            if (t.get_id() == std::this_thread::get_id())
                t.detach(); // the last reference went away inside one of our own tasks
            else t.join();
        }
    }
    bool isCurrent() const override { return currentQueue == this; }

protected:
    void post(Task task) override {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        wake_.notify_one();
    }

private:
    void work() {
        currentQueue = this;
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) return;
            Task task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

} // namespace

RunLoopQueue::RunLoopQueue(TimerService& timers) : PostingQueue("main", timers), owner_(std::this_thread::get_id()) {}

bool RunLoopQueue::isCurrent() const { return std::this_thread::get_id() == owner_; }

void RunLoopQueue::post(Task task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void RunLoopQueue::run() {
    std::unique_lock lock(mutex_);
    stopping_ = false;
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        if (stopping_) return;
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

void RunLoopQueue::drain() {
    std::deque<Task> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(tasks_);
    }
    for (auto& t : batch) t();
}

void RunLoopQueue::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
}

ThreadScheduler::ThreadScheduler(MainQueueFactory mainFactory, unsigned globalThreads)
    : timers_(std::make_unique<TimerService>()) {
    if (mainFactory) main_ = mainFactory(*timers_);
    else main_ = std::make_unique<RunLoopQueue>(*timers_);
    if (globalThreads == 0) globalThreads = std::clamp(std::thread::hardware_concurrency(), 2u, 8u);
    global_ = std::make_shared<WorkerQueue>("global", *timers_, globalThreads);
}

ThreadScheduler::~ThreadScheduler() {
    global_.reset();
    main_.reset();
    timers_.reset();
}

std::shared_ptr<Queue> ThreadScheduler::makeSerialQueue(const std::string& label) {
    return std::make_shared<WorkerQueue>(label, *timers_, 1);
}

} // namespace platform
