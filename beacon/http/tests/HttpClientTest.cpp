#include "beacon/http/HttpClient.h"

#include "beacon/http/tests/IngestionServer.h"
#include "beacon/http/tests/Pump.h"
#include "beacon/http/tests/TrustingTransport.h"
#include "beacon/util/ScriptedReachability.h"
#include "platform/NotificationCenter.h"
#include "platform/headless/ManualScheduler.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <atomic>

using namespace beacon;
using beacon::test::IngestionServer;
using beacon::test::trustingTransport;

namespace {

struct Outcome {
    std::optional<std::string> data;
    std::optional<HttpResponse> response;
    std::optional<Error> error;
};

// Counts the requests the client puts on the wire, as they go out.
struct SendCounter : HttpClientDelegate {
    std::atomic<int> sends{0};
    void willSendHTTPRequest(const std::string&, const HttpHeaders&) override { ++sends; }
};

class HttpClientTest : public ::testing::Test {
protected:
    std::shared_ptr<HttpClient> makeClient(std::string caFile,
                                           std::chrono::milliseconds totalTimeout = std::chrono::seconds(20)) {
        auto client = HttpClient::create(scheduler, trustingTransport(caFile, totalTimeout));
        client->setDelegate(counter);
        return client;
    }

    // Runs the client's queue (in virtual time) until `done` holds; network
    // replies arrive in real time.
    template <typename Pred> bool pumpUntil(Pred done, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return test::pumpUntil(scheduler, done, timeout);
    }
    // Lets real replies arrive for a while, to show that nothing follows.
    void settle() {
        pumpUntil([] { return false; }, std::chrono::milliseconds(300));
    }

    // Sends a batch through the client; its outcome goes into `into`.
    void send(std::vector<Outcome>& into, const std::string& body = "{}") {
        client->sendAsync(server.origin() + "/logs", "POST", {}, body,
                          [&into](const auto& data, const auto& response, const auto& error) {
                              into.push_back({data, response, error});
                          });
    }

    // Waits until every reply has been handled and a retry is armed. The
    // delay of the retry is then scheduler.secondsUntilNext().
    void awaitRetry() {
        ASSERT_TRUE(pumpUntil([&] { return client->inProgressCallCount() == 0 && scheduler.pendingCount() > 0; }));
    }
    // Moves the clock exactly to the armed retry, so that its reply cannot
    // be handled at an earlier virtual time than the retry itself.
    void fireRetry() { scheduler.advance(platform::Seconds(scheduler.secondsUntilNext())); }
    // Waits until no request is on the wire.
    void awaitReplies() {
        ASSERT_TRUE(pumpUntil([&] { return client->inProgressCallCount() == 0; }));
    }

    platform::ManualScheduler scheduler;
    // Declared before the client, which a test may make to watch it.
    platform::NotificationCenter center;
    IngestionServer server;
    std::shared_ptr<SendCounter> counter = std::make_shared<SendCounter>();
    std::vector<Outcome> outcomes;
    std::shared_ptr<HttpClient> client = makeClient(IngestionServer::caFile());
};

} // namespace

TEST_F(HttpClientTest, FourServerErrorsRetryThreeTimesThenPause) {
    server.script({}, {{"status", 500}});
    send(outcomes);
    // Retry n comes in [interval/2, interval) after failure n.
    const double windows[][2] = {{5, 10}, {150, 300}, {600, 1200}};
    for (int n = 0; n < 3; ++n) {
        awaitRetry();
        // Virtual time is a double: allow for rounding of due - now.
        const double delay = scheduler.secondsUntilNext();
        EXPECT_GE(delay, windows[n][0] - 1e-6) << "retry " << n + 1;
        EXPECT_LT(delay, windows[n][1]) << "retry " << n + 1;
        scheduler.advance(platform::Seconds(delay - 0.001));
        EXPECT_EQ(counter->sends, n + 1) << "retry " << n + 1 << " came early";
        // Checked while the retry waits: once it fires, the reply to the
        // last one may already have paused the client.
        EXPECT_FALSE(client->isPaused()) << "retry " << n + 1;
        fireRetry();
        EXPECT_EQ(counter->sends, n + 2) << "retry " << n + 1 << " did not come";
    }
    ASSERT_TRUE(pumpUntil([&] { return outcomes.size() == 1; }));
    ASSERT_TRUE(outcomes[0].response);
    EXPECT_EQ(outcomes[0].response->statusCode, 500);
    EXPECT_TRUE(client->isPaused());
    EXPECT_EQ(server.requests().size(), 4u);

    // Paused: a new call waits, and goes out when the network comes back.
    server.script({});
    send(outcomes);
    scheduler.runUntilIdle();
    EXPECT_EQ(counter->sends, 4);
    client->reachabilityChanged(true);
    ASSERT_TRUE(pumpUntil([&] { return outcomes.size() == 2; }));
    EXPECT_EQ(outcomes[1].response->statusCode, 200);
}

