// The client's retry and hold decisions, driven through a scripted transport
// and virtual time, so that the order of replies, timers and state changes is
// exactly the one each case needs.
#include "beacon/http/HttpClient.h"

#include "beacon/util/Reachability.h"
#include "platform/headless/ManualScheduler.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cerrno>

using namespace beacon;

namespace {

// Keeps every request; the test answers them.
struct ScriptedTransport : HttpTransport {
    struct Sent {
        HttpRequest request;
        Completion completion;
    };
    std::vector<Sent> sent;
    void send(HttpRequest request, Completion completion) override {
        sent.push_back({std::move(request), std::move(completion)});
    }
    void cancelAll() override {}
    void reply(std::size_t index, TransportResult result) { sent.at(index).completion(std::move(result)); }
};

TransportResult status(long code, std::vector<std::pair<std::string, std::string>> headers = {}) {
    TransportResult result;
    result.response = HttpResponse{code, std::move(headers)};
    return result;
}

TransportResult failure(long curlCode, int osErrno) {
    TransportResult result;
    result.error = Error{kTransportErrorDomain, curlCode, "failed", osErrno};
    return result;
}

// A serial queue whose timers also hand their task to the test: running it
// after a cancel plays a timer that had already fired when the cancel came.
struct RacingQueue : platform::Queue {
    std::shared_ptr<platform::Queue> inner;
    std::vector<platform::Task> timerTasks;
    const std::string& label() const override { return inner->label(); }
    void async(platform::Task task) override { inner->async(std::move(task)); }
    void after(platform::Seconds delay, platform::Task task) override { inner->after(delay, std::move(task)); }
    void sync(platform::Task task) override { inner->sync(std::move(task)); }
    std::shared_ptr<platform::Timer> schedule(platform::Seconds interval, bool repeats, platform::Task task) override {
        timerTasks.push_back(task);
        return inner->schedule(interval, repeats, std::move(task));
    }
    bool isCurrent() const override { return inner->isCurrent(); }
};

struct RacingScheduler : platform::Scheduler {
    platform::ManualScheduler manual;
    std::shared_ptr<RacingQueue> queue = std::make_shared<RacingQueue>();
    platform::Queue& mainQueue() override { return manual.mainQueue(); }
    platform::Queue& globalQueue() override { return manual.globalQueue(); }
    std::shared_ptr<platform::Queue> makeSerialQueue(const std::string& label) override {
        queue->inner = manual.makeSerialQueue(label);
        return queue;
    }
    platform::WallTime now() const override { return manual.now(); }
};

struct Outcome {
    std::optional<HttpResponse> response;
    std::optional<Error> error;
};

class HttpClientScheduleTest : public ::testing::Test {
protected:
    void send() {
        client->sendAsync("https://127.0.0.1:1/logs", "POST", {}, "{}",
                          [this](const auto&, const auto& response, const auto& error) {
                              outcomes.push_back({response, error});
                          });
    }
    // Runs queued work and delivers the replies given so far.
    void run() { scheduler.manual.runUntilIdle(); }
    // Answers request `index`, then delivers the reply.
    void answer(std::size_t index, TransportResult result) {
        transport->reply(index, std::move(result));
        run();
    }

    RacingScheduler scheduler;
    std::shared_ptr<ScriptedTransport> transport = std::make_shared<ScriptedTransport>();
    std::shared_ptr<HttpClient> client = HttpClient::create(scheduler, [t = transport] { return t; });
    std::vector<Outcome> outcomes;
};

} // namespace

TEST_F(HttpClientScheduleTest, AFailureWhilePausedIsSentOnceOnResume) {
    send();
    client->pause();
    answer(0, status(503));
    client->resume();
    ASSERT_EQ(transport->sent.size(), 2u);
    // No retry was armed behind the resend: nothing else goes out while the
    // resent request is on the wire.
    scheduler.manual.advance(platform::Seconds(500));
    EXPECT_EQ(transport->sent.size(), 2u);
    answer(1, status(200));
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].response->statusCode, 200);
}

TEST_F(HttpClientScheduleTest, ARetryFiringAfterCancellationDoesNotBringTheCallBack) {
    send();
    answer(0, status(503));
    ASSERT_EQ(scheduler.queue->timerTasks.size(), 1u);
    client->setEnabled(false, true);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].error->is(kErrorDomain, kCanceledErrorCode));

    scheduler.queue->timerTasks[0](); // the retry that was already under way
    client->setEnabled(true, false);
    scheduler.manual.advance(platform::Seconds(3600));
    EXPECT_EQ(transport->sent.size(), 1u);
    EXPECT_EQ(client->pendingCallCount(), 0u);
    EXPECT_EQ(outcomes.size(), 1u);
}

