#include "beacon/util/KeychainUtil.h"

#include "beacon/logger/Logger.h"
#include "beacon/util/BundleInfo.h"

#include <mutex>

namespace beacon {

namespace {
std::mutex storeMutex;
std::shared_ptr<KeychainStore> installed;
} // namespace

void KeychainUtil::setStore(std::shared_ptr<KeychainStore> store) {
    std::lock_guard lock(storeMutex);
    installed = std::move(store);
}

std::shared_ptr<KeychainStore> KeychainUtil::store() {
    std::lock_guard lock(storeMutex);
    if (!installed) installed = makeDefaultKeychainStore();
    return installed;
}

std::string KeychainUtil::defaultServiceName() {
    static const std::string name = mainBundleIdentifier() + "." + "Beacon";
    return name;
}

bool KeychainUtil::storeString(const std::string& value, const std::string& key) {
    return storeString(value, key, defaultServiceName());
}

bool KeychainUtil::storeString(const std::string& value, const std::string& key, const std::string& serviceName) {
    auto keychain = store();
    int status = keychain->add(serviceName, key, value);
    if (status == KeychainStatus::DuplicateItem) {
        keychain->remove(serviceName, key);
        status = keychain->add(serviceName, key, value);
    }
    if (status == KeychainStatus::Success) {
        BEACON_LOG_VERBOSE("Stored a string with key='", key, "', service='", serviceName, "' to keychain.");
        return true;
    }
    BEACON_LOG_WARNING("Failed to store item with key='", key, "', service='", serviceName,
                       "' to keychain. OS Status code ", status);
    return false;
}

std::optional<std::string> KeychainUtil::stringForKey(const std::string& key, int* statusCode) {
    return stringForKey(key, defaultServiceName(), statusCode);
}

std::optional<std::string> KeychainUtil::stringForKey(const std::string& key, const std::string& serviceName,
                                                      int* statusCode) {
    std::string value;
    const int status = store()->copy(serviceName, key, value);
    if (statusCode) *statusCode = status;
    if (status == KeychainStatus::Success) {
        BEACON_LOG_VERBOSE("Retrieved a string with key='", key, "', service='", serviceName, "' from keychain.");
        return value;
    }
    BEACON_LOG_WARNING("Failed to retrieve item with key='", key, "', service='", serviceName,
                       "' from keychain. OS Status code ", status);
    return std::nullopt;
}

std::optional<std::string> KeychainUtil::deleteStringForKey(const std::string& key) {
    return deleteStringForKey(key, defaultServiceName());
}

std::optional<std::string> KeychainUtil::deleteStringForKey(const std::string& key, const std::string& serviceName) {
    auto former = stringForKey(key, serviceName, nullptr);
    if (!former) return std::nullopt;
    const int status = store()->remove(serviceName, key);
    if (status == KeychainStatus::Success) {
        BEACON_LOG_VERBOSE("Deleted a string with key='", key, "', service='", serviceName, "' from keychain.");
        return former;
    }
    BEACON_LOG_WARNING("Failed to delete item with key='", key, "', service='", serviceName,
                       "' from keychain. OS Status code ", status);
    return std::nullopt;
}

bool KeychainUtil::clear() { return store()->removeAll(defaultServiceName()) == KeychainStatus::Success; }

} // namespace beacon
