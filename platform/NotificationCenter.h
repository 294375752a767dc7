#pragma once

#include <any>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class Queue;

struct Notification {
    std::string name;
    const void* object = nullptr;
    std::map<std::string, std::any> userInfo;

    // The user-info value under `key` when it holds a T, else nullptr.
    template <typename T> const T* info(const std::string& key) const {
        auto it = userInfo.find(key);
        return it == userInfo.end() ? nullptr : std::any_cast<T>(&it->second);
    }
};

using ObserverId = std::uint64_t;

// A name -> observers centre. Observers are called on the posting thread, or
// asynchronously on the queue they were added with. An observer removed while
// a post is being delivered is not called afterwards.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    // `name` empty: every name; `object` null: any sender.
    ObserverId addObserver(std::string name, const void* object, Handler handler, Queue* queue = nullptr);
    void removeObserver(ObserverId id);
    void post(const Notification& notification);
    void post(std::string name, const void* object = nullptr, std::map<std::string, std::any> userInfo = {});
    std::size_t observerCount() const;

private:
    struct Entry {
        ObserverId id;
        std::string name;
        const void* object;
        std::shared_ptr<Handler> handler;
        Queue* queue;
        std::shared_ptr<std::atomic<bool>> alive;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    ObserverId nextId_ = 1;
};

// Removes its observer when destroyed: a subscription handle.
class Subscription {
public:
    Subscription() = default;
    Subscription(NotificationCenter& center, ObserverId id) : center_(&center), id_(id) {}
    Subscription(Subscription&& other) noexcept { *this = std::move(other); }
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            cancel();
            center_ = other.center_;
            id_ = other.id_;
            other.center_ = nullptr;
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { cancel(); }
    void cancel() {
        if (center_) center_->removeObserver(id_);
        center_ = nullptr;
    }

private:
    NotificationCenter* center_ = nullptr;
    ObserverId id_ = 0;
};

} // namespace platform
