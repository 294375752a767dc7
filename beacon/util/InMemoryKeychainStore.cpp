#include "beacon/util/InMemoryKeychainStore.h"

namespace beacon {

int InMemoryKeychainStore::add(const std::string& service, const std::string& account, const std::string& value) {
    std::lock_guard lock(mutex_);
    return items_.emplace(std::make_pair(service, account), value).second ? KeychainStatus::Success
                                                                          : KeychainStatus::DuplicateItem;
}

int InMemoryKeychainStore::copy(const std::string& service, const std::string& account, std::string& value) {
    std::lock_guard lock(mutex_);
    auto it = items_.find({service, account});
    if (it == items_.end()) return KeychainStatus::ItemNotFound;
    value = it->second;
    return KeychainStatus::Success;
}

int InMemoryKeychainStore::remove(const std::string& service, const std::string& account) {
    std::lock_guard lock(mutex_);
    return items_.erase({service, account}) ? KeychainStatus::Success : KeychainStatus::ItemNotFound;
}

int InMemoryKeychainStore::removeAll(const std::string& service) {
    std::lock_guard lock(mutex_);
    std::size_t removed = std::erase_if(items_, [&](const auto& item) { return item.first.first == service; });
    return removed ? KeychainStatus::Success : KeychainStatus::ItemNotFound;
}

std::size_t InMemoryKeychainStore::size() const {
    std::lock_guard lock(mutex_);
    return items_.size();
}

} // namespace beacon
