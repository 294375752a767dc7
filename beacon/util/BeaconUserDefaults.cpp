#include "beacon/util/BeaconUserDefaults.h"

#include "beacon/logger/Logger.h"
#include "platform/Paths.h"

#include <mutex>

namespace beacon {

namespace {
std::mutex sharedMutex;
std::shared_ptr<BeaconUserDefaults> sharedInstance;
std::shared_ptr<platform::UserDefaults> standard;
} // namespace

std::shared_ptr<BeaconUserDefaults> BeaconUserDefaults::shared() {
    auto store = standardStore();
    std::lock_guard lock(sharedMutex);
    if (!sharedInstance) sharedInstance = std::make_shared<BeaconUserDefaults>(std::move(store));
    return sharedInstance;
}

void BeaconUserDefaults::resetSharedInstance() {
    std::lock_guard lock(sharedMutex);
    sharedInstance.reset();
}

void BeaconUserDefaults::setStandardStore(std::shared_ptr<platform::UserDefaults> store) {
    std::lock_guard lock(sharedMutex);
    standard = std::move(store);
}

std::shared_ptr<platform::UserDefaults> BeaconUserDefaults::standardStore() {
    std::lock_guard lock(sharedMutex);
    if (!standard) standard = std::make_shared<platform::UserDefaults>(platform::zelvoConfigDir() / "preferences.json");
    return standard;
}

BeaconUserDefaults::BeaconUserDefaults(std::shared_ptr<platform::UserDefaults> store) : store_(std::move(store)) {
    if (!store_) store_ = std::make_shared<platform::UserDefaults>();
}

std::optional<platform::Value> BeaconUserDefaults::objectForKey(const std::string& key) const {
    return store_->object(getBeaconKeyFrom(key));
}

void BeaconUserDefaults::setObject(platform::Value value, const std::string& key) {
    store_->set(getBeaconKeyFrom(key), std::move(value));
}

void BeaconUserDefaults::removeObjectForKey(const std::string& key) { store_->remove(getBeaconKeyFrom(key)); }

void BeaconUserDefaults::migrateKeys(const MigrationTable& table, const std::string& service) {
    const std::string marker = "310" + service + "UserDefaultsMigratedKey";
    if (objectForKey(marker)) return;
    BEACON_LOG_VERBOSE("Migrating the old NSDefaults keys to new ones.");
    for (const auto& [newKey, former] : table) {
        if (const auto* oldKey = std::get_if<std::string>(&former)) {
            swapKeys(*oldKey, newKey, store_->object(*oldKey));
            continue;
        }
        const auto& prefix = std::get<UserDefaultsPrefixKey>(former).keyPrefix();
        for (const auto& stored : store_->storedKeys()) {
            if (stored.size() < prefix.size() || stored.compare(0, prefix.size(), prefix) != 0) continue;
            swapKeys(stored, newKey + stored.substr(prefix.size()), store_->storedObject(stored));
        }
    }
    setObject(true, marker);
}

void BeaconUserDefaults::swapKeys(const std::string& oldKey, const std::string& newKey,
                                  const std::optional<platform::Value>& value) {
    // Moving a key onto itself would remove the value it just wrote.
    if (!value || oldKey == newKey) return;
    store_->set(newKey, *value);
    store_->remove(oldKey);
    BEACON_LOG_VERBOSE("Migrating key ", oldKey, " -> ", newKey);
}

std::string BeaconUserDefaults::getBeaconKeyFrom(const std::string& key) {
    if (key.rfind(kPrefix, 0) == 0)
        BEACON_LOG_ASSERT("Please do not prepend the key with 'Beacon'. It's done automatically.");
    return kPrefix + key;
}

} // namespace beacon
