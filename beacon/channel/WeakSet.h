#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace beacon {

// A set of weakly held objects compared by identity, guarded by its own lock.
// Objects that died drop out; callers work on snapshots of the live ones.
template <typename T> class WeakSet {
public:
    // False when the object was already there.
    bool add(const std::shared_ptr<T>& object) {
        if (!object) return false;
        std::lock_guard lock(mutex_);
        purgeLocked();
        if (containsLocked(object.get())) return false;
        items_.push_back(object);
        return true;
    }
    bool remove(const T* object) {
        std::lock_guard lock(mutex_);
        purgeLocked();
        auto it = std::find_if(items_.begin(), items_.end(),
                               [object](const std::weak_ptr<T>& item) { return item.lock().get() == object; });
        if (it == items_.end()) return false;
        items_.erase(it);
        return true;
    }
    bool contains(const T* object) const {
        std::lock_guard lock(mutex_);
        return containsLocked(object);
    }
    // The live objects, in insertion order.
    std::vector<std::shared_ptr<T>> snapshot() const {
        std::lock_guard lock(mutex_);
        std::vector<std::shared_ptr<T>> live;
        for (const auto& item : items_)
            if (auto object = item.lock()) live.push_back(std::move(object));
        return live;
    }
    bool empty() const { return snapshot().empty(); }
    std::size_t size() const { return snapshot().size(); }

private:
    bool containsLocked(const T* object) const {
        return std::any_of(items_.begin(), items_.end(),
                           [object](const std::weak_ptr<T>& item) { return item.lock().get() == object; });
    }
    void purgeLocked() {
        items_.erase(std::remove_if(items_.begin(), items_.end(), [](const auto& item) { return item.expired(); }),
                     items_.end());
    }

    mutable std::mutex mutex_;
    std::vector<std::weak_ptr<T>> items_;
};

} // namespace beacon
