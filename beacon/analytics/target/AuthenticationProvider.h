#pragma once

#include "beacon/archive/Iso8601.h"
#include "beacon/context/ContextClock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace beacon {

class AuthenticationProvider;

// Hands the provider a token and its expiry date (both may be missing).
using AcquireTokenCompletionHandler =
    std::function<void(const std::optional<std::string>& token, const std::optional<Date>& expiryDate)>;

// Obtains tokens for an authentication provider, e.g. by signing the user
// in; calls the completion handler once, from any thread.
class AuthenticationProviderDelegate {
public:
    virtual ~AuthenticationProviderDelegate() = default;
    virtual void acquireToken(AuthenticationProvider& provider, AcquireTokenCompletionHandler completionHandler) = 0;
};

// Keeps the Collector ticket of one ticket key fresh: the ticket ("p:" or
// "d:" and the token) is stored in the ticket cache under the SHA-256 text of
// the key and renewed once the token is within 10 minutes of its expiry.
class AuthenticationProvider : public std::enable_shared_from_this<AuthenticationProvider> {
public:
    // Ticket prefixes by type: 0 "p", 1 "d", others none.
    static constexpr unsigned kTypeCompact = 0;
    static constexpr unsigned kTypeDelegate = 1;
    static constexpr std::int64_t kRefreshThresholdSeconds = 600;

    AuthenticationProvider(unsigned type, std::string ticketKey,
                           std::shared_ptr<AuthenticationProviderDelegate> delegate, ContextClock clock = systemNow);

    unsigned type() const { return type_; }
    const std::string& ticketKey() const { return ticketKey_; }
    const std::string& ticketKeyHash() const { return ticketKeyHash_; }
    std::optional<Date> expiryDate() const;

    // Asks the delegate for a token unless a request is pending.
    void acquireTokenAsync();
    // The answer to request `requestId`; other answers are ignored.
    void handleTokenUpdate(const std::optional<std::string>& token, const std::optional<Date>& expiryDate,
                           std::uint64_t requestId);
    // Renews the token when it expires within the next 10 minutes.
    void checkTokenExpiry();

private:
    mutable std::recursive_mutex mutex_;
    unsigned type_;
    std::string ticketKey_;
    std::string ticketKeyHash_;
    std::weak_ptr<AuthenticationProviderDelegate> delegate_;
    std::optional<Date> expiryDate_;
    std::uint64_t pendingRequest_ = 0; // 0: none
    std::uint64_t lastRequest_ = 0;
    ContextClock clock_;
};

} // namespace beacon
