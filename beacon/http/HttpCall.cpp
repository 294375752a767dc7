#include "beacon/http/HttpCall.h"

#include "beacon/logger/Logger.h"
#include "beacon/util/Compression.h"

#include <algorithm>

namespace beacon {

HttpCall::HttpCall(std::string url, std::string method, HttpHeaders headers, const std::string& data,
                   std::vector<double> retryIntervals, bool compressionEnabled, HttpCompletionHandler completionHandler)
    : data(data), headers(std::move(headers)), url(std::move(url)), method(std::move(method)),
      completionHandler(std::move(completionHandler)), retryIntervals(std::move(retryIntervals)) {
    if (!data.empty() && this->headers.find("Content-Type") == this->headers.end())
        this->headers["Content-Type"] = "application/json";
    if (compressionEnabled && data.size() >= kMinCompressionSize) {
        // A body that cannot be compressed goes out as it is rather than
        // being lost.
        const Compression::Data bytes(data.begin(), data.end());
        if (auto compressed = Compression::compressData(bytes)) {
            this->data.assign(compressed->begin(), compressed->end());
            this->headers["Content-Encoding"] = "gzip";
        }
    }
}

bool HttpCall::hasReachedMaxRetries() const { return retryCount >= static_cast<std::int32_t>(retryIntervals.size()); }

void HttpCall::resetRetry() {
    if (timerSource) timerSource->cancel();
    timerSource.reset();
    retryCount = 0;
}

long long HttpCall::retryDelayMs(std::optional<long long> retryAfterMs, std::mt19937_64& random) const {
    if (retryIntervals.empty()) return 0;
    // The server's hint, bounded by the longest interval of the schedule so
    // that a huge value cannot overflow the timer arithmetic.
    if (retryAfterMs) {
        const double longest = *std::max_element(retryIntervals.begin(), retryIntervals.end());
        const long long bound = longest > 0 ? static_cast<long long>(longest * 1000.0) : 0;
        return std::clamp(*retryAfterMs, 0LL, bound);
    }
    const auto index =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(retryCount, 0)), retryIntervals.size() - 1);
    const long long half = static_cast<long long>(retryIntervals[index] * 1000.0) / 2;
    if (half <= 0) return 0;
    return half + std::uniform_int_distribution<long long>(0, half - 1)(random);
}

void HttpCall::startRetryTimer(long statusCode, std::optional<long long> retryAfterMs, std::mt19937_64& random,
                               platform::Queue& queue, platform::Task resend) {
    const long long delay = retryDelayMs(retryAfterMs, random);
    BEACON_LOG_WARNING("Call attempt #", retryCount + 1, " failed with status code: ", statusCode,
                       ", it will be retried in ", delay, " ms.");
    ++retryCount;
    if (timerSource) timerSource->cancel();
    timerSource = queue.schedule(platform::Seconds(static_cast<double>(delay) / 1000.0), false, std::move(resend));
}

} // namespace beacon
