#include "beacon/channel/ChannelGroupDefault.h"
#include "beacon/channel/ChannelUnitDefault.h"
#include "beacon/core/Beacon.h"
#include "beacon/core/DependencyConfiguration.h"
#include "beacon/core/ServiceAbstract.h"
#include "beacon/context/DeviceTracker.h"
#include "beacon/context/SessionContext.h"
#include "beacon/context/UserIdContext.h"
#include "beacon/http/HttpClientProtocol.h"
#include "beacon/storage/DirectoryLock.h"
#include "beacon/storage/LogDBStorage.h"
#include "beacon/util/tests/TempDir.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/Encrypter.h"
#include "beacon/util/FileUtility.h"
#include "beacon/util/tests/LogCapture.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>

namespace beacon {
namespace {

// Records each request; the test answers them.
class ScriptedHttpClient : public HttpClientProtocol {
public:
    struct Request {
        std::string url;
        HttpHeaders headers;
        std::string body;
        HttpCompletionHandler handler;
    };
    void sendAsync(const std::string& url, const std::string& method, const HttpHeaders& headers,
                   const std::string& data, HttpCompletionHandler handler) override {
        requests.push_back({url, headers, data, std::move(handler)});
    }
    void sendAsync(const std::string& url, const std::string& method, const HttpHeaders& headers,
                   const std::string& data, const std::vector<double>&, bool, HttpCompletionHandler handler) override {
        sendAsync(url, method, headers, data, std::move(handler));
    }
    void pause() override {}
    void resume() override {}
    void setEnabled(bool, bool) override {}
    void setNetworkRequestsAllowed(bool allowed) override { requestsAllowed = allowed; }
    std::shared_ptr<HttpClientDelegate> delegate() const override { return nullptr; }
    void setDelegate(std::weak_ptr<HttpClientDelegate>) override {}

    std::vector<Request> requests;
    bool requestsAllowed = true;
};

class TestService : public ServiceAbstract {
public:
    TestService(std::string name, int priority) : name_(std::move(name)), priority_(priority) {}
    std::string serviceName() const override { return name_; }
    std::string groupId() const override { return name_; }
    std::string logTag() const override { return "Beacon" + name_; }
    int initializationPriority() const override { return priority_; }
    std::optional<ChannelUnitConfiguration> channelUnitConfiguration() const override {
        return ChannelUnitConfiguration::defaultConfiguration(name_);
    }

private:
    std::string name_;
    int priority_;
};

class BeaconTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv(Beacon::kDisableVariable);
        BeaconUserDefaults::setStandardStore(store);
        BeaconUserDefaults::resetSharedInstance();
        DependencyConfiguration::setScheduler(&scheduler);
        DependencyConfiguration::setHttpClient(http);
        DependencyConfiguration::setStorage(
            std::make_shared<LogDBStorage>(dir.path / "Logs.sqlite", std::make_shared<Encrypter>()));
        resetSingletons();
    }
    void TearDown() override {
        scheduler.runUntilIdle();
        resetSingletons();
        DependencyConfiguration::setScheduler(nullptr);
        DependencyConfiguration::setHttpClient(nullptr);
        DependencyConfiguration::setStorage(nullptr);
        BeaconUserDefaults::resetSharedInstance();
        BeaconUserDefaults::setStandardStore(nullptr);
        unsetenv(Beacon::kDisableVariable);
    }
    static void resetSingletons() {
        Beacon::resetSharedInstance();
        DeviceTracker::resetSharedInstance();
        SessionContext::resetSharedInstance();
        UserIdContext::resetSharedInstance();
    }
    bool logged(const std::string& text) {
        const auto messages = log.messages();
        return std::find(messages.begin(), messages.end(), text) != messages.end();
    }
    // Bodies of the requests to the log endpoint, as JSON.
    std::vector<nlohmann::json> sentLogs() {
        std::vector<nlohmann::json> logs;
        for (const auto& request : http->requests) {
            const auto body = nlohmann::json::parse(request.body);
            for (const auto& log : body["logs"]) logs.push_back(log);
        }
        return logs;
    }

    TempDir dir;
    platform::ManualScheduler scheduler;
    std::shared_ptr<platform::UserDefaults> store = std::make_shared<platform::UserDefaults>();
    std::shared_ptr<ScriptedHttpClient> http = std::make_shared<ScriptedHttpClient>();
    std::shared_ptr<TestService> crashes = std::make_shared<TestService>("Crashes", 999);
    std::shared_ptr<TestService> analytics = std::make_shared<TestService>("Analytics", 500);
    LogCapture log;
};

