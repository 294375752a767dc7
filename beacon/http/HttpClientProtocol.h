#pragma once

#include "beacon/http/Error.h"
#include "beacon/http/HttpClientDelegate.h"
#include "beacon/http/HttpTypes.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

// The outcome of a call: the response body (when a response came), the
// response, or an error.
using HttpCompletionHandler =
    std::function<void(const std::optional<std::string>& data, const std::optional<HttpResponse>& response,
                       const std::optional<Error>& error)>;

// Seconds between the attempts of a call: 10 s, 5 min, 20 min.
inline const std::vector<double> kDefaultRetryIntervals = {10, 300, 1200};

class HttpClientProtocol {
public:
    virtual ~HttpClientProtocol() = default;

    // With the default retry intervals and compression enabled.
    virtual void sendAsync(const std::string& url, const std::string& method, const HttpHeaders& headers,
                           const std::string& data, HttpCompletionHandler completionHandler) = 0;
    virtual void sendAsync(const std::string& url, const std::string& method, const HttpHeaders& headers,
                           const std::string& data, const std::vector<double>& retryIntervals, bool compressionEnabled,
                           HttpCompletionHandler completionHandler) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void setEnabled(bool enabled, bool deleteDataOnDisabled) = 0;
    // Disabling this way also cancels every pending call.
    void setEnabled(bool enabled) { setEnabled(enabled, true); }
    // While forbidden nothing goes out, neither retries nor held calls;
    // calls are kept and sent once requests are allowed again.
    virtual void setNetworkRequestsAllowed(bool allowed) {}
    // Waits until no request is on the wire and the completions of those that
    // ended have run, or until `deadline`; true when nothing was left waiting.
    // Called at quit, so that an answer already on its way is not lost.
    virtual bool finishCallsInProgress(std::chrono::steady_clock::time_point deadline) { return true; }

    virtual std::shared_ptr<HttpClientDelegate> delegate() const = 0;
    virtual void setDelegate(std::weak_ptr<HttpClientDelegate> delegate) = 0;
};

} // namespace beacon