TEST_F(HttpClientScheduleTest, TheServersRetryHintIsBoundedByTheLongestInterval) {
    const struct {
        const char* hint;
        double seconds;
    } cases[] = {{"2500", 2.5}, {"9223372036854775807", 1200}, {"99999999999999999999", 1200}};
    for (const auto& c : cases) {
        const std::size_t first = transport->sent.size();
        send();
        answer(first, status(503, {{"x-bcn-retry-after-ms", c.hint}}));
        EXPECT_NEAR(scheduler.manual.secondsUntilNext(), c.seconds, 1e-6) << c.hint;
        scheduler.manual.advance(platform::Seconds(c.seconds - 0.001));
        EXPECT_EQ(transport->sent.size(), first + 1) << c.hint << ": resent early";
        scheduler.manual.advance(platform::Seconds(scheduler.manual.secondsUntilNext()));
        ASSERT_EQ(transport->sent.size(), first + 2) << c.hint;
        answer(first + 1, status(200));
    }
    EXPECT_EQ(outcomes.size(), 3u);
}

TEST_F(HttpClientScheduleTest, OnlyANetworkWithoutRouteHoldsTheCall) {
    // Refused while the network is up: retried on the schedule (5-10 s).
    send();
    answer(0, failure(CURLE_COULDNT_CONNECT, ECONNREFUSED));
    scheduler.manual.advance(platform::Seconds(10));
    ASSERT_EQ(transport->sent.size(), 2u);

    // No route: held, with no retry of the schedule, and tried again at the
    // slow check of held calls.
    answer(1, failure(CURLE_COULDNT_CONNECT, ENETUNREACH));
    scheduler.manual.advance(platform::Seconds(HttpClient::kHeldCallsCheckInterval - 1));
    EXPECT_EQ(transport->sent.size(), 2u);
    EXPECT_TRUE(outcomes.empty());
    scheduler.manual.advance(platform::Seconds(1));
    ASSERT_EQ(transport->sent.size(), 3u);
    answer(2, status(200));
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].response->statusCode, 200);
}

TEST_F(HttpClientScheduleTest, AnOutageLongerThanTheScheduleEndsInAPauseThatIsCheckedAgain) {
    send();
    for (std::size_t n = 0; n < 4; ++n) {
        ASSERT_EQ(transport->sent.size(), n + 1);
        answer(n, failure(CURLE_GOT_NOTHING, 0));
        scheduler.manual.advance(platform::Seconds(1200));
    }
    ASSERT_EQ(outcomes.size(), 1u);
    ASSERT_TRUE(outcomes[0].error);
    EXPECT_EQ(outcomes[0].error->code, CURLE_GOT_NOTHING);
    EXPECT_TRUE(client->isPaused());

    // A batch sent meanwhile waits for the periodic check, not for a change
    // of the network.
    send();
    scheduler.manual.advance(platform::Seconds(HttpClient::kHeldCallsCheckInterval));
    EXPECT_FALSE(client->isPaused());
    ASSERT_EQ(transport->sent.size(), 5u);
    answer(4, status(200));
    EXPECT_EQ(outcomes.size(), 2u);
}

// While requests are forbidden nothing goes out: not a retry on the schedule,
// not the check of held calls, not a paused client's check; allowed again, the
// kept call goes out at once.
TEST_F(HttpClientScheduleTest, NothingGoesOutWhileRequestsAreForbidden) {
    const TransportResult failures[] = {status(503), failure(CURLE_COULDNT_RESOLVE_HOST, 0)};
    for (std::size_t n = 0; n < 3; ++n) {
        const std::size_t first = transport->sent.size();
        if (n == 2) client->pause();
        send();
        if (n < 2) transport->reply(first, failures[n]);
        run();
        client->setNetworkRequestsAllowed(false);
        if (n == 2) client->resume();
        scheduler.manual.advance(platform::Seconds(3 * HttpClient::kHeldCallsCheckInterval));
        EXPECT_EQ(transport->sent.size(), n == 2 ? first : first + 1) << n;
        client->setNetworkRequestsAllowed(true);
        ASSERT_EQ(transport->sent.size(), n == 2 ? first + 1 : first + 2) << n;
        answer(transport->sent.size() - 1, status(200));
        EXPECT_EQ(outcomes.size(), n + 1) << n;
    }
}
