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

// Bodies from 1400 bytes go out gzip-compressed unless compression is off; a
// body gets a JSON content type unless one is given, no body gets none.
TEST(HttpCallTest, CompressionAndContentTypeFollowTheBody) {
    const struct {
        std::string body;
        bool compression;
        beacon::HttpHeaders headers;
        bool gzip;
        const char* contentType;
    } cases[] = {
        {std::string(1399, 'a'), true, {}, false, "application/json"},
        {std::string(1400, 'a'), true, {}, true, "application/json"},
        {std::string(1400, 'a'), false, {}, false, "application/json"},
        {"{}", true, {{"Content-Type", "text/plain"}}, false, "text/plain"},
        {"", true, {}, false, ""},
    };
    for (const auto& c : cases) {
        auto call = makeCall(c.body, c.compression, c.headers);
        EXPECT_EQ(call.headers.count("Content-Encoding"), c.gzip ? 1u : 0u) << c.body.size();
        EXPECT_EQ(c.gzip ? beacon::test::gunzip(call.data) : call.data, c.body) << c.body.size();
        const auto type = call.headers.find("Content-Type");
        EXPECT_EQ(type == call.headers.end() ? "" : type->second, c.contentType) << c.body.size();
    }
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
