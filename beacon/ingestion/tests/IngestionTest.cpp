#include "beacon/ingestion/BeaconIngestion.h"
#include "beacon/ingestion/CollectorIngestion.h"
#include "beacon/ingestion/TicketCache.h"

#include "beacon/http/HttpClient.h"
#include "beacon/http/tests/IngestionServer.h"
#include "beacon/http/tests/Pump.h"
#include "beacon/http/tests/TrustingTransport.h"
#include "beacon/testing/SampleLogs.h"
#include "beacon/util/tests/LogCapture.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace beacon;
using beacon::test::IngestionServer;
using beacon::test::pumpUntil;

namespace {

const std::string kInstallId = "0D1A8B6E-3C5F-4E2A-9B7D-1F2E3D4C5B6A";
const std::string kAppSecret = "a3c2b1d0-1234-4abc-9def-0123456789ab";

std::shared_ptr<LogContainer> batchOf(const std::string& id, std::vector<std::shared_ptr<AbstractLog>> logs) {
    return std::make_shared<LogContainer>(id, std::move(logs));
}

long long nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

struct Outcome {
    std::string callId;
    std::optional<HttpResponse> response;
    std::optional<std::string> data;
    std::optional<Error> error;
};

class IngestionTest : public ::testing::Test {
protected:
    IngestionCompletionHandler recordInto(std::vector<Outcome>& outcomes) {
        return [&outcomes](const std::string& callId, const auto& response, const auto& data, const auto& error) {
            outcomes.push_back({callId, response, data, error});
        };
    }
    // Sends `container` and pumps until its answer arrived.
    Outcome sendAndWait(HttpIngestion& ingestion, std::shared_ptr<LogContainer> container) {
        std::vector<Outcome> outcomes;
        ingestion.sendAsync(std::move(container), recordInto(outcomes));
        EXPECT_TRUE(pumpUntil(scheduler, [&] { return !outcomes.empty(); }));
        return outcomes.empty() ? Outcome{} : outcomes[0];
    }
    std::shared_ptr<HttpClient> makeClient() { return HttpClient::create(scheduler, test::trustingTransport()); }
    void TearDown() override { TicketCache::sharedInstance().clearCache(); }
    // Sends `container` with the test server answering `body`; the
    // diagnostics logged since `log` was started.
    std::string diagnosticsOfSending(HttpIngestion& ingestion, std::shared_ptr<LogContainer> container,
                                     const std::string& body) {
        server.script({{{"status", 200}, {"headers", {{"Content-Type", "application/json"}}}, {"body", body}}});
        sendAndWait(ingestion, std::move(container));
        return log->text();
    }

    platform::ManualScheduler scheduler;
    IngestionServer server;
    std::optional<LogCapture> log;
};

} // namespace

TEST_F(IngestionTest, BeaconSendsTheBatchToTheLogEndpoint) {
    auto ingestion = std::make_shared<BeaconIngestion>(makeClient(), server.origin(), kInstallId);
    ingestion->setAppSecret(kAppSecret);
    ASSERT_TRUE(ingestion->isReadyToSend());
    EXPECT_EQ(ingestion->sendURL(), server.origin() + "/logs?api-version=1.0.0");

    auto small = test::makeContainer("batch-small", 1);
    auto large = test::makeContainer("batch-large", 50);
    const std::vector<Outcome> outcomes{sendAndWait(*ingestion, small), sendAndWait(*ingestion, large)};

    EXPECT_EQ(outcomes[0].callId, "batch-small");
    EXPECT_EQ(outcomes[1].callId, "batch-large");
    for (const auto& outcome : outcomes) {
        ASSERT_TRUE(outcome.response);
        EXPECT_EQ(outcome.response->statusCode, 200);
        EXPECT_EQ(outcome.data, "{}"); // the server's answer reaches the caller
        EXPECT_FALSE(outcome.error);
    }

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.path, "/logs?api-version=1.0.0");
        EXPECT_EQ(request.header("Content-Type"), "application/json");
        EXPECT_EQ(request.header("Install-ID"), kInstallId);
        EXPECT_EQ(request.header("App-Secret"), kAppSecret);
    }
    EXPECT_FALSE(requests[0].header("Content-Encoding"));
    EXPECT_EQ(requests[0].body, small->serializeLog(false).value());
    EXPECT_EQ(requests[1].header("Content-Encoding"), "gzip");
    const std::string largeJson = large->serializeLog(false).value();
    EXPECT_EQ(requests[1].decodedBody, largeJson);
    const auto parsed = nlohmann::json::parse(requests[1].decodedBody);
    EXPECT_EQ(parsed["logs"].size(), 50u);
    EXPECT_EQ(parsed["logs"][0]["properties"]["key0"], "value/0");
    EXPECT_EQ(largeJson.find("\\/"), std::string::npos);
}

