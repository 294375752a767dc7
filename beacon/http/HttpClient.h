#pragma once

#include "beacon/http/HttpCall.h"
#include "beacon/http/HttpClientProtocol.h"
#include "beacon/http/HttpTransport.h"
#include "platform/NotificationCenter.h"
#include "platform/Scheduler.h"

#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

namespace beacon {

class Reachability;

// Sends requests through a transport, keeps every call until it completes,
// retries recoverable failures on the call's schedule (or after the server's
// "x-bcn-retry-after-ms"), holds calls while paused and shuts itself down on
// an unrecoverable status.
//
// Transport completions and retry timers run on the client's own serial
// queue; the public operations may be called from any thread.
class HttpClient : public HttpClientProtocol, public std::enable_shared_from_this<HttpClient> {
public:
    // Makes the session: called at creation and when the client is enabled
    // again after its session was dropped.
    using TransportFactory = std::function<std::shared_ptr<HttpTransport>()>;

    static constexpr const char* kRetryAfterHeader = "x-bcn-retry-after-ms";
    static constexpr const char* kQueueLabel = "com.zelvo.beacon.HttpClient";
    // While calls are held (paused, or waiting after a connectivity or TLS
    // failure), they are tried again this often, in seconds, unless the
    // network is known to be down.
    static constexpr double kHeldCallsCheckInterval = 600;

    // A client on libcurl, trusting the deployment's extra CA file, with at
    // most `maxConnectionsPerHost` parallel connections to one host. Given a
    // reachability monitor and the centre it posts to, the client pauses
    // while the network is unreachable and resumes when it comes back.
    static std::shared_ptr<HttpClient> create(platform::Scheduler& scheduler, long maxConnectionsPerHost = 4,
                                              std::shared_ptr<Reachability> reachability = nullptr,
                                              platform::NotificationCenter* center = nullptr);
    static std::shared_ptr<HttpClient> create(platform::Scheduler& scheduler, TransportFactory transportFactory,
                                              std::shared_ptr<Reachability> reachability = nullptr,
                                              platform::NotificationCenter* center = nullptr);
    ~HttpClient() override;

    using HttpClientProtocol::setEnabled;
    void sendAsync(const std::string& url, const std::string& method, const HttpHeaders& headers,
                   const std::string& data, HttpCompletionHandler completionHandler) override;
    void sendAsync(const std::string& url, const std::string& method, const HttpHeaders& headers,
                   const std::string& data, const std::vector<double>& retryIntervals, bool compressionEnabled,
                   HttpCompletionHandler completionHandler) override;
    void pause() override;
    void resume() override;
    void setEnabled(bool enabled, bool deleteDataOnDisabled) override;
    void setNetworkRequestsAllowed(bool allowed) override;
    bool finishCallsInProgress(std::chrono::steady_clock::time_point deadline) override;
    std::shared_ptr<HttpClientDelegate> delegate() const override;
    void setDelegate(std::weak_ptr<HttpClientDelegate> delegate) override;

    // Network reachability changed: resume when reachable, pause when not.
    void reachabilityChanged(bool reachable);

    bool isPaused() const;
    bool isEnabled() const;
    std::size_t pendingCallCount() const;
    // Pending calls whose request is on the wire.
    std::size_t inProgressCallCount() const;

private:
    HttpClient(platform::Scheduler& scheduler, TransportFactory transportFactory);

    // Completions gathered under the lock, run after it is released so that
    // handlers may call back into the client.
    using Deferred = std::vector<std::function<void()>>;
    static void run(Deferred& deferred);

    void sendCallAsync(const std::shared_ptr<HttpCall>& call);
    void requestCompleted(const std::shared_ptr<HttpCall>& call, TransportResult result);
    bool isPendingLocked(const std::shared_ptr<HttpCall>& call) const;
    // A recoverable status or transport failure: retry on the schedule, or
    // pause and complete once the schedule is used up.
    void recoverableFailureLocked(const std::shared_ptr<HttpCall>& call, long status,
                                  std::optional<long long> retryAfterMs, TransportResult result, Deferred& deferred);
    void retryTimerFired(const std::shared_ptr<HttpCall>& call);
    void armHeldCallsCheckLocked();
    void cancelHeldCallsCheckLocked();
    void checkHeldCalls();
    void observeReachability(std::shared_ptr<Reachability> reachability, platform::NotificationCenter* center);
    void pauseLocked();
    void resumeLocked();
    void setEnabledLocked(bool enabled, bool deleteDataOnDisabled, Deferred& deferred);
    void complete(const std::shared_ptr<HttpCall>& call, std::optional<std::string> data,
                  std::optional<HttpResponse> response, std::optional<Error> error, Deferred& deferred);

    mutable std::recursive_mutex mutex_;
    TransportFactory transportFactory_;
    std::shared_ptr<HttpTransport> transport_;
    std::shared_ptr<platform::Queue> queue_;
    std::weak_ptr<HttpClientDelegate> delegate_;
    std::shared_ptr<Reachability> reachability_;
    std::shared_ptr<platform::Timer> heldCallsCheck_;
    platform::Subscription reachabilitySubscription_;
    // In order of first send.
    std::vector<std::shared_ptr<HttpCall>> pendingCalls_;
    std::mt19937_64 random_;
    bool paused_ = false;
    bool enabled_ = true;
    bool requestsAllowed_ = true;
};

} // namespace beacon
