#include "platform/dispatch/ThreadScheduler.h"

#include <algorithm>

namespace platform {

namespace {

// The shared state of a worker queue's threads; set while a thread runs one
// of its tasks, so isCurrent() holds even after the queue object is gone.
struct WorkerCore;
thread_local const WorkerCore* currentCore = nullptr;

// What the worker threads use. The threads own it together with the queue,
// so a queue whose last reference goes away inside one of its own tasks is
// freed at once while its thread finishes that task (and any pending work)
// on this state, then ends.
struct WorkerCore {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Task> tasks;
    bool stopping = false;

    static void work(const std::shared_ptr<WorkerCore>& core) {
        currentCore = core.get();
        std::unique_lock lock(core->mutex);
        for (;;) {
            core->wake.wait(lock, [&] { return core->stopping || !core->tasks.empty(); });
            if (core->tasks.empty()) break;
            Task task = std::move(core->tasks.front());
            core->tasks.pop_front();
            lock.unlock();
            task();
            // Destroyed unlocked: its captures may hold the last reference to
            // the queue, whose destructor takes the mutex.
            task = nullptr;
            lock.lock();
        }
        currentCore = nullptr;
    }
};

// Runs tasks on `threads` worker threads (one for a serial queue). Pending
// work is finished before the workers stop.
class WorkerQueue : public PostingQueue {
public:
    WorkerQueue(std::string label, TimerService& timers, unsigned threads)
        : PostingQueue(std::move(label), timers), core_(std::make_shared<WorkerCore>()) {
        for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([core = core_] { WorkerCore::work(core); });
    }
    ~WorkerQueue() override {
        {
            std::lock_guard lock(core_->mutex);
            core_->stopping = true;
        }
        core_->wake.notify_all();
        for (auto& t : workers_) {
            // The last reference went away inside one of our own tasks: that
            // thread cannot be joined from itself; it keeps the core alive,
            // finishes the pending work and ends on its own.
            if (t.get_id() == std::this_thread::get_id()) t.detach();
            else t.join();
        }
    }
    bool isCurrent() const override { return currentCore == core_.get(); }

protected:
    void post(Task task) override {
        {
            std::lock_guard lock(core_->mutex);
            core_->tasks.push_back(std::move(task));
        }
        core_->wake.notify_one();
    }

private:
    std::shared_ptr<WorkerCore> core_;
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
    // A timer falling due now would post into a queue going away.
    timers_->stop();
    global_.reset();
    main_.reset();
    timers_.reset();
}

std::shared_ptr<Queue> ThreadScheduler::makeSerialQueue(const std::string& label) {
    return std::make_shared<WorkerQueue>(label, *timers_, 1);
}

} // namespace platform
