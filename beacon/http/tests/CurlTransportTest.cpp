#include "platform/http/CurlTransport.h"

#include "beacon/http/HttpUtil.h"
#include "beacon/http/tests/IngestionServer.h"

#include <cerrno>
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <future>

using namespace platform::http;
using beacon::HttpUtil;
using beacon::test::IngestionServer;

namespace {

TransportResult exchange(HttpTransport& transport, HttpRequest request) {
    std::promise<TransportResult> done;
    auto future = done.get_future();
    transport.send(std::move(request), [&done](TransportResult result) { done.set_value(std::move(result)); });
    EXPECT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    return future.get();
}

// A test server and a transport that trusts it.
class CurlTransportTest : public ::testing::Test {
protected:
    IngestionServer server;
    CurlTransport transport{{.extraCAFile = IngestionServer::caFile()}};
};

} // namespace

TEST_F(CurlTransportTest, SendsRequestAsGivenAndReadsTheResponse) {
    server.script(
        {{{"status", 202}, {"headers", {{"X-Test", "yes"}, {"Content-Type", "text/plain"}}}, {"body", "accepted"}}});
    const std::string body = "{\"a\":\"\xc3\xa9\"}";
    auto result = exchange(transport, {server.origin() + "/logs?api-version=1.0.0",
                                       "POST",
                                       {{"Content-Type", "application/json"}, {"Install-ID", "abc"}},
                                       body});
    ASSERT_FALSE(result.error) << result.error->description;
    ASSERT_TRUE(result.response);
    EXPECT_EQ(result.response->statusCode, 202);
    EXPECT_EQ(result.response->header("x-test"), "yes");
    EXPECT_EQ(result.body, "accepted");

    ASSERT_TRUE(server.waitForRequests(1));
    const auto recorded = server.requests().at(0);
    EXPECT_EQ(recorded.method, "POST");
    EXPECT_EQ(recorded.path, "/logs?api-version=1.0.0");
    EXPECT_EQ(recorded.header("Content-Type"), "application/json");
    EXPECT_EQ(recorded.header("Install-ID"), "abc");
    EXPECT_FALSE(recorded.header("Expect"));
    EXPECT_EQ(recorded.body, body);
}

TEST_F(CurlTransportTest, ClassifiesNetworkFailures) {
    server.script({{{"drop", true}}});

    // A certificate from an authority the client does not trust.
    CurlTransport untrusting({.extraCAFile = IngestionServer::otherCAFile()});
    auto tls = exchange(untrusting, {server.origin() + "/logs", "POST", {}, "{}"});
    ASSERT_TRUE(tls.error);
    EXPECT_TRUE(HttpUtil::isSSLConnectionError(*tls.error)) << tls.error->description;

    auto dropped = exchange(transport, {server.origin() + "/logs", "POST", {}, "{}"});
    ASSERT_TRUE(dropped.error);
    EXPECT_TRUE(HttpUtil::isRecoverableTransportError(*dropped.error)) << dropped.error->description;

    const std::string origin = server.origin();
    server.stop();
    auto refused = exchange(transport, {origin + "/logs", "POST", {}, "{}"});
    ASSERT_TRUE(refused.error);
    EXPECT_TRUE(HttpUtil::isRecoverableTransportError(*refused.error)) << refused.error->description;
    EXPECT_EQ(refused.error->osErrno, ECONNREFUSED);

    auto unresolved = exchange(transport, {"https://no-such-host.invalid/logs", "POST", {}, "{}"});
    ASSERT_TRUE(unresolved.error);
    EXPECT_TRUE(HttpUtil::isNoInternetConnectionError(*unresolved.error)) << unresolved.error->description;
}

TEST_F(CurlTransportTest, CancelAllEndsExchangesInFlightAndRefusesLaterOnes) {
    server.script({}, {{"delay", 30}});
    std::promise<TransportResult> done;
    transport.send({server.origin() + "/logs", "POST", {}, "{}"},
                   [&done](TransportResult r) { done.set_value(std::move(r)); });
    ASSERT_TRUE(server.waitForRequests(1));
    transport.cancelAll();
    auto future = done.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    auto result = future.get();
    ASSERT_TRUE(result.error);
    EXPECT_FALSE(HttpUtil::isNoInternetConnectionError(*result.error));

    auto later = exchange(transport, {server.origin() + "/logs", "POST", {}, "{}"});
    ASSERT_TRUE(later.error);
    EXPECT_EQ(server.requests().size(), 1u);
}
