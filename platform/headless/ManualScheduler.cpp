#include "platform/headless/ManualScheduler.h"

#include <atomic>

namespace platform {

struct ManualScheduler::TimerState : Timer {
    double interval = 0;
    bool repeats = false;
    std::atomic<bool> cancelled{false};
    Task task;
    void cancel() override { cancelled = true; }
    bool isValid() const override { return !cancelled; }
};

class ManualScheduler::ManualQueue : public Queue {
public:
    ManualQueue(ManualScheduler& owner, std::string label, bool isMain)
        : owner_(&owner), label_(std::move(label)), isMain_(isMain) {}

    const std::string& label() const override { return label_; }

    void async(Task task) override {
        if (auto o = owner()) o->enqueue(this, 0, std::move(task), nullptr);
    }
    void after(Seconds delay, Task task) override {
        if (auto o = owner()) o->enqueue(this, std::max(0.0, delay.count()), std::move(task), nullptr);
    }
    void sync(Task task) override {
        if (auto o = owner()) o->runOnQueue(this, task);
        else task();
    }
    std::shared_ptr<Timer> schedule(Seconds interval, bool repeats, Task task) override {
        auto state = std::make_shared<TimerState>();
        state->interval = std::max(0.0, interval.count());
        state->repeats = repeats;
        state->task = std::move(task);
        if (auto o = owner()) o->enqueue(this, state->interval, nullptr, state);
        return state;
    }
    bool isCurrent() const override {
        std::lock_guard lock(ownerMutex_);
        if (!owner_) return false;
        if (owner_->current_ == this) return true;
        return isMain_ && owner_->current_ == nullptr;
    }
    void detach() {
        std::lock_guard lock(ownerMutex_);
        owner_ = nullptr;
    }

private:
    ManualScheduler* owner() const {
        std::lock_guard lock(ownerMutex_);
        return owner_;
    }
    mutable std::mutex ownerMutex_;
    ManualScheduler* owner_;
    std::string label_;
    bool isMain_;
};

ManualScheduler::ManualScheduler(WallTime start)
    : start_(start), main_(std::make_unique<ManualQueue>(*this, "main", true)),
      global_(std::make_unique<ManualQueue>(*this, "global", false)) {}

ManualScheduler::~ManualScheduler() {
    std::lock_guard lock(mutex_);
    for (auto& weak : serials_)
        if (auto q = weak.lock()) q->detach();
    main_->detach();
    global_->detach();
}

WallTime ManualScheduler::defaultStart() {
    // 2026-01-01T00:00:00Z: a fixed, readable origin for virtual time.
    return WallTime(std::chrono::seconds(1767225600));
}

Queue& ManualScheduler::mainQueue() { return *main_; }
Queue& ManualScheduler::globalQueue() { return *global_; }

std::shared_ptr<Queue> ManualScheduler::makeSerialQueue(const std::string& label) {
    auto q = std::make_shared<ManualQueue>(*this, label, false);
    std::lock_guard lock(mutex_);
    serials_.push_back(q);
    return q;
}

WallTime ManualScheduler::now() const {
    std::lock_guard lock(mutex_);
    return start_ + std::chrono::duration_cast<WallTime::duration>(Seconds(clock_));
}

double ManualScheduler::elapsed() const {
    std::lock_guard lock(mutex_);
    return clock_;
}

void ManualScheduler::enqueue(ManualQueue* queue, double delay, Task task, std::shared_ptr<TimerState> timer) {
    // The clock is read under the lock it is advanced under: queues are
    // used from any thread.
    std::lock_guard lock(mutex_);
    items_.emplace(std::make_pair(clock_ + delay, seq_++), Item{queue, std::move(task), std::move(timer)});
}

void ManualScheduler::runOnQueue(ManualQueue* queue, const Task& task) {
    ManualQueue* previous;
    {
        std::lock_guard lock(mutex_);
        previous = current_;
        current_ = queue;
    }
    task();
    std::lock_guard lock(mutex_);
    current_ = previous;
}

std::size_t ManualScheduler::runDue(double limit) {
    std::size_t ran = 0;
    for (;;) {
        Item item;
        {
            std::lock_guard lock(mutex_);
            auto it = items_.begin();
            if (it == items_.end() || it->first.first > limit) break;
            clock_ = std::max(clock_, it->first.first);
            item = std::move(it->second);
            items_.erase(it);
            // Drop work of serial queues that no longer exist.
            bool alive = item.queue == main_.get() || item.queue == global_.get();
            for (auto& weak : serials_)
                if (auto q = weak.lock(); q && q.get() == item.queue) alive = true;
            if (!alive) continue;
        }
        if (item.timer) {
            if (item.timer->cancelled) continue;
            if (item.timer->repeats) {
                // Re-arm before running so that the task may cancel its own timer.
                enqueue(item.queue, std::max(item.timer->interval, 1e-6), nullptr, item.timer);
            } else {
                item.timer->cancelled = true;
            }
            runOnQueue(item.queue, item.timer->task);
        } else {
            runOnQueue(item.queue, item.task);
        }
        ++ran;
    }
    return ran;
}

std::size_t ManualScheduler::runUntilIdle() { return runDue(elapsed()); }

std::size_t ManualScheduler::advance(Seconds delta) {
    double target = elapsed() + std::max(0.0, delta.count());
    std::size_t ran = runDue(target);
    std::lock_guard lock(mutex_);
    clock_ = std::max(clock_, target);
    return ran;
}

std::size_t ManualScheduler::pendingCount() const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const auto& [key, item] : items_)
        if (!item.timer || !item.timer->cancelled) ++n;
    return n;
}

double ManualScheduler::secondsUntilNext() const {
    std::lock_guard lock(mutex_);
    for (const auto& [key, item] : items_)
        if (!item.timer || !item.timer->cancelled) return key.first - clock_;
    return -1.0;
}

} // namespace platform