TEST_F(IngestionTest, BeaconRefusesWhatItCannotSend) {
    auto ingestion = std::make_shared<BeaconIngestion>(makeClient(), server.origin(), kInstallId);
    std::vector<Outcome> outcomes;

    // Without an app secret nothing goes out.
    EXPECT_FALSE(ingestion->isReadyToSend());
    ingestion->sendAsync(test::makeContainer("no-secret", 1), recordInto(outcomes));
    ingestion->setAppSecret(kAppSecret);

    ingestion->sendAsync(nullptr, recordInto(outcomes));
    ingestion->sendAsync(batchOf("empty", {}), recordInto(outcomes));
    auto broken = test::makeContainer("broken", 2);
    broken->logs[1]->device->osName.reset();
    ingestion->sendAsync(broken, recordInto(outcomes));
    ASSERT_EQ(outcomes.size(), 3u); // at once
    for (const auto& outcome : outcomes) {
        ASSERT_TRUE(outcome.error);
        EXPECT_TRUE(outcome.error->is(kErrorDomain, kInvalidContainerErrorCode));
        EXPECT_EQ(outcome.error->description, "Invalid log container.");
    }
    EXPECT_EQ(outcomes[2].callId, "broken");

    // Disabled by its own flag, or because network requests are forbidden.
    ingestion->setEnabled(false, false);
    ingestion->sendAsync(test::makeContainer("off", 1), recordInto(outcomes));
    ingestion->setEnabled(true, false);
    bool allowed = false;
    ingestion->setNetworkRequestsAllowed([&allowed] { return allowed; });
    EXPECT_FALSE(ingestion->isEnabled());
    ingestion->sendAsync(test::makeContainer("forbidden", 1), recordInto(outcomes));
    ASSERT_EQ(outcomes.size(), 5u);
    EXPECT_TRUE(outcomes[3].error->is(kErrorDomain, kDisabledErrorCode));
    EXPECT_TRUE(outcomes[4].error->is(kErrorDomain, kDisabledErrorCode));

    allowed = true;
    const auto sent = sendAndWait(*ingestion, test::makeContainer("allowed", 1));
    ASSERT_TRUE(sent.response);
    EXPECT_EQ(sent.response->statusCode, 200);
    EXPECT_EQ(outcomes.size(), 5u); // nothing refused is answered again
    ASSERT_EQ(server.requests().size(), 1u);
}

TEST_F(IngestionTest, CollectorSendsOneLinePerLogWithTokensTimeAndTickets) {
    TicketCache::sharedInstance().setTicket("d:ticket-one", "key1");
    TicketCache::sharedInstance().setTicket("d:ticket-unused", "key9");
    auto ingestion = std::make_shared<CollectorIngestion>(makeClient(), server.origin());
    EXPECT_EQ(ingestion->sendURL(), server.origin() + "/Collector/1.0");

    auto first = test::makeCommonSchemaLog("first/event", {"tokenA-1"}, {"key1", "key2"});
    auto second = test::makeCommonSchemaLog("second", {"tokenB-2", "tokenA-1"});
    const auto before = nowMs();
    EXPECT_EQ(sendAndWait(*ingestion, batchOf("cs-batch", {first, second})).callId, "cs-batch");
    const auto after = nowMs();

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/Collector/1.0");
    EXPECT_EQ(request.header("Content-Type"), "application/x-json-stream; charset=utf-8");
    EXPECT_EQ(request.header("Client-Version"), "BCN-Linux-Cpp-no-1.0.0-no");
    EXPECT_EQ(request.header("apikey"), "tokenA-1,tokenB-2");
    const long long uploadTime = std::stoll(request.header("Upload-Time").value_or("0"));
    EXPECT_GE(uploadTime, before);
    EXPECT_LE(uploadTime, after);
    ASSERT_TRUE(request.header("Tickets"));
    EXPECT_EQ(nlohmann::json::parse(*request.header("Tickets")), nlohmann::json({{"key1", "d:ticket-one"}}));
    EXPECT_EQ(request.decodedBody,
              first->serializeLog(false).value() + "\n" + second->serializeLog(false).value() + "\n");

    // No cached ticket: no "Tickets" header at all.
    TicketCache::sharedInstance().clearCache();
    sendAndWait(*ingestion, batchOf("cs-plain", {test::makeCommonSchemaLog("third", {"tokenC-3"}, {"key1"})}));
    const auto again = server.requests();
    ASSERT_EQ(again.size(), 2u);
    EXPECT_FALSE(again[1].header("Tickets"));
    EXPECT_EQ(again[1].header("apikey"), "tokenC-3");
}

