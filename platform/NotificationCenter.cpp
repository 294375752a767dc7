#include "platform/NotificationCenter.h"

#include "platform/Scheduler.h"

#include <algorithm>

namespace platform {

ObserverId NotificationCenter::addObserver(std::string name, const void* object, Handler handler, Queue* queue) {
    std::lock_guard lock(mutex_);
    ObserverId id = nextId_++;
    entries_.push_back({id, std::move(name), object, std::make_shared<Handler>(std::move(handler)), queue,
                        std::make_shared<std::atomic<bool>>(true)});
    return id;
}

void NotificationCenter::removeObserver(ObserverId id) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; });
    if (it == entries_.end()) return;
    *it->alive = false;
    entries_.erase(it);
}

std::size_t NotificationCenter::observerCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<Entry> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_) {
            if (!e.name.empty() && e.name != notification.name) continue;
            if (e.object && e.object != notification.object) continue;
            matching.push_back(e);
        }
    }
    for (auto& e : matching) {
        if (e.queue) {
            auto copy = std::make_shared<Notification>(notification);
            e.queue->async([handler = e.handler, alive = e.alive, copy] {
                if (*alive) (*handler)(*copy);
            });
        } else {
            bool stillThere;
            {
                std::lock_guard lock(mutex_);
                stillThere = *e.alive;
            }
            if (stillThere) (*e.handler)(notification);
        }
    }
}

void NotificationCenter::post(std::string name, const void* object, std::map<std::string, std::any> userInfo) {
    post(Notification{std::move(name), object, std::move(userInfo)});
}

} // namespace platform
