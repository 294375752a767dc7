#pragma once

#include "beacon/http/HttpClientProtocol.h"
#include "platform/Scheduler.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <random>

namespace beacon {

// One request of an HTTP client, from its first send until it completes:
// what to send, and where it stands in its retry schedule. Guarded by the
// client's lock.
class HttpCall {
public:
    // Bodies of this size or more go out gzip-compressed.
    static constexpr std::size_t kMinCompressionSize = 1400;

    HttpCall(std::string url, std::string method, HttpHeaders headers, const std::string& data,
             std::vector<double> retryIntervals, bool compressionEnabled, HttpCompletionHandler completionHandler);

    bool inProgress = false;
    std::int32_t retryCount = 0;
    std::string data;
    HttpHeaders headers;
    std::string url;
    std::string method;
    HttpCompletionHandler completionHandler;
    std::shared_ptr<platform::Timer> timerSource;
    std::vector<double> retryIntervals;

    bool hasReachedMaxRetries() const;
    // Cancels a waiting retry and starts the count again.
    void resetRetry();
    // Milliseconds to wait before the next attempt: `retryAfterMs` when the
    // server gave one (at most the longest interval), else a value in [interval/2, interval) for the
    // current retry count.
    long long retryDelayMs(std::optional<long long> retryAfterMs, std::mt19937_64& random) const;
    // Logs the failure, counts the retry and arms a one-shot timer on
    // `queue` that runs `resend` after the delay.
    void startRetryTimer(long statusCode, std::optional<long long> retryAfterMs, std::mt19937_64& random,
                         platform::Queue& queue, platform::Task resend);
};

} // namespace beacon
