// The analytics service on the real telemetry pipeline: channel units, the
// log database and the HTTP client talking to the local HTTPS test server.
#include "beacon/analytics/Analytics.h"
#include "beacon/analytics/model/EventLog.h"
#include "beacon/analytics/target/AnalyticsTransmissionTarget.h"
#include "beacon/analytics/target/AuthenticationProvider.h"
#include "beacon/analytics/target/PropertyConfigurator.h"
#include "beacon/channel/ChannelUnitProtocol.h"
#include "beacon/context/DeviceTracker.h"
#include "beacon/context/SessionContext.h"
#include "beacon/context/UserIdContext.h"
#include "beacon/core/Beacon.h"
#include "beacon/core/DependencyConfiguration.h"
#include "beacon/http/HttpClient.h"
#include "beacon/http/tests/IngestionServer.h"
#include "beacon/http/tests/Pump.h"
#include "beacon/http/tests/TrustingTransport.h"
#include "beacon/channel/ChannelGroupProtocol.h"
#include "beacon/ingestion/TicketCache.h"
#include "beacon/model/CommonSchemaLog.h"
#include "beacon/model/StringTypedProperty.h"
#include "beacon/storage/LogDBStorage.h"
#include "beacon/util/tests/TempDir.h"
#include "beacon/util/ApplicationState.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/Encrypter.h"
#include "beacon/util/SecretStrings.h"
#include "beacon/util/tests/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace beacon;
using beacon::test::IngestionServer;
using nlohmann::json;

namespace {

constexpr const char* kSecret = "6f1c5c22-6c0b-4f5a-9a71-3c2e4cbd2f1e";
constexpr const char* kToken = "abc123-0000-4000-8000-000000000001";

// Records the analytics callbacks, which come from the sending threads.
class RecordingDelegate : public AnalyticsDelegate {
public:
    void willSendEventLog(Analytics&, const std::shared_ptr<EventLog>& log) override {
        add("will event " + *log->name);
    }
    void didSucceedSendingEventLog(Analytics&, const std::shared_ptr<EventLog>& log) override {
        add("sent event " + *log->name);
    }
    void willSendPageLog(Analytics&, const std::shared_ptr<PageLog>& log) override { add("will page " + *log->name); }
    void didSucceedSendingPageLog(Analytics&, const std::shared_ptr<PageLog>& log) override {
        add("sent page " + *log->name);
    }
    std::vector<std::string> calls() {
        std::lock_guard lock(mutex);
        return calls_;
    }

private:
    void add(std::string call) {
        std::lock_guard lock(mutex);
        calls_.push_back(std::move(call));
    }
    std::mutex mutex;
    std::vector<std::string> calls_;
};

// Names of the common-schema logs the units hand to the ingestion.
class SendWatcher : public ChannelDelegate {
public:
    void channelWillSendLog(ChannelProtocol&, const std::shared_ptr<AbstractLog>& log) override {
        if (auto cs = std::dynamic_pointer_cast<CommonSchemaLog>(log)) names.push_back(cs->name.value_or(""));
    }
    std::vector<std::string> names;
};

class AnalyticsServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv(Beacon::kDisableVariable);
        setenv("ZELVO_LOG_URL", server.origin().c_str(), 1);
        setenv("ZELVO_COLLECTOR_URL", server.origin().c_str(), 1);
        BeaconUserDefaults::setStandardStore(std::make_shared<platform::UserDefaults>());
        BeaconUserDefaults::resetSharedInstance();
        DependencyConfiguration::setScheduler(&scheduler);
        DependencyConfiguration::setStorage(
            std::make_shared<LogDBStorage>(dir.path / "Logs.sqlite", std::make_shared<Encrypter>()));
        DependencyConfiguration::setHttpClient(HttpClient::create(scheduler, test::trustingTransport()));
        ApplicationStateUtil::observe(&center);
        reporter.report(ApplicationState::Inactive);
        resetSingletons();
    }
    void TearDown() override {
        scheduler.runUntilIdle();
        resetSingletons();
        ApplicationStateUtil::observe(nullptr);
        DependencyConfiguration::setHttpClient(nullptr);
        DependencyConfiguration::setStorage(nullptr);
        DependencyConfiguration::setScheduler(nullptr);
        BeaconUserDefaults::resetSharedInstance();
        BeaconUserDefaults::setStandardStore(nullptr);
        AnalyticsTransmissionTarget::setAuthenticationProvider(nullptr);
        TicketCache::sharedInstance().clearCache();
        unsetenv("ZELVO_LOG_URL");
        unsetenv("ZELVO_COLLECTOR_URL");
    }
    static void resetSingletons() {
        Analytics::resetSharedInstance();
        Beacon::resetSharedInstance();
        DeviceTracker::resetSharedInstance();
        SessionContext::resetSharedInstance();
        UserIdContext::resetSharedInstance();
    }
    // Starts the telemetry with the analytics service, which it answers.
    std::shared_ptr<Analytics> start() {
        Beacon::start(kSecret, {Analytics::sharedInstance()});
        scheduler.runUntilIdle();
        return Analytics::sharedInstance();
    }
    // Flushes every unit (the 6 s timers) and waits for the server to have
    // `count` requests.
    std::vector<test::RecordedRequest> sent(std::size_t count) {
        scheduler.advance(platform::Seconds(7));
        test::pumpUntil(scheduler, [&] { return server.requests().size() >= count; });
        return server.requests();
    }
    // The logs of the Beacon endpoint's requests.
    static std::vector<json> beaconLogs(const std::vector<test::RecordedRequest>& requests) {
        std::vector<json> logs;
        for (const auto& r : requests)
            if (r.path.rfind("/logs", 0) == 0) {
                const json body = json::parse(r.decodedBody);
                for (const auto& log : body["logs"]) logs.push_back(log);
            }
        return logs;
    }
    static std::vector<json> ofType(const std::vector<json>& logs, const std::string& type) {
        std::vector<json> matching;
        for (const auto& log : logs)
            if (log["type"] == type) matching.push_back(log);
        return matching;
    }

    IngestionServer server;
    TempDir dir;
    platform::ManualScheduler scheduler;
    platform::NotificationCenter center;
    platform::ApplicationStateReporter reporter{center};
};

} // namespace

