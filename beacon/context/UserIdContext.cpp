#include "beacon/context/UserIdContext.h"

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/context/HistoryStore.h"
#include "beacon/logger/Logger.h"
#include "beacon/util/BeaconUserDefaults.h"

namespace beacon {

namespace {

std::mutex sharedMutex;
std::shared_ptr<UserIdContext> sharedContext;

// Characters as the user sees them: UTF-8 code points.
std::size_t characterCount(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++count;
    return count;
}

} // namespace

std::shared_ptr<UserIdContext> UserIdContext::sharedInstance() {
    std::lock_guard lock(sharedMutex);
    if (!sharedContext) sharedContext = std::make_shared<UserIdContext>(BeaconUserDefaults::shared());
    return sharedContext;
}

void UserIdContext::resetSharedInstance() {
    std::lock_guard lock(sharedMutex);
    sharedContext.reset();
}

UserIdContext::UserIdContext(std::shared_ptr<BeaconUserDefaults> store, ContextClock clock)
    : store_(std::move(store)), clock_(std::move(clock)) {
    ArchiverUtil::addAllowedBeaconModuleClasses();
    history_ = history_store::load<UserIdHistoryInfo>(*store_, kHistoryKey);
    BEACON_LOG_DEBUG(history_.size(), " userId(s) in the history.");
    current_ = std::make_shared<UserIdHistoryInfo>(clock_(), std::nullopt);
    history_.push_back(current_);
    persistLocked();
}

std::optional<std::string> UserIdContext::userId() const {
    std::lock_guard lock(mutex_);
    return current_->userId;
}

void UserIdContext::setUserId(const std::optional<std::string>& userId) {
    std::vector<std::shared_ptr<UserIdContextDelegate>> toNotify;
    {
        std::lock_guard lock(mutex_);
        if (current_->userId == userId) return;
        auto updated = std::make_shared<UserIdHistoryInfo>(clock_(), userId);
        if (!history_.empty() && history_.back() == current_) history_.back() = updated;
        else history_.push_back(updated);
        current_ = updated;
        persistLocked();
        BEACON_LOG_VERBOSE("Stored new userId:", userId.value_or("(null)"),
                           " and timestamp: ", dateToISO8601(updated->timestamp), ".");
        for (const auto& weak : delegates_)
            if (auto delegate = weak.lock()) toNotify.push_back(std::move(delegate));
    }
    for (const auto& delegate : toNotify) delegate->userIdContext(*this, userId);
}

std::optional<std::string> UserIdContext::userIdAt(Date date) const {
    std::lock_guard lock(mutex_);
    for (auto it = history_.rbegin(); it != history_.rend(); ++it)
        if ((*it)->timestamp < date) return (*it)->userId;
    return std::nullopt;
}

void UserIdContext::clearUserIdHistory() {
    std::lock_guard lock(mutex_);
    history_ = {current_};
    persistLocked();
    BEACON_LOG_VERBOSE("Cleared old userIds while keeping current userId.");
}

std::vector<std::shared_ptr<UserIdHistoryInfo>> UserIdContext::userIdHistory() const {
    std::lock_guard lock(mutex_);
    return history_;
}

void UserIdContext::addDelegate(const std::shared_ptr<UserIdContextDelegate>& delegate) {
    std::lock_guard lock(mutex_);
    std::erase_if(delegates_, [](const auto& weak) { return weak.expired(); });
    delegates_.push_back(delegate);
}

void UserIdContext::removeDelegate(const std::shared_ptr<UserIdContextDelegate>& delegate) {
    std::lock_guard lock(mutex_);
    std::erase_if(delegates_, [&](const auto& weak) {
        auto strong = weak.lock();
        return !strong || strong == delegate;
    });
}

void UserIdContext::persistLocked() { history_store::save(*store_, kHistoryKey, history_); }

std::optional<std::string> UserIdContext::userIdErrorForBeacon(const std::optional<std::string>& userId) {
    if (userId && characterCount(*userId) > kMaxUserIdLength)
        return "userId is limited to " + std::to_string(kMaxUserIdLength) + " characters.";
    return std::nullopt;
}

std::optional<std::string> UserIdContext::userIdErrorForCollector(const std::optional<std::string>& userId) {
    if (!userId) return std::nullopt;
    if (userId->empty()) return "userId must not be empty.";
    auto colon = userId->find(':');
    if (colon == std::string::npos) return std::nullopt;
    std::string prefix = userId->substr(0, colon);
    if (prefix != kCollectorUserIdPrefix)
        return "userId prefix must be '" + std::string(kCollectorUserIdPrefix) + "', '" + prefix +
               "' is not supported.";
    if (colon + 1 == userId->size()) return "userId must not be empty.";
    return std::nullopt;
}

bool UserIdContext::isUserIdValidForBeacon(const std::optional<std::string>& userId) {
    auto error = userIdErrorForBeacon(userId);
    if (error) BEACON_LOG_ERROR(*error);
    return !error;
}

bool UserIdContext::isUserIdValidForCollector(const std::optional<std::string>& userId) {
    auto error = userIdErrorForCollector(userId);
    if (error) BEACON_LOG_ERROR(*error);
    return !error;
}

std::optional<std::string> UserIdContext::prefixedUserIdFromUserId(const std::optional<std::string>& userId) {
    if (userId && userId->find(':') == std::string::npos) return std::string(kCollectorUserIdPrefix) + ":" + *userId;
    return userId;
}

} // namespace beacon
