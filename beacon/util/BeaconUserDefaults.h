#pragma once

#include "beacon/util/UserDefaultsPrefixKey.h"
#include "platform/UserDefaults.h"
#include "platform/Value.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace beacon {

// The telemetry settings: a view of the standard preference store in which
// every key is stored with the prefix "Beacon".
class BeaconUserDefaults {
public:
    static constexpr const char* kPrefix = "Beacon";

    // A former key in a migration table: one key, or every key with a prefix.
    using FormerKey = std::variant<std::string, UserDefaultsPrefixKey>;
    // New full key (already prefixed) -> former key.
    using MigrationTable = std::map<std::string, FormerKey>;

    // The process-wide instance over the standard store, made on first use.
    static std::shared_ptr<BeaconUserDefaults> shared();
    static void resetSharedInstance();

    // The application's standard preference store. The application installs
    // its own at start; otherwise the preferences file in Zelvo's config
    // folder is opened on first use. Affects instances made afterwards.
    static void setStandardStore(std::shared_ptr<platform::UserDefaults> store);
    static std::shared_ptr<platform::UserDefaults> standardStore();

    explicit BeaconUserDefaults(std::shared_ptr<platform::UserDefaults> store);

    std::optional<platform::Value> objectForKey(const std::string& key) const;
    void setObject(platform::Value value, const std::string& key);
    void removeObjectForKey(const std::string& key);

    // Moves the values of former keys to their new keys once per service;
    // a marker under the prefix remembers that it was done.
    void migrateKeys(const MigrationTable& table, const std::string& service);
    // Writes `value` under `newKey` (no prefix added) and removes `oldKey`;
    // nothing without a value.
    void swapKeys(const std::string& oldKey, const std::string& newKey, const std::optional<platform::Value>& value);

    // "Beacon" + key. A key that already carries the prefix is a programming
    // error, reported at assert level (the key is prefixed all the same).
    static std::string getBeaconKeyFrom(const std::string& key);

    platform::UserDefaults& store() const { return *store_; }

private:
    std::shared_ptr<platform::UserDefaults> store_;
};

} // namespace beacon
