#include "beacon/archive/ArchiverUtil.h"
#include "beacon/context/DeviceTracker.h"
#include "beacon/model/tests/TestSupport.h"
#include "beacon/util/BeaconUserDefaults.h"

#include <gtest/gtest.h>

using namespace beacon;
using namespace std::chrono;

namespace {

class DeviceTrackerTest : public ::testing::Test {
protected:
    void SetUp() override { DeviceTracker::resetSharedInstance(); }
    void TearDown() override { DeviceTracker::resetSharedInstance(); }

    // One launch of the application: a new tracker over the same settings,
    // on a machine whose OS version has changed since the last launch.
    std::shared_ptr<DeviceTracker> launch(int number) {
        Device facts = test::fullDevice();
        facts.osVersion = "6." + std::to_string(number);
        provider->setDeviceInfo(facts);
        now = launchTime(number);
        return std::make_shared<DeviceTracker>(store, provider, [this] { return now; });
    }
    static Date launchTime(int number) { return sys_days{2024y / January / 1} + days{number}; }
    std::vector<std::string> persistedOsVersions() {
        auto value = store->objectForKey(DeviceTracker::kHistoryKey);
        std::vector<std::string> versions;
        if (!value || !value->asData()) return versions;
        auto entries = ArchiverUtil::unarchiveArray<DeviceHistoryInfo>(*value->asData());
        EXPECT_TRUE(entries);
        for (const auto& entry : entries.value_or(std::vector<std::shared_ptr<DeviceHistoryInfo>>{}))
            versions.push_back(entry->device->osVersion.value_or("?"));
        return versions;
    }

    std::shared_ptr<platform::UserDefaults> defaults = std::make_shared<platform::UserDefaults>();
    std::shared_ptr<BeaconUserDefaults> store = std::make_shared<BeaconUserDefaults>(defaults);
    std::shared_ptr<FixedDeviceInfoProvider> provider = std::make_shared<FixedDeviceInfoProvider>(Device{});
    Date now{};
};

} // namespace

TEST_F(DeviceTrackerTest, SixLaunchesKeepTheFiveNewestDevices) {
    for (int i = 1; i <= 6; ++i) launch(i);
    EXPECT_EQ(persistedOsVersions(), (std::vector<std::string>{"6.2", "6.3", "6.4", "6.5", "6.6"}));
    EXPECT_TRUE(defaults->storedObject("BeaconPastDevices")); // under the prefix
}

TEST_F(DeviceTrackerTest, DeviceForTimestampPicksTheDeviceOfThatTime) {
    std::shared_ptr<DeviceTracker> tracker;
    for (int i = 1; i <= 4; ++i) tracker = launch(i);
    auto osOf = [&](std::optional<Date> t) { return tracker->deviceForTimestamp(t)->osVersion.value_or("?"); };
    // A crash between the second and third launch happened on the second's device.
    EXPECT_EQ(osOf(launchTime(2) + 5h), "6.2");
    EXPECT_EQ(osOf(launchTime(3)), "6.2"); // an entry is used only from after its time
    EXPECT_EQ(osOf(launchTime(3) + 1ms), "6.3");
    EXPECT_EQ(osOf(launchTime(0)), "6.1"); // before every entry: the oldest
    EXPECT_EQ(osOf(launchTime(9)), "6.4");
    EXPECT_EQ(osOf(std::nullopt), "6.4");
    EXPECT_EQ(tracker->deviceForTimestamp(std::nullopt), tracker->device());
}

TEST_F(DeviceTrackerTest, BuildsTheDeviceOnceUntilMarkedStale) {
    auto tracker = launch(1);
    auto first = tracker->device();
    EXPECT_EQ(first, tracker->device());
    EXPECT_FALSE(first->carrierName);
    EXPECT_FALSE(first->carrierCountry);
    EXPECT_EQ(tracker->deviceHistory().size(), 1u);

    DeviceTracker::setCountryCode("ch");
    now += 1h;
    auto second = tracker->device();
    EXPECT_NE(first, second);
    EXPECT_EQ(second->carrierCountry, "ch");
    EXPECT_EQ(tracker->deviceHistory().size(), 2u);

    DeviceTracker::refreshDeviceNextTime();
    now += 1h;
    tracker->device();
    EXPECT_EQ(tracker->deviceHistory().size(), 3u);
    EXPECT_EQ(persistedOsVersions().size(), 3u);

    tracker->clearDevices();
    ASSERT_EQ(tracker->deviceHistory().size(), 1u);
    EXPECT_EQ(tracker->deviceHistory()[0]->device, tracker->device());
    EXPECT_EQ(persistedOsVersions().size(), 1u);
}

TEST_F(DeviceTrackerTest, WrapperSdkReplacesTheNewestEntryWithTheRefreshedDevice) {
    launch(1);
    auto tracker = launch(2);
    now += 1min;
    tracker->setWrapperSdk(
        std::make_shared<WrapperSdk>("3.0", "wrapper", std::nullopt, std::nullopt, std::nullopt, std::nullopt));
    auto history = tracker->deviceHistory();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_FALSE(history[0]->device->wrapperSdkName);
    EXPECT_EQ(history[1]->device->wrapperSdkName, "wrapper");
    EXPECT_EQ(tracker->device()->wrapperSdkVersion, "3.0");
    EXPECT_EQ(DeviceTracker::wrapperSdk()->wrapperSdkName, "wrapper");

    DeviceTracker::resetSharedInstance(); // forgets the process-wide facts
    EXPECT_FALSE(DeviceTracker::wrapperSdk());
    EXPECT_FALSE(DeviceTracker::countryCode());
}

TEST_F(DeviceTrackerTest, UnreadableHistoryCountsAsEmpty) {
    store->setObject(platform::Value(platform::Value::Data{1, 2, 3}), DeviceTracker::kHistoryKey);
    auto tracker = launch(1);
    EXPECT_EQ(tracker->deviceHistory().size(), 1u);
    EXPECT_EQ(persistedOsVersions(), std::vector<std::string>{"6.1"});
}

TEST_F(DeviceTrackerTest, SharedInstanceUsesTheDefaultProvider) {
    BeaconUserDefaults::setStandardStore(defaults);
    BeaconUserDefaults::resetSharedInstance();
    Device facts = test::fullDevice();
    facts.model = "Shared";
    DeviceTracker::setDefaultDeviceInfoProvider(std::make_shared<FixedDeviceInfoProvider>(facts));
    auto shared = DeviceTracker::sharedInstance();
    EXPECT_EQ(shared, DeviceTracker::sharedInstance());
    EXPECT_EQ(shared->device()->model, "Shared");
    EXPECT_TRUE(shared->device()->isValid());
    DeviceTracker::setDefaultDeviceInfoProvider(nullptr);
    BeaconUserDefaults::setStandardStore(nullptr);
    BeaconUserDefaults::resetSharedInstance();
}