TEST_F(AnalyticsServiceTest, OneSessionPerLaunchWhoseIdLaterLogsCarry) {
    start();
    auto requests = sent(2); // the start-service and the start-session log
    auto logs = beaconLogs(requests);
    auto sessions = ofType(logs, "startSession");
    ASSERT_EQ(sessions.size(), 1u);
    const std::string sid = sessions[0]["sid"];
    auto services = ofType(logs, "startService");
    ASSERT_EQ(services.size(), 1u);
    EXPECT_FALSE(services[0].contains("sid"));
    EXPECT_EQ(services[0]["services"], json::array({"Analytics"}));

    Analytics::sharedInstance()->trackEvent("later", Properties{{"k", "v"}});
    logs = beaconLogs(sent(requests.size() + 1));
    auto events = ofType(logs, "event");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["sid"], sid);
    EXPECT_EQ(events[0]["typedProperties"], json::parse(R"([{"type":"string","name":"k","value":"v"}])"));
    EXPECT_EQ(ofType(logs, "startSession").size(), 1u);
}

TEST_F(AnalyticsServiceTest, CriticalEventsGoThroughTheCriticalUnit) {
    auto analytics = start();
    ASSERT_TRUE(analytics->criticalChannelUnit());
    EXPECT_EQ(analytics->criticalChannelUnit()->configuration().groupId, "Analytics_critical");
    // The normal unit is paused: only the critical event can leave.
    analytics->channelUnit()->pauseWithIdentifyingObject(analytics->sessionTracker());
    analytics->trackEvent("urgent", Properties{}, kLogFlagsCritical);
    analytics->trackEvent("normal", Properties{}, kLogFlagsNormal);
    auto logs = beaconLogs(sent(2));
    auto events = ofType(logs, "event");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["name"], "urgent");
}

