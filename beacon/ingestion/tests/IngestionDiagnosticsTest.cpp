#include "beacon/ingestion/BeaconIngestion.h"
#include "beacon/ingestion/CollectorIngestion.h"
#include "beacon/ingestion/TicketCache.h"

#include "beacon/http/HttpClient.h"
#include "beacon/http/tests/IngestionServer.h"
#include "beacon/http/tests/Pump.h"
#include "beacon/testing/SampleLogs.h"
#include "beacon/logger/Logger.h"
#include "platform/http/CurlTransport.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace beacon;
using beacon::test::IngestionServer;
using platform::http::CurlTransport;
using platform::http::CurlTransportOptions;

namespace {

// Collects every diagnostic line at verbose level while alive.
class CapturedLog {
public:
    CapturedLog() : previousLevel_(Logger::currentLogLevel()), previousHandler_(Logger::logHandler()) {
        Logger::setCurrentLogLevel(LogLevel::Verbose);
        Logger::setLogHandler(
            [this](const MessageProvider& message, LogLevel, const std::string&, const char*, const char*, int) {
                std::lock_guard lock(mutex_);
                lines_.push_back(message());
            });
    }
    ~CapturedLog() {
        Logger::flush();
        Logger::setLogHandler(previousHandler_);
        Logger::setCurrentLogLevel(previousLevel_);
    }
    std::string text() {
        Logger::flush();
        std::lock_guard lock(mutex_);
        std::string all;
        for (const auto& line : lines_) all += line + "\n";
        return all;
    }

private:
    LogLevel previousLevel_;
    LogHandler previousHandler_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

std::shared_ptr<HttpClient> makeClient(platform::Scheduler& scheduler) {
    return HttpClient::create(scheduler, [] {
        CurlTransportOptions options;
        options.extraCAFile = IngestionServer::caFile();
        return std::make_shared<CurlTransport>(options);
    });
}

} // namespace

TEST(IngestionDiagnosticsTest, BeaconHidesTheAppSecret) {
    const std::string secret = "a3c2b1d0-1234-4abc-9def-0123456789ab";
    platform::ManualScheduler scheduler;
    IngestionServer server;
    server.script(
        {{{"status", 200}, {"headers", {{"Content-Type", "application/json"}}}, {"body", "{\"status\":\"Success\"}"}}});
    CapturedLog log;
    auto ingestion = std::make_shared<BeaconIngestion>(makeClient(scheduler), server.origin(), "install");
    ingestion->setAppSecret(secret);
    bool done = false;
    ingestion->sendAsync(test::makeContainer("b", 1), [&](auto&&...) { done = true; });
    ASSERT_TRUE(test::pumpUntil(scheduler, [&] { return done; }));

    const std::string text = log.text();
    EXPECT_NE(text.find("URL: " + server.origin() + "/logs?api-version=1.0.0"), std::string::npos) << text;
    EXPECT_NE(text.find("App-Secret = " + std::string(28, '*') + "456789ab"), std::string::npos) << text;
    EXPECT_NE(text.find("Install-ID = install"), std::string::npos) << text;
    EXPECT_EQ(text.find(secret), std::string::npos) << text;
    EXPECT_NE(text.find("HTTP response received with status code: 200, payload:\n{\n  \"status\": \"Success\"\n}"),
              std::string::npos)
        << text;
}

TEST(IngestionDiagnosticsTest, CollectorHidesTokensAndTickets) {
    platform::ManualScheduler scheduler;
    IngestionServer server;
    server.script({{{"status", 200},
                    {"headers", {{"Content-Type", "application/json"}}},
                    {"body", "{\"acc\":1,\"token\" : \"tokenA-secret-value\"}"}}});
    TicketCache::sharedInstance().setTicket("d:ticket-secret", "key1");
    CapturedLog log;
    auto ingestion = std::make_shared<CollectorIngestion>(makeClient(scheduler), server.origin());
    auto container =
        std::make_shared<LogContainer>("cs", std::vector<std::shared_ptr<AbstractLog>>{test::makeCommonSchemaLog(
                                                 "e", {"tokenA-secret-value", "tokenB-other-secret"}, {"key1"})});
    bool done = false;
    ingestion->sendAsync(container, [&](auto&&...) { done = true; });
    ASSERT_TRUE(test::pumpUntil(scheduler, [&] { return done; }));
    TicketCache::sharedInstance().clearCache();

    const std::string text = log.text();
    EXPECT_NE(text.find("apikey = " + std::string(11, '*') + "et-value," + std::string(11, '*') + "r-secret"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Tickets = {\"key1\":\"d:***\"}"), std::string::npos) << text;
    EXPECT_NE(text.find("\"token\" : \"***\""), std::string::npos) << text;
    EXPECT_EQ(text.find("tokenA-secret-value"), std::string::npos) << text;
    EXPECT_EQ(text.find("ticket-secret"), std::string::npos) << text;
}
