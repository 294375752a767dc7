#include "beacon/util/BeaconUserDefaults.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

using namespace beacon;
using platform::Value;

TEST(BeaconUserDefaults, StoresEveryKeyWithThePrefix) {
    LogCapture log;
    auto store = std::make_shared<platform::UserDefaults>();
    BeaconUserDefaults defaults(store);
    defaults.setObject(std::string("abc"), "InstallId");
    EXPECT_EQ(store->stringForKey("BeaconInstallId"), "abc");
    EXPECT_FALSE(store->object("InstallId"));
    EXPECT_EQ(defaults.objectForKey("InstallId"), Value("abc"));
    defaults.removeObjectForKey("InstallId");
    EXPECT_FALSE(store->object("BeaconInstallId"));
    EXPECT_EQ(log.count("ASSERT"), 0u);

    // A key that already carries the prefix is reported, and prefixed again.
    EXPECT_EQ(BeaconUserDefaults::getBeaconKeyFrom("BeaconX"), "BeaconBeaconX");
    EXPECT_EQ(log.count("[Beacon] ASSERT: "), 1u);
    EXPECT_EQ(log.count("Please do not prepend the key with 'Beacon'. It's done automatically."), 1u);
}

TEST(BeaconUserDefaults, SharedInstanceUsesTheStandardStoreUntilReset) {
    auto first = std::make_shared<platform::UserDefaults>();
    BeaconUserDefaults::setStandardStore(first);
    BeaconUserDefaults::resetSharedInstance();
    auto shared = BeaconUserDefaults::shared();
    EXPECT_EQ(shared, BeaconUserDefaults::shared());
    shared->setObject(1, "K");
    EXPECT_EQ(first->integerForKey("BeaconK"), 1);

    auto second = std::make_shared<platform::UserDefaults>();
    BeaconUserDefaults::setStandardStore(second);
    EXPECT_EQ(&BeaconUserDefaults::shared()->store(), first.get());
    BeaconUserDefaults::resetSharedInstance();
    EXPECT_EQ(&BeaconUserDefaults::shared()->store(), second.get());
    BeaconUserDefaults::resetSharedInstance();
    BeaconUserDefaults::setStandardStore(nullptr);
}

TEST(BeaconUserDefaults, MigratesFormerKeysOncePerServiceAndOntoTheSameKeyKeepsTheValue) {
    LogCapture log;
    auto store = std::make_shared<platform::UserDefaults>();
    store->set("OldInstallId", std::string("id-1"));
    store->set("OldSession.a", 1);
    store->set("OldSession.b", 2);
    store->set("Unrelated", true);
    BeaconUserDefaults defaults(store);
    const BeaconUserDefaults::MigrationTable table{
        {"BeaconInstallId", std::string("OldInstallId")},
        {"BeaconSession", UserDefaultsPrefixKey("OldSession")},
        {"BeaconMissing", std::string("NeverStored")},
    };

    defaults.migrateKeys(table, "Analytics");
    EXPECT_EQ(store->stringForKey("BeaconInstallId"), "id-1");
    EXPECT_EQ(store->integerForKey("BeaconSession.a"), 1);
    EXPECT_EQ(store->integerForKey("BeaconSession.b"), 2);
    EXPECT_FALSE(store->object("OldInstallId"));
    EXPECT_FALSE(store->object("OldSession.a"));
    EXPECT_FALSE(store->object("BeaconMissing"));
    EXPECT_TRUE(store->boolForKey("Unrelated"));
    EXPECT_EQ(store->object("Beacon310AnalyticsUserDefaultsMigratedKey"), Value(true));
    EXPECT_EQ(log.count("Migrating the old NSDefaults keys to new ones."), 1u);
    EXPECT_EQ(log.count("Migrating key OldInstallId -> BeaconInstallId"), 1u);

    // The marker stops a second run for the same service, not for another.
    store->set("OldInstallId", std::string("id-2"));
    defaults.migrateKeys(table, "Analytics");
    EXPECT_EQ(store->stringForKey("BeaconInstallId"), "id-1");
    EXPECT_EQ(store->stringForKey("OldInstallId"), "id-2");
    defaults.migrateKeys(table, "Crashes");
    EXPECT_EQ(store->stringForKey("BeaconInstallId"), "id-2");

    // Migration onto the same key keeps the value.
    store->set("BeaconKeep", 5);
    defaults.migrateKeys({{"BeaconKeep", std::string("BeaconKeep")}}, "S");
    EXPECT_EQ(store->integerForKey("BeaconKeep"), 5);
}