TEST_F(AnalyticsServiceTest, TargetEventsReachOnlyTheCollectorAsCommonSchemaLines) {
    auto analytics = start();
    auto initial = sent(2).size();
    auto target = analytics->transmissionTargetForToken(kToken);
    target->propertyConfigurator()->setAppName("Zelvo");
    target->propertyConfigurator()->setEventPropertyString("parent", "origin");
    AnalyticsTransmissionTarget::addAuthenticationProvider(
        std::make_shared<AuthenticationProvider>(AuthenticationProvider::kTypeCompact, "ticket-key", nullptr));
    TicketCache::sharedInstance().setTicket("p:secret-ticket", sha256("ticket-key"));

    EventProperties typed;
    typed.setInt64(3, "a.b").setString("v", "a.c");
    for (int i = 0; i < 3; ++i) target->trackEvent("app.event", typed);
    auto requests = sent(initial + 1);

    std::vector<test::RecordedRequest> collector;
    for (const auto& r : requests)
        if (r.path == "/Collector/1.0") collector.push_back(r);
    EXPECT_TRUE(ofType(beaconLogs(requests), "event").empty()) << "never sent to /logs";
    ASSERT_EQ(collector.size(), 1u);
    const auto& request = collector[0];
    EXPECT_EQ(request.header("apikey"), kToken); // the other headers: IngestionTest
    EXPECT_EQ(request.header("Tickets"), json({{sha256("ticket-key"), "p:secret-ticket"}}).dump());

    std::istringstream lines(request.decodedBody);
    std::string line;
    std::vector<json> logs;
    while (std::getline(lines, line))
        if (!line.empty()) logs.push_back(json::parse(line));
    ASSERT_EQ(logs.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const auto& log = logs[i];
        EXPECT_EQ(log["name"], "app.event");
        EXPECT_EQ(log["iKey"], "o:abc123");
        EXPECT_EQ(log["ext"]["sdk"]["seq"], i + 1);
        EXPECT_EQ(log["ext"]["app"]["name"], "Zelvo");
        EXPECT_EQ(log["ext"]["protocol"]["ticketKeys"], json::array({sha256("ticket-key")}));
        EXPECT_EQ(log["data"], json::parse(R"({"origin":"parent","a":{"b":3,"c":"v"}})"));
        EXPECT_EQ(log["ext"]["metadata"], json::parse(R"({"f":{"a":{"f":{"b":4}}}})"));
    }
}

TEST_F(AnalyticsServiceTest, TargetTreeEnabledFlagsAndPropertyInheritance) {
    auto analytics = start();
    auto root = analytics->transmissionTargetForToken(kToken);
    EXPECT_EQ(root, analytics->transmissionTargetForToken(kToken));
    EXPECT_EQ(root->isEnabledKey(), "AnalyticsIsEnabled/abc123");

    root->setEnabled(false);
    auto child = root->transmissionTargetForToken("child-token");
    EXPECT_FALSE(child->isEnabled()) << "made while its parent is disabled";
    child->setEnabled(true);
    EXPECT_FALSE(child->isEnabled()) << "refused while the parent stays disabled";
    root->setEnabled(true);
    EXPECT_TRUE(child->isEnabled()) << "children follow their root";
    EXPECT_EQ(BeaconUserDefaults::shared()->objectForKey("AnalyticsIsEnabled/abc123"), platform::Value(true));

    analytics->setEnabled(false);
    EXPECT_FALSE(root->isEnabled());
    EXPECT_FALSE(child->isEnabled());
    analytics->setEnabled(true);
    EXPECT_TRUE(child->isEnabled());

    root->propertyConfigurator()->setEventPropertyString("root", "a");
    root->propertyConfigurator()->setEventPropertyString("root", "b");
    child->propertyConfigurator()->setEventPropertyString("child", "b");
    root->propertyConfigurator()->setEventPropertyString("root", "c");
    EventProperties merged;
    merged.setString("event", "c");
    for (auto t = child; t; t = t->parentTarget()) t->propertyConfigurator()->mergeTypedPropertiesWith(merged);
    auto value = [&](const char* name) {
        return std::dynamic_pointer_cast<StringTypedProperty>(merged.property(name))->value;
    };
    EXPECT_EQ(value("a"), "root");
    EXPECT_EQ(value("b"), "child");
    EXPECT_EQ(value("c"), "event");
}

