#pragma once

#include "beacon/context/ContextClock.h"
#include "beacon/context/UserIdContextDelegate.h"
#include "beacon/context/UserIdHistoryInfo.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

class BeaconUserDefaults;

// The user id of this launch and of earlier ones, persisted under
// "UserIdHistory" so that a log written later (a crash report read at the
// next launch) carries the user id of its time.
class UserIdContext {
public:
    static constexpr const char* kHistoryKey = "UserIdHistory";
    static constexpr std::size_t kMaxUserIdLength = 256;
    static constexpr const char* kCollectorUserIdPrefix = "c";

    static std::shared_ptr<UserIdContext> sharedInstance();
    static void resetSharedInstance();

    // Loads the history and adds this launch's entry (now, no user id).
    explicit UserIdContext(std::shared_ptr<BeaconUserDefaults> store, ContextClock clock = systemNow);

    std::optional<std::string> userId() const;
    // Records a different user id with the current time and tells the
    // delegates; the same value again changes nothing.
    void setUserId(const std::optional<std::string>& userId);
    // The user id of the newest entry earlier than the date.
    std::optional<std::string> userIdAt(Date date) const;
    // Keeps only this launch's entry.
    void clearUserIdHistory();
    std::vector<std::shared_ptr<UserIdHistoryInfo>> userIdHistory() const;

    // Delegates are held weakly.
    void addDelegate(const std::shared_ptr<UserIdContextDelegate>& delegate);
    void removeDelegate(const std::shared_ptr<UserIdContextDelegate>& delegate);

    // Nothing when valid, else the reason. Beacon: at most 256 characters.
    // Collector: not empty; a prefix before ":" must be "c" and be followed
    // by something.
    static std::optional<std::string> userIdErrorForBeacon(const std::optional<std::string>& userId);
    static std::optional<std::string> userIdErrorForCollector(const std::optional<std::string>& userId);
    // As above, logging the reason at error level.
    static bool isUserIdValidForBeacon(const std::optional<std::string>& userId);
    static bool isUserIdValidForCollector(const std::optional<std::string>& userId);
    // "c:" in front of a user id without ":"; others unchanged.
    static std::optional<std::string> prefixedUserIdFromUserId(const std::optional<std::string>& userId);

private:
    void persistLocked();

    mutable std::recursive_mutex mutex_;
    std::shared_ptr<BeaconUserDefaults> store_;
    ContextClock clock_;
    std::shared_ptr<UserIdHistoryInfo> current_;
    std::vector<std::shared_ptr<UserIdHistoryInfo>> history_;
    std::vector<std::weak_ptr<UserIdContextDelegate>> delegates_;
};

} // namespace beacon
