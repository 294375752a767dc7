#include "beacon/util/FallbackKeychainStore.h"

#include "beacon/logger/Logger.h"

namespace beacon {

FallbackKeychainStore::FallbackKeychainStore(Connector connectPrimary, std::shared_ptr<KeychainStore> fallback)
    : connectPrimary_(std::move(connectPrimary)), fallback_(std::move(fallback)) {}

std::shared_ptr<KeychainStore> FallbackKeychainStore::primary() {
    std::lock_guard lock(mutex_);
    if (!primary_ && connectPrimary_) primary_ = connectPrimary_();
    return primary_;
}

int FallbackKeychainStore::add(const std::string& service, const std::string& account, const std::string& value) {
    auto preferred = primary();
    if (!preferred) return fallback_->add(service, account, value);
    // An item still in the file counts as present: it is moved, not shadowed.
    std::string existing;
    if (fallback_->copy(service, account, existing) == KeychainStatus::Success) return KeychainStatus::DuplicateItem;
    return preferred->add(service, account, value);
}

int FallbackKeychainStore::copy(const std::string& service, const std::string& account, std::string& value) {
    auto preferred = primary();
    int status = KeychainStatus::ItemNotFound;
    if (preferred) {
        status = preferred->copy(service, account, value);
        if (status != KeychainStatus::ItemNotFound) return status;
    }
    const int fileStatus = fallback_->copy(service, account, value);
    if (fileStatus != KeychainStatus::Success || !preferred) return fileStatus;
    // Written while the Secret Service was not up: move it there. The file
    // copy goes only once the Secret Service holds the item.
    int moved = preferred->add(service, account, value);
    if (moved == KeychainStatus::DuplicateItem) moved = KeychainStatus::Success;
    if (moved == KeychainStatus::Success) {
        fallback_->remove(service, account);
        BEACON_LOG_DEBUG("Moved the item with key='", account, "' from the key file to the Secret Service.");
    }
    return KeychainStatus::Success;
}

int FallbackKeychainStore::remove(const std::string& service, const std::string& account) {
    auto preferred = primary();
    const int fileStatus = fallback_->remove(service, account);
    if (!preferred) return fileStatus;
    const int status = preferred->remove(service, account);
    if (status == KeychainStatus::ItemNotFound) return fileStatus;
    return status;
}

int FallbackKeychainStore::removeAll(const std::string& service) {
    auto preferred = primary();
    const int fileStatus = fallback_->removeAll(service);
    if (!preferred) return fileStatus;
    const int status = preferred->removeAll(service);
    if (status == KeychainStatus::ItemNotFound) return fileStatus;
    return status;
}

} // namespace beacon