TEST_F(IngestionTest, UnauthorizedCollectorBatchShutsItsClientDown) {
    server.script({{{"status", 401}}});
    auto ingestion = std::make_shared<CollectorIngestion>(makeClient(), server.origin());
    const auto batch = [](const std::string& id) {
        return batchOf(id, {test::makeCommonSchemaLog("e", {"tokenA-1"})});
    };
    const auto unauthorized = sendAndWait(*ingestion, batch("one"));
    ASSERT_TRUE(unauthorized.response);
    EXPECT_EQ(unauthorized.response->statusCode, 401);
    std::vector<Outcome> outcomes;
    ingestion->sendAsync(batch("two"), recordInto(outcomes));
    ASSERT_EQ(outcomes.size(), 1u); // at once
    EXPECT_EQ(outcomes[0].callId, "two");
    EXPECT_TRUE(outcomes[0].error->is(kErrorDomain, kDisabledErrorCode));
}

TEST(IngestionUrlTest, BaseUrlChangesKeepTheQuery) {
    platform::ManualScheduler scheduler;
    auto client = HttpClient::create(scheduler, [] { return std::shared_ptr<HttpTransport>(); });
    BeaconIngestion ingestion(client, "https://in.example.test", kInstallId);
    EXPECT_EQ(ingestion.sendURL(), "https://in.example.test/logs?api-version=1.0.0");
    ingestion.setBaseURL("http://user:pw@127.0.0.1:8443/prefix");
    EXPECT_EQ(ingestion.sendURL(), "http://user:pw@127.0.0.1:8443/prefix/logs?api-version=1.0.0");
    ingestion.setBaseURL("not a url");
    EXPECT_EQ(ingestion.sendURL(), "http://user:pw@127.0.0.1:8443/prefix/logs?api-version=1.0.0");

    EXPECT_EQ(HttpIngestion::buildURL("https://h", "/p", {{"a", "1 2"}, {"b", "x&y"}}), "https://h/p?a=1%202&b=x&y");
    HttpResponse response;
    response.headers = {{"ETag", "\"v1\""}};
    EXPECT_EQ(HttpIngestion::eTagFromResponse(response), "\"v1\"");
}

TEST_F(IngestionTest, BeaconDiagnosticsHideTheAppSecret) {
    log.emplace();
    auto ingestion = std::make_shared<BeaconIngestion>(makeClient(), server.origin(), "install");
    ingestion->setAppSecret(kAppSecret);
    const auto text = diagnosticsOfSending(*ingestion, test::makeContainer("b", 1), "{\"status\":\"Success\"}");
    EXPECT_NE(text.find("URL: " + server.origin() + "/logs?api-version=1.0.0"), std::string::npos) << text;
    EXPECT_NE(text.find("App-Secret = " + std::string(28, '*') + "456789ab"), std::string::npos) << text;
    EXPECT_NE(text.find("Install-ID = install"), std::string::npos) << text;
    EXPECT_EQ(text.find(kAppSecret), std::string::npos) << text;
    EXPECT_NE(text.find("HTTP response received with status code: 200, payload:\n{\n  \"status\": \"Success\"\n}"),
              std::string::npos)
        << text;
}

TEST_F(IngestionTest, CollectorDiagnosticsHideTokensAndTickets) {
    TicketCache::sharedInstance().setTicket("d:ticket-secret", "key1");
    log.emplace();
    auto ingestion = std::make_shared<CollectorIngestion>(makeClient(), server.origin());
    auto container =
        batchOf("cs", {test::makeCommonSchemaLog("e", {"tokenA-secret-value", "tokenB-other-secret"}, {"key1"})});
    const auto text = diagnosticsOfSending(*ingestion, container, "{\"acc\":1,\"token\" : \"tokenA-secret-value\"}");
    EXPECT_NE(text.find("apikey = " + std::string(11, '*') + "et-value," + std::string(11, '*') + "r-secret"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Tickets = {\"key1\":\"d:***\"}"), std::string::npos) << text;
    EXPECT_NE(text.find("\"token\" : \"***\""), std::string::npos) << text;
    EXPECT_EQ(text.find("tokenA-secret-value"), std::string::npos) << text;
    EXPECT_EQ(text.find("ticket-secret"), std::string::npos) << text;
}
