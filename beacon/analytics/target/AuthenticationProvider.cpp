#include "beacon/analytics/target/AuthenticationProvider.h"

#include "beacon/ingestion/TicketCache.h"
#include "beacon/logger/Logger.h"
#include "beacon/util/SecretStrings.h"

namespace beacon {

namespace {
std::string ticketPrefix(unsigned type) {
    switch (type) {
    case AuthenticationProvider::kTypeCompact: return "p";
    case AuthenticationProvider::kTypeDelegate: return "d";
    default: return "";
    }
}

std::int64_t secondsSince1970(Date date) {
    return std::chrono::duration_cast<std::chrono::seconds>(date.time_since_epoch()).count();
}
} // namespace

AuthenticationProvider::AuthenticationProvider(unsigned type, std::string ticketKey,
                                               std::shared_ptr<AuthenticationProviderDelegate> delegate,
                                               ContextClock clock)
    : type_(type), ticketKey_(std::move(ticketKey)), delegate_(delegate), clock_(std::move(clock)) {
    if (!ticketKey_.empty()) ticketKeyHash_ = sha256(ticketKey_);
}

std::optional<Date> AuthenticationProvider::expiryDate() const {
    std::lock_guard lock(mutex_);
    return expiryDate_;
}

void AuthenticationProvider::acquireTokenAsync() {
    std::shared_ptr<AuthenticationProviderDelegate> delegate;
    AcquireTokenCompletionHandler handler;
    {
        std::lock_guard lock(mutex_);
        delegate = delegate_.lock();
        if (!delegate) {
            BEACON_ANALYTICS_LOG_ERROR("No completionhandler to acquire token has been set.");
            return;
        }
        if (pendingRequest_) return;
        pendingRequest_ = ++lastRequest_;
        std::weak_ptr<AuthenticationProvider> weak = weak_from_this();
        handler = [weak, id = pendingRequest_](const std::optional<std::string>& token,
                                               const std::optional<Date>& expiry) {
            if (auto self = weak.lock()) self->handleTokenUpdate(token, expiry, id);
        };
    }
    delegate->acquireToken(*this, std::move(handler));
}

void AuthenticationProvider::handleTokenUpdate(const std::optional<std::string>& token,
                                               const std::optional<Date>& expiryDate, std::uint64_t requestId) {
    std::lock_guard lock(mutex_);
    if (!pendingRequest_ || requestId != pendingRequest_) return;
    pendingRequest_ = 0;
    BEACON_ANALYTICS_LOG_DEBUG("Got result back from BcnAcquireTokenCompletionBlock.");
    if (!token) {
        BEACON_ANALYTICS_LOG_ERROR("Token must not be null");
        return;
    }
    if (!expiryDate) {
        BEACON_ANALYTICS_LOG_ERROR("Date must not be null");
        return;
    }
    TicketCache::sharedInstance().setTicket(ticketPrefix(type_) + ":" + *token, ticketKeyHash_);
    expiryDate_ = expiryDate;
}

void AuthenticationProvider::checkTokenExpiry() {
    bool renew = false;
    {
        std::lock_guard lock(mutex_);
        renew = expiryDate_ && secondsSince1970(clock_()) + kRefreshThresholdSeconds >= secondsSince1970(*expiryDate_);
    }
    if (renew) acquireTokenAsync();
}

} // namespace beacon
