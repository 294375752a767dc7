#pragma once

#include "beacon/context/ContextClock.h"
#include "beacon/context/SessionHistoryInfo.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

class BeaconUserDefaults;

// The session id of this launch and of earlier ones, persisted under
// "SessionIdHistory". There is one entry per launch; a later session id of
// the same launch replaces its value and time.
class SessionContext {
public:
    static constexpr const char* kHistoryKey = "SessionIdHistory";

    static std::shared_ptr<SessionContext> sharedInstance();
    static void resetSharedInstance();

    // Loads the history and adds this launch's entry (now, no session id),
    // which is persisted with the first session id.
    explicit SessionContext(std::shared_ptr<BeaconUserDefaults> store, ContextClock clock = systemNow);

    std::optional<std::string> sessionId() const;
    void setSessionId(const std::optional<std::string>& sessionId);
    // The session id of the newest entry earlier than the date.
    std::optional<std::string> sessionIdAt(Date date) const;
    void clearSessionHistoryAndKeepCurrentSession(bool keepCurrentSession);
    std::vector<std::shared_ptr<SessionHistoryInfo>> sessionHistory() const;

private:
    void persistLocked();

    mutable std::recursive_mutex mutex_;
    std::shared_ptr<BeaconUserDefaults> store_;
    ContextClock clock_;
    std::shared_ptr<SessionHistoryInfo> current_;
    std::vector<std::shared_ptr<SessionHistoryInfo>> history_;
};

} // namespace beacon
