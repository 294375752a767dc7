#include "beacon/analytics/session/SessionTracker.h"

#include "beacon/analytics/session/StartSessionLog.h"
#include "beacon/context/SessionContext.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/NoAutoAssignSessionIdLog.h"
#include "beacon/model/StartServiceLog.h"
#include "beacon/util/ApplicationState.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/crashes/model/UuidText.h"

namespace beacon {

SessionTracker::SessionTracker(std::shared_ptr<SessionContext> context, ContextClock clock)
    : context_(context ? std::move(context) : SessionContext::sharedInstance()), clock_(std::move(clock)) {
    // Sessions of older versions are not carried over.
    BeaconUserDefaults::shared()->removeObjectForKey(kPastSessionsKey);
}

SessionTracker::~SessionTracker() {
    ApplicationStateUtil::removeObserver(didResignActive_);
    ApplicationStateUtil::removeObserver(willBecomeActive_);
}

void SessionTracker::setDelegate(SessionTrackerDelegate* delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
}

void SessionTracker::start() {
    {
        std::lock_guard lock(mutex_);
        if (started_ || manual_) return;
        started_ = true;
        didResignActive_ = ApplicationStateUtil::addObserver(ApplicationStateUtil::Moment::DidResignActive,
                                                             [this] { applicationDidEnterBackground(); });
        willBecomeActive_ = ApplicationStateUtil::addObserver(ApplicationStateUtil::Moment::WillBecomeActive,
                                                              [this] { applicationWillEnterForeground(); });
    }
    const auto state = ApplicationStateUtil::applicationState();
    if (state == ApplicationState::Active || state == ApplicationState::Inactive) renewSessionId();
}

void SessionTracker::stop() {
    std::lock_guard lock(mutex_);
    if (!started_ || manual_) return;
    ApplicationStateUtil::removeObserver(didResignActive_);
    ApplicationStateUtil::removeObserver(willBecomeActive_);
    started_ = false;
    context_->setSessionId(std::nullopt);
}

bool SessionTracker::isStarted() const {
    std::lock_guard lock(mutex_);
    return started_;
}

void SessionTracker::enableManualSessionTracker() {
    std::lock_guard lock(mutex_);
    if (started_) {
        BEACON_ANALYTICS_LOG_INFO("Manual session tracker should be set before the BcnAnalytics service is started.");
        return;
    }
    manual_ = true;
    BEACON_ANALYTICS_LOG_INFO("Manual session tracker is enabled.");
}

bool SessionTracker::isManualSessionTrackerEnabled() const {
    std::lock_guard lock(mutex_);
    return manual_;
}

void SessionTracker::startSession() {
    if (!isManualSessionTrackerEnabled()) {
        BEACON_ANALYTICS_LOG_INFO("Can't start new session because manual session tracker is disabled.");
        return;
    }
    sendStartSession();
    BEACON_ANALYTICS_LOG_INFO("Started a new session: ", context_->sessionId().value_or(""));
}

// The start-session log is handed to the delegate outside the tracker's lock,
// so that the tracker never waits for the delegate's lock while holding its own.
void SessionTracker::renewSessionId() {
    bool renew = false;
    {
        std::lock_guard lock(mutex_);
        renew = started_ && (!context_->sessionId() || hasSessionTimedOut());
    }
    if (renew) sendStartSession();
}

bool SessionTracker::hasSessionTimedOut() {
    std::lock_guard lock(mutex_);
    const Date now = clock_();
    const Seconds timeout(sessionTimeout);
    const bool noLogForLong = !lastCreatedLogTime_ || now - *lastCreatedLogTime_ >= timeout;
    const bool isInBackgroundForLong = lastEnteredBackgroundTime_ && lastEnteredForegroundTime_ &&
                                       *lastEnteredBackgroundTime_ > *lastEnteredForegroundTime_ &&
                                       now - *lastEnteredBackgroundTime_ >= timeout;
    const bool wasInBackgroundForLong =
        lastEnteredBackgroundTime_ &&
        (lastEnteredForegroundTime_ ? Seconds(*lastEnteredForegroundTime_ - *lastEnteredBackgroundTime_)
                                    : Seconds(0)) >= timeout;
    return noLogForLong && (isInBackgroundForLong || wasInBackgroundForLong);
}

void SessionTracker::sendStartSession() {
    std::shared_ptr<StartSessionLog> log;
    SessionTrackerDelegate* delegate = nullptr;
    {
        std::lock_guard lock(mutex_);
        const std::string sessionId = uuid_text::random();
        context_->setSessionId(sessionId);
        BEACON_ANALYTICS_LOG_INFO("New session ID: ", sessionId);
        log = std::make_shared<StartSessionLog>();
        log->sid = sessionId;
        delegate = delegate_;
    }
    if (delegate) delegate->sessionTrackerProcessLog(*this, log);
}

void SessionTracker::applicationDidEnterBackground() {
    std::lock_guard lock(mutex_);
    if (manual_) {
        BEACON_ANALYTICS_LOG_INFO(
            "Manual session tracker is enabled. Skip tracking a session status request after enter background.");
        return;
    }
    lastEnteredBackgroundTime_ = clock_();
}

void SessionTracker::applicationWillEnterForeground() {
    {
        std::lock_guard lock(mutex_);
        if (manual_) {
            BEACON_ANALYTICS_LOG_INFO(
                "Manual session tracker is enabled. Skip tracking a session status request after enter foreground.");
            return;
        }
        lastEnteredForegroundTime_ = clock_();
    }
    renewSessionId();
}

void SessionTracker::prepareLog(AbstractLog& log) {
    if (dynamic_cast<StartSessionLog*>(&log) || dynamic_cast<StartServiceLog*>(&log)) return;
    std::lock_guard lock(mutex_);
    if (!dynamic_cast<NoAutoAssignSessionIdLog*>(&log)) log.sid = context_->sessionId();
    lastCreatedLogTime_ = clock_();
}

} // namespace beacon
