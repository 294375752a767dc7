#pragma once

#include "beacon/archive/Iso8601.h"
#include "beacon/channel/ChannelDelegate.h"
#include "beacon/context/ContextClock.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace beacon {

class AbstractLog;
class SessionContext;
class SessionTracker;

// Receives the start-session log of each new session.
class SessionTrackerDelegate {
public:
    virtual ~SessionTrackerDelegate() = default;
    virtual void sessionTrackerProcessLog(SessionTracker& tracker, std::shared_ptr<AbstractLog> log) = 0;
};

// Divides the application's use into sessions. A new session begins at
// start while the application is active or inactive, and when it becomes
// active again after more than `sessionTimeout` in the background with no
// log meanwhile. Every log prepared for storage gets the current session id.
class SessionTracker : public ChannelDelegate {
public:
    static constexpr double kDefaultSessionTimeout = 20.0;
    // The former key of the past sessions, removed at construction.
    static constexpr const char* kPastSessionsKey = "PastSessions";

    explicit SessionTracker(std::shared_ptr<SessionContext> context = nullptr, ContextClock clock = systemNow);
    ~SessionTracker() override;

    // Not owned; must outlive the tracker's use (the analytics service owns
    // its tracker).
    void setDelegate(SessionTrackerDelegate* delegate);

    void start();
    void stop();
    bool isStarted() const;
    // Manual mode: sessions begin only through startSession. Only before
    // start.
    void enableManualSessionTracker();
    bool isManualSessionTrackerEnabled() const;
    void startSession();

    void renewSessionId();
    bool hasSessionTimedOut();
    void sendStartSession();

    void applicationDidEnterBackground();
    void applicationWillEnterForeground();

    // Stamps the session id on every log but start-session and start-service
    // logs (and logs that keep no session id), and notes the time.
    void prepareLog(AbstractLog& log);
    void channelPrepareLog(ChannelProtocol& channel, const std::shared_ptr<AbstractLog>& log) override {
        if (log) prepareLog(*log);
    }

    double sessionTimeout = kDefaultSessionTimeout;

private:
    using Seconds = std::chrono::duration<double>;

    mutable std::recursive_mutex mutex_;
    bool started_ = false;
    bool manual_ = false;
    SessionTrackerDelegate* delegate_ = nullptr;
    std::optional<Date> lastCreatedLogTime_;
    std::optional<Date> lastEnteredForegroundTime_;
    std::optional<Date> lastEnteredBackgroundTime_;
    std::shared_ptr<SessionContext> context_;
    ContextClock clock_;
    std::uint64_t didResignActive_ = 0;
    std::uint64_t willBecomeActive_ = 0;
};

} // namespace beacon
