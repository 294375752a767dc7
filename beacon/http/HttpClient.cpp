#include "beacon/http/HttpClient.h"

#include "beacon/http/HttpUtil.h"
#include "beacon/logger/Logger.h"
#include "beacon/util/DispatcherUtil.h"
#include "beacon/util/Reachability.h"
#include "platform/http/CurlTransport.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <thread>

namespace beacon {

namespace {

std::optional<long long> parseRetryAfter(const std::optional<HttpResponse>& response) {
    if (!response) return std::nullopt;
    const auto value = response->header(HttpClient::kRetryAfterHeader);
    if (!value || value->empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long ms = std::strtoll(value->c_str(), &end, 10);
    // A hint that is not a plain non-negative number is ignored: the call
    // then follows its own schedule.
    if (end == value->c_str() || *end != '\0' || ms < 0) return std::nullopt;
    // Out of range: as long as possible; the call bounds it by its schedule.
    if (errno == ERANGE) return std::numeric_limits<long long>::max();
    return ms;
}

} // namespace

std::shared_ptr<HttpClient> HttpClient::create(platform::Scheduler& scheduler, long maxConnectionsPerHost,
                                               std::shared_ptr<Reachability> reachability,
                                               platform::NotificationCenter* center) {
    return create(
        scheduler,
        [maxConnectionsPerHost] {
            auto options = platform::http::CurlTransportOptions::fromDeployment();
            options.maxConnectionsPerHost = maxConnectionsPerHost;
            return std::make_shared<platform::http::CurlTransport>(options);
        },
        std::move(reachability), center);
}

std::shared_ptr<HttpClient> HttpClient::create(platform::Scheduler& scheduler, TransportFactory transportFactory,
                                               std::shared_ptr<Reachability> reachability,
                                               platform::NotificationCenter* center) {
    auto client = std::shared_ptr<HttpClient>(new HttpClient(scheduler, std::move(transportFactory)));
    if (reachability && center) client->observeReachability(std::move(reachability), center);
    return client;
}

void HttpClient::observeReachability(std::shared_ptr<Reachability> reachability, platform::NotificationCenter* center) {
    std::lock_guard lock(mutex_);
    reachability_ = std::move(reachability);
    const Reachability* monitor = reachability_.get();
    reachabilitySubscription_ = platform::Subscription(
        *center, center->addObserver(kBcnNetworkReachabilityChangedNotification, monitor,
                                     [weak = weak_from_this()](const platform::Notification&) {
                                         auto self = weak.lock();
                                         if (!self) return;
                                         std::shared_ptr<Reachability> source;
                                         {
                                             std::lock_guard lock(self->mutex_);
                                             source = self->reachability_;
                                         }
                                         if (source)
                                             self->reachabilityChanged(source->currentReachabilityStatus() ==
                                                                       NetworkStatus::Reachable);
                                     }));
    reachability_->startNotifier();
}

HttpClient::HttpClient(platform::Scheduler& scheduler, TransportFactory transportFactory)
    : transportFactory_(std::move(transportFactory)), transport_(transportFactory_()),
      queue_(scheduler.makeSerialQueue(kQueueLabel)), random_(std::random_device{}()) {}

HttpClient::~HttpClient() {
    std::lock_guard lock(mutex_);
    reachabilitySubscription_.cancel();
    if (reachability_) reachability_->stopNotifier();
    cancelHeldCallsCheckLocked();
    for (auto& call : pendingCalls_) call->resetRetry();
}

void HttpClient::run(Deferred& deferred) {
    for (auto& task : deferred) task();
    deferred.clear();
}

void HttpClient::sendAsync(const std::string& url, const std::string& method, const HttpHeaders& headers,
                           const std::string& data, HttpCompletionHandler completionHandler) {
    sendAsync(url, method, headers, data, kDefaultRetryIntervals, true, std::move(completionHandler));
}

void HttpClient::sendAsync(const std::string& url, const std::string& method, const HttpHeaders& headers,
                           const std::string& data, const std::vector<double>& retryIntervals, bool compressionEnabled,
                           HttpCompletionHandler completionHandler) {
    {
        std::lock_guard lock(mutex_);
        if (enabled_) {
            sendCallAsync(std::make_shared<HttpCall>(url, method, headers, data, retryIntervals, compressionEnabled,
                                                     std::move(completionHandler)));
            return;
        }
    }
    if (completionHandler) completionHandler(std::nullopt, std::nullopt, makeError(kDisabledErrorCode));
}

bool HttpClient::isPendingLocked(const std::shared_ptr<HttpCall>& call) const {
    return std::find(pendingCalls_.begin(), pendingCalls_.end(), call) != pendingCalls_.end();
}

void HttpClient::sendCallAsync(const std::shared_ptr<HttpCall>& call) {
    std::lock_guard lock(mutex_);
    if (!isPendingLocked(call)) pendingCalls_.push_back(call);
    // One exchange per call at a time: a call on the wire is not sent again.
    if (call->inProgress) return;
    // Kept until requests are allowed again, which sends it.
    if (!requestsAllowed_) {
        call->resetRetry();
        return;
    }
    if (paused_) {
        armHeldCallsCheckLocked();
        return;
    }
    // Sent now: a retry still armed for it would post the same body twice.
    if (call->timerSource) {
        call->timerSource->cancel();
        call->timerSource.reset();
    }
    if (auto observer = delegate_.lock()) observer->willSendHTTPRequest(call->url, call->headers);
    if (!transport_) transport_ = transportFactory_();
    call->inProgress = true;
    transport_->send(HttpRequest{call->url, call->method, call->headers, call->data},
                     [weak = weak_from_this(), queue = queue_, call](TransportResult result) {
                         queue->async([weak, call, result = std::move(result)]() mutable {
                             if (auto self = weak.lock()) self->requestCompleted(call, std::move(result));
                         });
                     });
}

void HttpClient::requestCompleted(const std::shared_ptr<HttpCall>& call, TransportResult result) {
    Deferred deferred;
    {
        std::lock_guard lock(mutex_);
        call->inProgress = false;
        if (!isPendingLocked(call)) {
            BEACON_LOG_DEBUG("HTTP call was canceled; do not process further.");
            return;
        }
        if (result.error) {
            const Error& error = *result.error;
            // A dropped or refused connection while the monitor knows the
            // network is gone is the network's failure, not the server's.
            const bool networkDown =
                reachability_ && reachability_->currentReachabilityStatus() == NetworkStatus::NotReachable;
            const bool offline = HttpUtil::isNoInternetConnectionError(error) ||
                                 (networkDown && HttpUtil::isRecoverableTransportError(error));
            if (offline || HttpUtil::isSSLConnectionError(error)) {
                // The call waits, with a fresh count, until the client resumes
                // or the next check of held calls.
                call->resetRetry();
                BEACON_LOG_INFO("HTTP call failed with error: ",
                                offline ? "Internet connection is down." : "Could not establish secure connection.");
                armHeldCallsCheckLocked();
                return;
            }
            if (HttpUtil::isRecoverableTransportError(error)) {
                // The server is unreachable while the network is up: an
                // outage that the retry schedule rides out.
                BEACON_LOG_WARNING("HTTP request error with code: ", error.code, ", domain: ", error.domain,
                                   ", description: ", error.description);
                recoverableFailureLocked(call, 0, std::nullopt, TransportResult{std::nullopt, {}, error}, deferred);
            } else {
                BEACON_LOG_ERROR("HTTP request error with code: ", error.code, ", domain: ", error.domain,
                                 ", description: ", error.description);
                complete(call, std::nullopt, std::nullopt, error, deferred);
            }
        } else {
            const long status = result.response ? result.response->statusCode : 0;
            if (HttpUtil::isRecoverableError(status)) {
                const auto retryAfter = parseRetryAfter(result.response);
                recoverableFailureLocked(call, status, retryAfter, std::move(result), deferred);
            } else if (HttpUtil::isSuccessStatusCode(status)) {
                complete(call, std::move(result.body), std::move(result.response), std::nullopt, deferred);
            } else {
                complete(call, std::move(result.body), std::move(result.response), std::nullopt, deferred);
                setEnabledLocked(false, true, deferred);
            }
        }
    }
    run(deferred);
}

void HttpClient::recoverableFailureLocked(const std::shared_ptr<HttpCall>& call, long status,
                                          std::optional<long long> retryAfterMs, TransportResult result,
                                          Deferred& deferred) {
    if (call->hasReachedMaxRetries()) {
        pauseLocked();
        std::optional<std::string> body;
        if (result.response) body = std::move(result.body);
        complete(call, std::move(body), std::move(result.response), std::move(result.error), deferred);
        return;
    }
    // Paused meanwhile: the call waits for resume, which sends it once.
    if (paused_) {
        call->resetRetry();
        return;
    }
    call->startRetryTimer(status, retryAfterMs, random_, *queue_, [weak = weak_from_this(), call] {
        if (auto self = weak.lock()) self->retryTimerFired(call);
    });
}

void HttpClient::retryTimerFired(const std::shared_ptr<HttpCall>& call) {
    std::lock_guard lock(mutex_);
    // A call completed or canceled while its timer was due stays gone.
    if (!isPendingLocked(call)) return;
    call->timerSource.reset();
    sendCallAsync(call);
}

void HttpClient::armHeldCallsCheckLocked() {
    if (heldCallsCheck_ || !enabled_ || !requestsAllowed_) return;
    heldCallsCheck_ = queue_->schedule(platform::Seconds(kHeldCallsCheckInterval), true, [weak = weak_from_this()] {
        if (auto self = weak.lock()) self->checkHeldCalls();
    });
}

void HttpClient::cancelHeldCallsCheckLocked() {
    if (heldCallsCheck_) heldCallsCheck_->cancel();
    heldCallsCheck_.reset();
}

void HttpClient::checkHeldCalls() {
    std::lock_guard lock(mutex_);
    if (!enabled_ || pendingCalls_.empty()) {
        cancelHeldCallsCheckLocked();
        return;
    }
    // A network known to be down keeps holding; otherwise try again.
    if (reachability_ && reachability_->currentReachabilityStatus() == NetworkStatus::NotReachable) return;
    if (paused_) {
        resumeLocked();
        return;
    }
    const auto calls = pendingCalls_;
    for (auto& call : calls)
        if (!call->inProgress && !call->timerSource) sendCallAsync(call);
}

void HttpClient::complete(const std::shared_ptr<HttpCall>& call, std::optional<std::string> data,
                          std::optional<HttpResponse> response, std::optional<Error> error, Deferred& deferred) {
    pendingCalls_.erase(std::remove(pendingCalls_.begin(), pendingCalls_.end(), call), pendingCalls_.end());
    call->resetRetry();
    if (auto handler = std::move(call->completionHandler))
        deferred.push_back([handler = std::move(handler), data = std::move(data), response = std::move(response),
                            error = std::move(error)] { handler(data, response, error); });
}

void HttpClient::pause() {
    std::lock_guard lock(mutex_);
    pauseLocked();
}

void HttpClient::pauseLocked() {
    if (paused_) return;
    BEACON_LOG_INFO("Pause HTTP client.");
    paused_ = true;
    for (auto& call : pendingCalls_) call->resetRetry();
    armHeldCallsCheckLocked();
}

void HttpClient::resume() {
    std::lock_guard lock(mutex_);
    resumeLocked();
}

void HttpClient::resumeLocked() {
    if (!paused_ || !enabled_) return;
    BEACON_LOG_INFO("Resume HTTP client.");
    paused_ = false;
    // Every held call goes out now; one held again re-arms the check.
    cancelHeldCallsCheckLocked();
    const auto calls = pendingCalls_;
    for (auto& call : calls)
        if (!call->inProgress) sendCallAsync(call);
}

void HttpClient::setEnabled(bool enabled, bool deleteDataOnDisabled) {
    Deferred deferred;
    {
        std::lock_guard lock(mutex_);
        setEnabledLocked(enabled, deleteDataOnDisabled, deferred);
    }
    run(deferred);
}

void HttpClient::setEnabledLocked(bool enabled, bool deleteDataOnDisabled, Deferred& deferred) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (enabled) {
        // A session dropped on disabling is made anew; one kept while
        // disabled still carries the calls in flight and stays.
        if (!transport_) transport_ = transportFactory_();
        if (reachability_) reachability_->startNotifier();
        resumeLocked();
        return;
    }
    if (reachability_) reachability_->stopNotifier();
    pauseLocked();
    cancelHeldCallsCheckLocked();
    if (!deleteDataOnDisabled) return;
    if (transport_) transport_->cancelAll();
    transport_.reset();
    auto calls = std::move(pendingCalls_);
    pendingCalls_.clear();
    for (auto& call : calls) {
        call->resetRetry();
        call->inProgress = false;
        if (auto handler = std::move(call->completionHandler))
            deferred.push_back(
                [handler = std::move(handler)] { handler(std::nullopt, std::nullopt, makeError(kCanceledErrorCode)); });
    }
}

void HttpClient::setNetworkRequestsAllowed(bool allowed) {
    std::lock_guard lock(mutex_);
    if (requestsAllowed_ == allowed) return;
    requestsAllowed_ = allowed;
    if (!allowed) {
        for (auto& call : pendingCalls_) call->resetRetry();
        cancelHeldCallsCheckLocked();
        return;
    }
    const auto calls = pendingCalls_;
    for (auto& call : calls)
        if (!call->inProgress) sendCallAsync(call);
}

void HttpClient::reachabilityChanged(bool reachable) {
    if (reachable) {
        BEACON_LOG_INFO("Internet connection is up.");
        resume();
    } else {
        BEACON_LOG_INFO("Internet connection is down.");
        pause();
    }
}

std::shared_ptr<HttpClientDelegate> HttpClient::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void HttpClient::setDelegate(std::weak_ptr<HttpClientDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

bool HttpClient::isPaused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}

bool HttpClient::isEnabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

std::size_t HttpClient::pendingCallCount() const {
    std::lock_guard lock(mutex_);
    return pendingCalls_.size();
}

bool HttpClient::finishCallsInProgress(std::chrono::steady_clock::time_point deadline) {
    // A transport completion sets its call's flag on this client's queue, so
    // polling is enough; the quit waits at most until the deadline anyway.
    while (inProgressCallCount() > 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // The last completion may still be running its handlers on the queue.
    const platform::Seconds left = deadline - std::chrono::steady_clock::now();
    return left.count() > 0 && DispatcherUtil::dispatchSyncWithTimeout(left, *queue_, [] {});
}

std::size_t HttpClient::inProgressCallCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(pendingCalls_.begin(), pendingCalls_.end(), [](const auto& call) { return call->inProgress; }));
}

} // namespace beacon