constexpr const char* kSecret = "0b4a3f2e-52c9-4b8e-9d3a-7f51c2e0d6a1";

TEST_F(BeaconTest, StartSendsOneStartServiceLogNamingServicesInPriorityOrder) {
    Beacon::start(kSecret, {analytics, crashes});
    EXPECT_TRUE(Beacon::isConfigured());
    auto services = Beacon::sharedInstance()->services();
    ASSERT_EQ(services.size(), 2u);
    EXPECT_EQ(services[0], crashes);
    EXPECT_TRUE(crashes->isAvailable() && analytics->isAvailable());
    EXPECT_EQ(crashes->channelUnit()->configuration().groupId, "Crashes");

    scheduler.advance(std::chrono::seconds(6));
    ASSERT_EQ(http->requests.size(), 1u);
    const auto& request = http->requests[0];
    EXPECT_NE(request.url.find("/logs?api-version=1.0.0"), std::string::npos);
    EXPECT_EQ(request.headers.at("App-Secret"), kSecret);
    EXPECT_EQ(request.headers.at("Install-ID"), Beacon::installId());
    auto logs = sentLogs();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0]["type"], "startService");
    EXPECT_EQ(logs[0]["services"], nlohmann::json({"Crashes", "Analytics"}));
}

TEST_F(BeaconTest, SecondConfigurationFromTheApplicationIsRefused) {
    Beacon::start(kSecret, {analytics});
    Beacon::start(kSecret, {crashes});
    EXPECT_TRUE(logged("Beacon SDK has already been configured."));
    EXPECT_TRUE(logged("Beacon SDK configuration failed."));
    EXPECT_FALSE(crashes->isStarted());

    // A library's configuration may come first; the application's keeps its secret.
    resetSingletons();
    Beacon::startFromLibraryWithServices({});
    EXPECT_FALSE(Beacon::isConfigured());
    Beacon::start(kSecret, {});
    EXPECT_TRUE(Beacon::isConfigured());
    EXPECT_EQ(Beacon::sharedInstance()->channelGroup()->appSecret(), kSecret);
}

// The store of a data folder belongs to one process: while another holds it,
// this one stays without telemetry and says so once; the owner holds it.
TEST_F(BeaconTest, OnlyTheProcessOwningTheDataFolderRunsTelemetry) {
    setBeaconDirectoryURL(dir.path / "data");
    DependencyConfiguration::setStorage(nullptr);
    {
        const auto other = DirectoryLock::acquire(beaconDirectoryURL());
        ASSERT_TRUE(other);
        Beacon::start(kSecret, {analytics});
        Beacon::start(kSecret, {analytics});
        EXPECT_FALSE(Beacon::isConfigured());
        EXPECT_EQ(log.count("Another process of this user owns the telemetry store"), 1u);
    }
    resetSingletons();
    Beacon::start(kSecret, {analytics});
    EXPECT_TRUE(Beacon::isConfigured());
    EXPECT_FALSE(DirectoryLock::acquire(beaconDirectoryURL()));
    resetSingletons();
    // A folder that cannot be opened is no other process's.
    std::ofstream(dir.path / "file") << "not a folder";
    setBeaconDirectoryURL(dir.path / "file");
    Beacon::start(kSecret, {analytics});
    EXPECT_FALSE(Beacon::isConfigured());
    EXPECT_EQ(log.count("Cannot open the telemetry store"), 1u);
    EXPECT_EQ(log.count("Another process"), 1u);
    resetSingletons();
    setBeaconDirectoryURL({});
}

TEST_F(BeaconTest, DisableVariableListsServicesWithBlanksOrAll) {
    setenv(Beacon::kDisableVariable, " Crashes ,\tAnalytics ", 1);
    EXPECT_TRUE(Beacon::shouldDisable("Crashes"));
    EXPECT_TRUE(Beacon::shouldDisable("Analytics"));
    EXPECT_FALSE(Beacon::shouldDisable("Other"));
    setenv(Beacon::kDisableVariable, "All", 1);
    EXPECT_TRUE(Beacon::shouldDisable("Other"));

    Beacon::start(kSecret, {analytics, crashes});
    EXPECT_FALSE(analytics->isStarted());
    EXPECT_FALSE(crashes->isStarted());
    scheduler.advance(std::chrono::seconds(10));
    EXPECT_TRUE(http->requests.empty());
}

