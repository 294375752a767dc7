#include "platform/dispatch/TimerService.h"

#include <atomic>
#include <future>

namespace platform {

struct TimerService::State : Timer {
    Seconds interval{0};
    bool repeats = false;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> fired{false};
    std::shared_ptr<Task> task;
    Post post;
    void cancel() override { cancelled = true; }
    bool isValid() const override { return !cancelled && !fired; }
};

TimerService::TimerService() : thread_([this] { run(); }) {}

TimerService::~TimerService() { stop(); }

void TimerService::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

std::shared_ptr<Timer> TimerService::schedule(Seconds interval, bool repeats, Task task, Post post) {
    auto state = std::make_shared<State>();
    state->interval = Seconds(std::max(0.0, interval.count()));
    state->repeats = repeats;
    state->task = std::make_shared<Task>(std::move(task));
    state->post = std::move(post);
    arm(std::chrono::steady_clock::now() +
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(state->interval),
        state);
    return state;
}

void TimerService::arm(std::chrono::steady_clock::time_point due, std::shared_ptr<State> state) {
    {
        std::lock_guard lock(mutex_);
        due_.emplace(std::make_pair(due, seq_++), std::move(state));
    }
    wake_.notify_all();
}

void TimerService::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (due_.empty()) {
            wake_.wait(lock);
            continue;
        }
        auto it = due_.begin();
        auto when = it->first.first;
        if (std::chrono::steady_clock::now() < when) {
            wake_.wait_until(lock, when);
            continue;
        }
        auto state = it->second;
        due_.erase(it);
        if (state->cancelled) continue;
        if (state->repeats) {
            auto step = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                Seconds(std::max(state->interval.count(), 1e-3)));
            due_.emplace(std::make_pair(when + step, seq_++), state);
        } else {
            state->fired = true;
        }
        lock.unlock();
        auto task = state->task;
        state->post([state, task] {
            // A timer cancelled after its task was posted does not run it.
            if (state->cancelled) return;
            (*task)();
        });
        lock.lock();
    }
}

TimerService::Post PostingQueue::poster() {
    std::weak_ptr<PostingQueue> weak = weak_from_this();
    PostingQueue* raw = this;
    // Queues not owned by a shared_ptr (the main queue) outlive their timers.
    bool owned = !weak.expired();
    return [weak, raw, owned](Task task) {
        if (!owned) {
            raw->post(std::move(task));
        } else if (auto q = weak.lock()) {
            q->post(std::move(task));
        }
    };
}

void PostingQueue::after(Seconds delay, Task task) { timers_.schedule(delay, false, std::move(task), poster()); }

std::shared_ptr<Timer> PostingQueue::schedule(Seconds interval, bool repeats, Task task) {
    return timers_.schedule(interval, repeats, std::move(task), poster());
}

void PostingQueue::sync(Task task) {
    if (isCurrent()) {
        task();
        return;
    }
    std::promise<void> done;
    auto future = done.get_future();
    post([&] {
        task();
        done.set_value();
    });
    future.wait();
}

} // namespace platform