TEST_F(HttpClientTest, UnauthorizedDisablesTheClientForGood) {
    server.script({{{"status", 503}}, {{"status", 401}}});
    std::vector<Outcome> first, second, later;
    send(first, "first");
    awaitRetry(); // 503: waits for its retry
    send(second, "second");
    ASSERT_TRUE(pumpUntil([&] { return second.size() == 1 && first.size() == 1; }));

    ASSERT_TRUE(second[0].response);
    EXPECT_EQ(second[0].response->statusCode, 401);
    ASSERT_TRUE(first[0].error);
    EXPECT_TRUE(first[0].error->is(kErrorDomain, kCanceledErrorCode));
    EXPECT_EQ(first[0].error->description, "The operation was canceled.");
    EXPECT_FALSE(client->isEnabled());

    send(later, "later");
    ASSERT_EQ(later.size(), 1u); // at once, without a request
    ASSERT_TRUE(later[0].error);
    EXPECT_TRUE(later[0].error->is(kErrorDomain, kDisabledErrorCode));
    EXPECT_EQ(later[0].error->description, "The service is disabled.");

    client->reachabilityChanged(true);
    scheduler.advance(platform::Seconds(3600));
    settle();
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(first.size(), 1u);
}

TEST_F(HttpClientTest, AServerOutageIsRiddenOutAndGoingOfflineHoldsCalls) {
    auto network = std::make_shared<ScriptedReachability>(center, scheduler);
    client = HttpClient::create(scheduler, trustingTransport(), network, &center);
    client->setDelegate(counter);
    scheduler.runUntilIdle(); // the monitor's first report: reachable

    server.script({{{"status", 500}}});
    send(outcomes);
    awaitRetry(); // one retry used
    server.stop();
    fireRetry();
    ASSERT_EQ(counter->sends, 2);
    // Refused while the network is up: the call follows its schedule.
    awaitRetry();
    EXPECT_TRUE(outcomes.empty());
    server.restart();
    fireRetry();
    ASSERT_TRUE(pumpUntil([&] { return outcomes.size() == 1; }));
    EXPECT_EQ(outcomes[0].response->statusCode, 200);
    EXPECT_FALSE(client->isPaused());

    // Going offline and back resends a held call with a fresh count: three
    // failures more still fit.
    outcomes.clear();
    counter->sends = 0;
    server.script({{{"status", 500}}, {{"status", 500}}, {{"status", 500}}});
    network->setStatus(NetworkStatus::NotReachable);
    scheduler.runUntilIdle();
    send(outcomes);
    scheduler.runUntilIdle();
    EXPECT_TRUE(client->isPaused());
    EXPECT_EQ(counter->sends, 0);
    network->setStatus(NetworkStatus::Reachable);
    scheduler.runUntilIdle();
    EXPECT_FALSE(client->isPaused());
    EXPECT_EQ(counter->sends, 1);
    for (int n = 0; n < 3; ++n) {
        awaitRetry();
        fireRetry();
    }
    ASSERT_TRUE(pumpUntil([&] { return outcomes.size() == 1; }));
    EXPECT_EQ(outcomes[0].response->statusCode, 200);
    EXPECT_FALSE(client->isPaused());
}

TEST_F(HttpClientTest, UntrustedCertificateHoldsTheCallWithoutCompleting) {
    client = makeClient(IngestionServer::otherCAFile());
    send(outcomes);
    awaitReplies();
    scheduler.advance(platform::Seconds(HttpClient::kHeldCallsCheckInterval - 1));
    settle();
    EXPECT_EQ(counter->sends, 1);
    // Tried again at the slow check of held calls, and held again.
    scheduler.advance(platform::Seconds(1));
    awaitReplies();
    EXPECT_TRUE(outcomes.empty());
    EXPECT_EQ(counter->sends, 2);
    EXPECT_EQ(client->pendingCallCount(), 1u);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(HttpClientTest, AStalledServerFailsTheCallInsteadOfHoldingItForever) {
    server.script({{{"delay", 30}}});
    client = makeClient(IngestionServer::caFile(), std::chrono::milliseconds(500));
    send(outcomes);
    ASSERT_TRUE(pumpUntil([&] { return outcomes.size() == 1; }));
    ASSERT_TRUE(outcomes[0].error);
    EXPECT_EQ(outcomes[0].error->domain, kTransportErrorDomain);
    EXPECT_EQ(outcomes[0].error->code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(client->pendingCallCount(), 0u);
}

TEST_F(HttpClientTest, DisablingWithDeletionCancelsCallsInFlight) {
    server.script({}, {{"delay", 30}});
    send(outcomes);
    ASSERT_TRUE(server.waitForRequests(1));
    client->setEnabled(false, true);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].error->is(kErrorDomain, kCanceledErrorCode));
    settle(); // the aborted exchange reports nothing more
    EXPECT_EQ(outcomes.size(), 1u);

    // Enabled again, with a new session.
    server.script({});
    client->setEnabled(true, false);
    send(outcomes);
    ASSERT_TRUE(pumpUntil([&] { return outcomes.size() == 2; }));
    EXPECT_EQ(outcomes[1].response->statusCode, 200);
}