TEST_F(BeaconTest, StartServiceLogIsHeldBackWhileDisabledAndSentOnEnable) {
    store->set("BeaconBeaconIsEnabled", false);
    Beacon::start(kSecret, {analytics});
    EXPECT_FALSE(Beacon::isEnabled());
    EXPECT_FALSE(analytics->isEnabled());
    scheduler.advance(std::chrono::seconds(10));
    EXPECT_TRUE(http->requests.empty());

    analytics->setEnabled(true); // refused while the whole telemetry is off
    EXPECT_FALSE(analytics->isInstanceEnabled());

    Beacon::setEnabled(true);
    EXPECT_TRUE(analytics->isEnabled());
    scheduler.advance(std::chrono::seconds(6));
    auto logs = sentLogs();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0]["services"], nlohmann::json({"Analytics"}));
}

TEST_F(BeaconTest, DisablingDeletesPendingLogsAndStopsSending) {
    Beacon::start(kSecret, {analytics});
    scheduler.runUntilIdle();
    Beacon::setEnabled(false);
    scheduler.advance(std::chrono::seconds(10));
    EXPECT_TRUE(http->requests.empty());
    EXPECT_EQ(DependencyConfiguration::storage()->countLogs(), 0u);
    EXPECT_FALSE(analytics->isInstanceEnabled());
    EXPECT_EQ(store->object("BeaconBeaconIsEnabled"), platform::Value(false));
}

TEST_F(BeaconTest, MaxStorageSizeRules) {
    std::vector<bool> outcomes;
    auto record = [&outcomes](bool ok) { outcomes.push_back(ok); };
    Beacon::setMaxStorageSize(24575, record);
    EXPECT_EQ(outcomes, std::vector<bool>{false});
    Beacon::setMaxStorageSize(24576, record);
    Beacon::setMaxStorageSize(40000, record);
    EXPECT_EQ(outcomes, (std::vector<bool>{false, false})); // the second accepted call is refused at once
    Beacon::start(kSecret, {});
    scheduler.runUntilIdle();
    EXPECT_EQ(outcomes, (std::vector<bool>{false, false, true}));
}

TEST_F(BeaconTest, InstallIdIsGeneratedOnceAndKept) {
    const std::string first = Beacon::installId();
    EXPECT_EQ(first.size(), 36u);
    EXPECT_EQ(Beacon::installId(), first);
    Beacon::resetSharedInstance();
    EXPECT_EQ(Beacon::installId(), first);
    EXPECT_EQ(store->object("BeaconInstallId"), platform::Value(first));
}

TEST_F(BeaconTest, FormerKeysMoveToTheirNewNames) {
    store->set("ZvInstallId", "6E1E4F36-3C29-4B67-8E0B-6D1F5C51E5E4");
    store->set("ZvChannelStartTimer:Analytics", 1000.0);
    Beacon::resetSharedInstance();
    EXPECT_EQ(Beacon::installId(), "6E1E4F36-3C29-4B67-8E0B-6D1F5C51E5E4");
    EXPECT_TRUE(store->object("BeaconChannelStartTimer:Analytics"));
    EXPECT_FALSE(store->object("ZvInstallId"));
}

TEST_F(BeaconTest, TracerPidIsReadFromProcessStatus) {
    EXPECT_EQ(Beacon::tracerPidFromStatus("Name:\tzelvo\nTracerPid:\t0\nUid:\t1000\n"), 0);
    EXPECT_EQ(Beacon::tracerPidFromStatus("TracerPid:\t4242\n"), 4242);
    EXPECT_FALSE(Beacon::tracerPidFromStatus("Name:\tzelvo\n"));
    EXPECT_FALSE(Beacon::tracerPidFromStatus("TracerPid:\tx\n"));
}

TEST_F(BeaconTest, NetworkSwitchPausesAndResumesWithoutDeleting) {
    Beacon::start(kSecret, {analytics});
    Beacon::setNetworkRequestsAllowed(false);
    EXPECT_FALSE(Beacon::isNetworkRequestsAllowed());
    EXPECT_FALSE(http->requestsAllowed); // its retries and held calls stop too
    scheduler.advance(std::chrono::seconds(10));
    EXPECT_TRUE(http->requests.empty());
    EXPECT_EQ(DependencyConfiguration::storage()->countLogs(), 1u);
    Beacon::setNetworkRequestsAllowed(true);
    scheduler.advance(std::chrono::seconds(6));
    EXPECT_EQ(sentLogs().size(), 1u);
}

} // namespace
} // namespace beacon
