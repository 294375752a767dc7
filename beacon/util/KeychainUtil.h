#pragma once

#include "beacon/util/KeychainStore.h"

#include <memory>
#include <optional>
#include <string>

namespace beacon {

// String values in the keychain under a service (by default the
// application's identifier followed by ".Beacon") and an account (the key).
class KeychainUtil {
public:
    // The keychain all operations use; made with makeDefaultKeychainStore()
    // on first use unless one was installed. Null drops the installed one.
    static void setStore(std::shared_ptr<KeychainStore> store);
    static std::shared_ptr<KeychainStore> store();

    static std::string defaultServiceName();

    // Adds the item, replacing an existing one.
    static bool storeString(const std::string& value, const std::string& key);
    static bool storeString(const std::string& value, const std::string& key, const std::string& serviceName);
    // The stored string; `statusCode` (when given) receives the outcome.
    static std::optional<std::string> stringForKey(const std::string& key, int* statusCode = nullptr);
    static std::optional<std::string> stringForKey(const std::string& key, const std::string& serviceName,
                                                   int* statusCode);
    // Deletes the item and returns its former value; nothing when there was none.
    static std::optional<std::string> deleteStringForKey(const std::string& key);
    static std::optional<std::string> deleteStringForKey(const std::string& key, const std::string& serviceName);
    // Deletes every item of the default service; true when that succeeded.
    static bool clear();
};

} // namespace beacon
