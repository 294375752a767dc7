#include "Hotkeys/core/ObjectAssociation.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace Hotkeys {

namespace {
struct Table {
    std::mutex mutex;
    std::map<std::pair<const void*, const void*>, std::any> values;
};
Table& table() {
    static Table* t = new Table; // lives until exit, past static destructors
    return *t;
}
} // namespace

namespace association {

void store(const void* object, const void* key, std::any value) {
    std::any old;
    {
        std::lock_guard lock(table().mutex);
        auto& slot = table().values[{object, key}];
        old = std::exchange(slot, std::move(value));
    }
    // `old` is released here, outside the lock: its destructor may touch associations.
}

std::optional<std::any> load(const void* object, const void* key) {
    std::lock_guard lock(table().mutex);
    auto it = table().values.find({object, key});
    if (it == table().values.end()) return std::nullopt;
    return it->second;
}

void erase(const void* object, const void* key) {
    std::any old;
    {
        std::lock_guard lock(table().mutex);
        auto it = table().values.find({object, key});
        if (it == table().values.end()) return;
        old = std::move(it->second);
        table().values.erase(it);
    }
}

void eraseKey(const void* key) {
    std::vector<std::any> old;
    {
        std::lock_guard lock(table().mutex);
        for (auto it = table().values.begin(); it != table().values.end();) {
            if (it->first.second == key) {
                old.push_back(std::move(it->second));
                it = table().values.erase(it);
            } else {
                ++it;
            }
        }
    }
}

} // namespace association

void clearAssociations(const void* object) {
    std::vector<std::any> old;
    {
        std::lock_guard lock(table().mutex);
        auto& values = table().values;
        auto it = values.lower_bound({object, nullptr});
        while (it != values.end() && it->first.first == object) {
            old.push_back(std::move(it->second));
            it = values.erase(it);
        }
    }
}

} // namespace Hotkeys
