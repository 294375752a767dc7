#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace Hotkeys {

// An unbounded stream of values from a producer to one consumer. The
// consumer either pulls with next() or sets a receiver with forEach(). The
// stream ends when the consumer cancels it or drops it; the producer learns
// of it through the termination action, called once.
template <typename T> class AsyncStream {
public:
    struct Channel {
        std::mutex mutex;
        std::deque<T> buffer;
        std::function<void(const T&)> receiver;
        std::function<void()> onTermination;
        bool terminated = false;

        // Producer side: false once the stream has ended.
        bool yield(const T& value) {
            std::function<void(const T&)> receiverCopy;
            {
                std::lock_guard lock(mutex);
                if (terminated) return false;
                if (!receiver) {
                    buffer.push_back(value);
                    return true;
                }
                receiverCopy = receiver;
            }
            receiverCopy(value);
            return true;
        }
        void finish() {
            std::function<void()> action;
            {
                std::lock_guard lock(mutex);
                if (terminated) return;
                terminated = true;
                buffer.clear();
                receiver = nullptr;
                action = std::move(onTermination);
            }
            if (action) action();
        }
    };

    explicit AsyncStream(std::shared_ptr<Channel> channel) : channel_(std::move(channel)) {}
    AsyncStream(AsyncStream&&) noexcept = default;
    AsyncStream& operator=(AsyncStream&& other) noexcept {
        if (this != &other) {
            cancel();
            channel_ = std::move(other.channel_);
        }
        return *this;
    }
    ~AsyncStream() { cancel(); }

    // The oldest value not yet consumed, or nothing.
    std::optional<T> next() {
        if (!channel_) return std::nullopt;
        std::lock_guard lock(channel_->mutex);
        if (channel_->buffer.empty()) return std::nullopt;
        T value = std::move(channel_->buffer.front());
        channel_->buffer.pop_front();
        return value;
    }
    // Delivers the buffered values at once, then each new one as it comes.
    void forEach(std::function<void(const T&)> receiver) {
        if (!channel_) return;
        std::deque<T> pending;
        {
            std::lock_guard lock(channel_->mutex);
            if (channel_->terminated) return;
            pending.swap(channel_->buffer);
        }
        for (const auto& v : pending) receiver(v);
        std::lock_guard lock(channel_->mutex);
        if (!channel_->terminated) channel_->receiver = std::move(receiver);
    }
    void cancel() {
        if (channel_) channel_->finish();
    }
    bool isTerminated() const {
        if (!channel_) return true;
        std::lock_guard lock(channel_->mutex);
        return channel_->terminated;
    }

private:
    std::shared_ptr<Channel> channel_;
};

} // namespace Hotkeys
