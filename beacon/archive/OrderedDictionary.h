#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace beacon {

// A string-keyed dictionary that enumerates its keys in the order they were
// first inserted. Writing an existing key replaces its value and keeps its
// place. Two ordered dictionaries are equal only when they hold equal values
// under the same keys in the same order.
template <typename V> class OrderedDictionary {
public:
    OrderedDictionary() = default;
    explicit OrderedDictionary(std::size_t capacity) { order_.reserve(capacity); }

    void setObject(V value, const std::string& key) {
        auto it = dictionary_.find(key);
        if (it == dictionary_.end()) {
            order_.push_back(key);
            dictionary_.emplace(key, std::move(value));
        } else {
            it->second = std::move(value);
        }
    }

    // Null when the key has no value.
    const V* objectForKey(const std::string& key) const {
        auto it = dictionary_.find(key);
        return it == dictionary_.end() ? nullptr : &it->second;
    }

    // The keys in first-insertion order.
    const std::vector<std::string>& keys() const { return order_; }
    std::size_t count() const { return dictionary_.size(); }
    bool empty() const { return dictionary_.empty(); }

    void removeAllObjects() {
        dictionary_.clear();
        order_.clear();
    }

    // Visits (key, value) pairs in key order.
    template <typename F> void forEach(F&& visit) const {
        for (const auto& key : order_) visit(key, dictionary_.at(key));
    }

    bool operator==(const OrderedDictionary& other) const {
        return order_ == other.order_ && dictionary_ == other.dictionary_;
    }

private:
    std::map<std::string, V> dictionary_;
    std::vector<std::string> order_;
};

} // namespace beacon
