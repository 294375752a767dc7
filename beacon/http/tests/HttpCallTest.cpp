#include "beacon/http/HttpCall.h"

#include "beacon/http/tests/Gunzip.h"

#include <gtest/gtest.h>

#include <random>

using beacon::HttpCall;

namespace {

HttpCall makeCall(const std::string& body, bool compression = true, beacon::HttpHeaders headers = {}) {
    return HttpCall("https://127.0.0.1/x", "POST", std::move(headers), body, {10, 300, 1200}, compression, nullptr);
}

} // namespace

TEST(HttpCallTest, CompressesBodiesFrom1400Bytes) {
    const std::string below(1399, 'a');
    auto plain = makeCall(below);
    EXPECT_EQ(plain.data, below);
    EXPECT_EQ(plain.headers.count("Content-Encoding"), 0u);
    EXPECT_EQ(plain.headers.at("Content-Type"), "application/json");

    const std::string atLimit(1400, 'a');
    auto compressed = makeCall(atLimit);
    EXPECT_EQ(compressed.headers.at("Content-Encoding"), "gzip");
    EXPECT_LT(compressed.data.size(), atLimit.size());
    EXPECT_EQ(beacon::test::gunzip(compressed.data), atLimit);

    auto disabled = makeCall(atLimit, false);
    EXPECT_EQ(disabled.data, atLimit);
    EXPECT_EQ(disabled.headers.count("Content-Encoding"), 0u);
}

TEST(HttpCallTest, KeepsGivenContentTypeAndAddsNoneWithoutBody) {
    auto typed = makeCall("{}", true, {{"Content-Type", "text/plain"}});
    EXPECT_EQ(typed.headers.at("Content-Type"), "text/plain");
    auto empty = makeCall("");
    EXPECT_EQ(empty.headers.count("Content-Type"), 0u);
}

TEST(HttpCallTest, RetryDelayLiesInTheSecondHalfOfEachInterval) {
    auto call = makeCall("{}");
    std::mt19937_64 random(42);
    const long long bounds[][2] = {{5'000, 10'000}, {150'000, 300'000}, {600'000, 1'200'000}};
    for (int n = 0; n < 3; ++n) {
        call.retryCount = n;
        long long lowest = bounds[n][1], highest = 0;
        for (int i = 0; i < 2000; ++i) {
            const long long delay = call.retryDelayMs(std::nullopt, random);
            ASSERT_GE(delay, bounds[n][0]);
            ASSERT_LT(delay, bounds[n][1]);
            lowest = std::min(lowest, delay);
            highest = std::max(highest, delay);
        }
        // Jittered over the whole half, not a fixed value.
        EXPECT_LT(lowest, bounds[n][0] + (bounds[n][1] - bounds[n][0]) / 10);
        EXPECT_GT(highest, bounds[n][1] - (bounds[n][1] - bounds[n][0]) / 10);
    }
    EXPECT_EQ(call.retryDelayMs(2500, random), 2500);
}

TEST(HttpCallTest, MaxRetriesIsTheNumberOfIntervals) {
    auto call = makeCall("{}");
    EXPECT_FALSE(call.hasReachedMaxRetries());
    call.retryCount = 2;
    EXPECT_FALSE(call.hasReachedMaxRetries());
    call.retryCount = 3;
    EXPECT_TRUE(call.hasReachedMaxRetries());
    call.resetRetry();
    EXPECT_EQ(call.retryCount, 0);
}
