#include "beacon/context/SessionContext.h"

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/context/HistoryStore.h"
#include "beacon/logger/Logger.h"
#include "beacon/util/BeaconUserDefaults.h"

#include <algorithm>

namespace beacon {

namespace {
std::mutex sharedMutex;
std::shared_ptr<SessionContext> sharedContext;
} // namespace

std::shared_ptr<SessionContext> SessionContext::sharedInstance() {
    std::lock_guard lock(sharedMutex);
    if (!sharedContext) sharedContext = std::make_shared<SessionContext>(BeaconUserDefaults::shared());
    return sharedContext;
}

void SessionContext::resetSharedInstance() {
    std::lock_guard lock(sharedMutex);
    sharedContext.reset();
}

SessionContext::SessionContext(std::shared_ptr<BeaconUserDefaults> store, ContextClock clock)
    : store_(std::move(store)), clock_(std::move(clock)) {
    ArchiverUtil::addAllowedBeaconModuleClasses();
    history_ = history_store::load<SessionHistoryInfo>(*store_, kHistoryKey);
    BEACON_LOG_DEBUG(history_.size(), " session(s) in the history.");
    current_ = std::make_shared<SessionHistoryInfo>(clock_(), std::nullopt);
    history_.push_back(current_);
}

std::optional<std::string> SessionContext::sessionId() const {
    std::lock_guard lock(mutex_);
    return current_->sessionId;
}

void SessionContext::setSessionId(const std::optional<std::string>& sessionId) {
    std::lock_guard lock(mutex_);
    // Replace this launch's entry (wherever a clear left it) by the new one.
    std::erase(history_, current_);
    current_ = std::make_shared<SessionHistoryInfo>(clock_(), sessionId);
    history_.push_back(current_);
    persistLocked();
    BEACON_LOG_VERBOSE("Stored new session with id:", sessionId.value_or("(null)"),
                       " and timestamp: ", dateToISO8601(current_->timestamp), ".");
}

std::optional<std::string> SessionContext::sessionIdAt(Date date) const {
    std::lock_guard lock(mutex_);
    for (auto it = history_.rbegin(); it != history_.rend(); ++it)
        if ((*it)->timestamp < date) return (*it)->sessionId;
    return std::nullopt;
}

void SessionContext::clearSessionHistoryAndKeepCurrentSession(bool keepCurrentSession) {
    std::lock_guard lock(mutex_);
    history_.clear();
    if (keepCurrentSession) history_.push_back(current_);
    persistLocked();
    BEACON_LOG_VERBOSE("Cleared old sessions.");
}

std::vector<std::shared_ptr<SessionHistoryInfo>> SessionContext::sessionHistory() const {
    std::lock_guard lock(mutex_);
    return history_;
}

void SessionContext::persistLocked() { history_store::save(*store_, kHistoryKey, history_); }

} // namespace beacon
