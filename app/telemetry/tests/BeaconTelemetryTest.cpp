#include "app/telemetry/BeaconTelemetry.h"

#include "beacon/core/Beacon.h"
#include "beacon/core/DependencyConfiguration.h"
#include "beacon/http/HttpClientProtocol.h"
#include "beacon/storage/LogDBStorage.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/Encrypter.h"
#include "platform/headless/ManualScheduler.h"
#include "platform/linux/testing/RunProgram.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace app {
namespace {

class NoNetwork : public beacon::HttpClientProtocol {
public:
    void sendAsync(const std::string&, const std::string&, const beacon::HttpHeaders&, const std::string&,
                   beacon::HttpCompletionHandler) override {
        ++requests;
    }
    void sendAsync(const std::string&, const std::string&, const beacon::HttpHeaders&, const std::string&,
                   const std::vector<double>&, bool, beacon::HttpCompletionHandler) override {
        ++requests;
    }
    void pause() override {}
    void resume() override {}
    void setEnabled(bool, bool) override {}
    std::shared_ptr<beacon::HttpClientDelegate> delegate() const override { return nullptr; }
    void setDelegate(std::weak_ptr<beacon::HttpClientDelegate>) override {}
    int requests = 0;
};

class Accepting : public CrashReportDelegate {
public:
    bool shouldProcessErrorReport() override { return true; }
};

class BeaconTelemetryTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv(beacon::Beacon::kDisableVariable);
        beacon::DependencyConfiguration::setHttpClient(http);
        beacon::DependencyConfiguration::setStorage(
            std::make_shared<beacon::LogDBStorage>(dir.path / "Logs.sqlite", std::make_shared<beacon::Encrypter>()));
        beacon::Beacon::resetSharedInstance();
    }
    void TearDown() override {
        scheduler.runUntilIdle();
        beacon::Beacon::resetSharedInstance();
        beacon::DependencyConfiguration::setScheduler(nullptr);
        beacon::DependencyConfiguration::setHttpClient(nullptr);
        beacon::DependencyConfiguration::setStorage(nullptr);
        beacon::BeaconUserDefaults::resetSharedInstance();
        beacon::BeaconUserDefaults::setStandardStore(nullptr);
        unsetenv(beacon::Beacon::kDisableVariable);
    }

    zelvo::testing::TemporaryFolder dir;
    platform::ManualScheduler scheduler;
    std::shared_ptr<platform::UserDefaults> defaults = std::make_shared<platform::UserDefaults>();
    std::shared_ptr<NoNetwork> http = std::make_shared<NoNetwork>();
    Accepting crashDelegate;
};

TEST_F(BeaconTelemetryTest, StartsInTheBackgroundAndAppliesALaterSwitchAfterIt) {
    BeaconTelemetry telemetry(scheduler, defaults);
    EXPECT_TRUE(telemetry.isEnabled());
    telemetry.start("0b4a3f2e-52c9-4b8e-9d3a-7f51c2e0d6a1", crashDelegate);
    telemetry.setEnabled(false);
    EXPECT_FALSE(beacon::Beacon::isConfigured()); // nothing ran on the caller's thread
    EXPECT_EQ(telemetry.crashDelegate(), &crashDelegate);

    scheduler.runUntilIdle();
    EXPECT_TRUE(beacon::Beacon::isConfigured());
    EXPECT_FALSE(beacon::Beacon::isEnabled());
    EXPECT_FALSE(telemetry.isEnabled());
    EXPECT_EQ(defaults->object("BeaconBeaconIsEnabled"), platform::Value(false));
}

TEST_F(BeaconTelemetryTest, ChoiceBeforeAnyStartIsKeptForTheStart) {
    BeaconTelemetry telemetry(scheduler, defaults);
    telemetry.setEnabled(false);
    scheduler.runUntilIdle();
    EXPECT_FALSE(telemetry.isEnabled());
    telemetry.start("0b4a3f2e-52c9-4b8e-9d3a-7f51c2e0d6a1", crashDelegate);
    scheduler.advance(std::chrono::seconds(10));
    EXPECT_FALSE(beacon::Beacon::isEnabled());
    EXPECT_EQ(http->requests, 0);
}

TEST_F(BeaconTelemetryTest, DisableAllKeepsTheTelemetryOff) {
    setenv(beacon::Beacon::kDisableVariable, "All", 1);
    BeaconTelemetry telemetry(scheduler, defaults);
    EXPECT_TRUE(telemetry.isForcedOff());
    EXPECT_FALSE(telemetry.isEnabled());
    telemetry.start("0b4a3f2e-52c9-4b8e-9d3a-7f51c2e0d6a1", crashDelegate);
    scheduler.advance(std::chrono::seconds(10));
    EXPECT_FALSE(beacon::Beacon::isConfigured());
    EXPECT_EQ(http->requests, 0);
}

} // namespace
} // namespace app