TEST_F(AnalyticsServiceTest, TransmissionIntervalOnlyBeforeStart) {
    LogCapture logs;
    auto analytics = Analytics::sharedInstance();
    for (std::uint32_t rejected : {5u, 86401u}) analytics->setTransmissionInterval(rejected);
    EXPECT_EQ(analytics->transmissionInterval(), 6u);
    EXPECT_EQ(logs.count("The transmission interval is not valid, it should be between 6 second(s) and 86400 "
                         "second(s) (1 day)."),
              2u);
    analytics->setTransmissionInterval(86400);
    EXPECT_EQ(analytics->transmissionInterval(), 86400u);
    start();
    analytics->setTransmissionInterval(6);
    EXPECT_EQ(analytics->transmissionInterval(), 86400u);
    EXPECT_EQ(analytics->channelUnit()->configuration().flushInterval, 86400u);
    EXPECT_EQ(logs.count("The transmission interval should be set before the BcnAnalytics service is started."), 1u);
}

TEST_F(AnalyticsServiceTest, DisablingEndsTheSessionAndEnablingBeginsANewOne) {
    auto analytics = start();
    auto first = SessionContext::sharedInstance()->sessionId();
    ASSERT_TRUE(first);
    analytics->setEnabled(false);
    EXPECT_FALSE(analytics->sessionTracker()->isStarted());
    EXPECT_FALSE(SessionContext::sharedInstance()->sessionId());
    analytics->trackEvent("dropped");

    analytics->setEnabled(true);
    auto second = SessionContext::sharedInstance()->sessionId();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);

    auto delegate = std::make_shared<RecordingDelegate>();
    analytics->setDelegate(delegate);
    analytics->trackEvent("kept");
    analytics->trackPage("settings");
    auto logs = beaconLogs(sent(2));
    auto events = ofType(logs, "event");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["name"], "kept");
    EXPECT_EQ(events[0]["sid"], *second);
    ASSERT_EQ(ofType(logs, "startSession").size(), 1u) << "the first session's log was deleted on disabling";
    EXPECT_EQ(ofType(logs, "startSession")[0]["sid"], *second);
    test::pumpUntil(scheduler, [&] { return delegate->calls().size() >= 4; });
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"will event kept", "will page settings", "sent event kept",
                                                           "sent page settings"}));
}

TEST_F(AnalyticsServiceTest, PausedTargetHoldsItsEventsAndADisabledOneRefusesThem) {
    start();
    auto watcher = std::make_shared<SendWatcher>();
    Beacon::sharedInstance()->channelGroup()->addDelegate(watcher);
    auto target = Analytics::sharedInstance()->transmissionTargetForToken(kToken);
    target->pause();
    target->trackEvent("held.event");
    scheduler.advance(platform::Seconds(30));
    EXPECT_TRUE(watcher->names.empty());
    target->resume();
    scheduler.advance(platform::Seconds(7));
    EXPECT_EQ(watcher->names, std::vector<std::string>{"held.event"});

    LogCapture logs;
    target->setEnabled(false);
    target->trackEvent("refused");
    target->pause();
    scheduler.advance(platform::Seconds(7));
    EXPECT_EQ(watcher->names.size(), 1u);
    EXPECT_EQ(logs.count("This transmission target is disabled."), 2u);
}
