#pragma once

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/util/BeaconUserDefaults.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace beacon::history_store {

// How many launches a history remembers, this one included: enough for the
// report of a crashed launch sent at one of the next starts, and bounded so
// that the settings do not grow by one entry per launch for ever.
inline constexpr std::size_t kLaunchesKept = 5;

// The history archived under `key` in the telemetry settings, oldest first,
// with room for this launch's entry: the oldest entries beyond
// kLaunchesKept - 1 are dropped. An absent or unreadable archive is an empty
// history.
template <typename T> std::vector<std::shared_ptr<T>> load(const BeaconUserDefaults& store, const std::string& key) {
    std::vector<std::shared_ptr<T>> history;
    auto value = store.objectForKey(key);
    const auto* data = value ? value->asData() : nullptr;
    if (!data) return history;
    auto entries = ArchiverUtil::unarchiveArray<T>(*data);
    if (!entries) return history;
    for (auto& entry : *entries)
        if (entry) history.push_back(std::move(entry));
    std::stable_sort(history.begin(), history.end(),
                     [](const auto& a, const auto& b) { return a->timestamp < b->timestamp; });
    if (history.size() >= kLaunchesKept) history.erase(history.begin(), history.end() - (kLaunchesKept - 1));
    return history;
}

template <typename T>
void save(BeaconUserDefaults& store, const std::string& key, const std::vector<std::shared_ptr<T>>& history) {
    if (auto bytes = ArchiverUtil::archiveKeyedData(history)) store.setObject(platform::Value(std::move(*bytes)), key);
}

} // namespace beacon::history_store
