#include "beacon/analytics/session/SessionTracker.h"
#include "beacon/analytics/session/StartSessionLog.h"
#include "beacon/context/SessionContext.h"
#include "beacon/model/LogWithProperties.h"
#include "beacon/model/StartServiceLog.h"
#include "beacon/util/ApplicationState.h"
#include "beacon/util/BeaconUserDefaults.h"

#include <gtest/gtest.h>

using namespace beacon;
using namespace std::chrono_literals;

namespace {

class SessionTrackerTest : public ::testing::Test, public SessionTrackerDelegate {
protected:
    void SetUp() override {
        BeaconUserDefaults::setStandardStore(std::make_shared<platform::UserDefaults>());
        BeaconUserDefaults::resetSharedInstance();
        ApplicationStateUtil::observe(&center);
        reporter.report(ApplicationState::Active);
        context = std::make_shared<SessionContext>(BeaconUserDefaults::shared(), [this] { return now; });
        tracker = std::make_unique<SessionTracker>(context, [this] { return now; });
        tracker->setDelegate(this);
    }
    void TearDown() override {
        tracker.reset();
        ApplicationStateUtil::observe(nullptr);
        BeaconUserDefaults::setStandardStore(nullptr);
        BeaconUserDefaults::resetSharedInstance();
    }
    void sessionTrackerProcessLog(SessionTracker&, std::shared_ptr<AbstractLog> log) override {
        sessions.push_back(log->sid.value_or(""));
        tracker->prepareLog(*log); // the start-session log goes through the pipeline as well
    }
    // A log enqueued now; answers the session id it got.
    std::optional<std::string> logNow() {
        LogWithProperties log;
        tracker->prepareLog(log);
        return log.sid;
    }
    void background(std::chrono::seconds forHowLong) {
        reporter.report(ApplicationState::Background);
        now += forHowLong;
        reporter.report(ApplicationState::Active);
    }

    platform::NotificationCenter center;
    platform::ApplicationStateReporter reporter{center};
    Date now = Date{} + 1000h;
    std::shared_ptr<SessionContext> context;
    std::unique_ptr<SessionTracker> tracker;
    std::vector<std::string> sessions;
};

} // namespace

TEST_F(SessionTrackerTest, StartOpensASessionWhoseIdLaterLogsCarry) {
    tracker->start();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_FALSE(sessions[0].empty());
    EXPECT_EQ(context->sessionId(), sessions[0]);
    EXPECT_EQ(logNow(), sessions[0]);

    StartServiceLog service;
    tracker->prepareLog(service);
    EXPECT_FALSE(service.sid);
    tracker->start(); // already started
    EXPECT_EQ(sessions.size(), 1u);
}

TEST_F(SessionTrackerTest, NoSessionAtStartInTheBackgroundUntilItBecomesActive) {
    reporter.report(ApplicationState::Background);
    tracker->start();
    EXPECT_TRUE(sessions.empty());
    EXPECT_FALSE(logNow());
    reporter.report(ApplicationState::Active);
    EXPECT_EQ(sessions.size(), 1u);
}

// Renewal needs more than the timeout in the background and no log for that long.
TEST_F(SessionTrackerTest, RenewedOnlyAfterALongQuietBackground) {
    tracker->start();
    now += 30s; // no log since the start-session log

    background(10s);
    EXPECT_EQ(sessions.size(), 1u) << "10 s in the background";

    reporter.report(ApplicationState::Background);
    now += 15s;
    logNow(); // e.g. a crash report sent while in the background
    now += 10s;
    reporter.report(ApplicationState::Active);
    EXPECT_EQ(sessions.size(), 1u) << "25 s in the background with a log 10 s ago";

    now += 25s;
    background(25s);
    ASSERT_EQ(sessions.size(), 2u) << "25 s in the background with no log";
    EXPECT_NE(sessions[1], sessions[0]);
    EXPECT_EQ(logNow(), sessions[1]);

    // Losing the focus to another application counts as leaving, too.
    reporter.report(ApplicationState::Inactive);
    now += 60s;
    reporter.report(ApplicationState::Active);
    EXPECT_EQ(sessions.size(), 3u);
}

TEST_F(SessionTrackerTest, StopClearsTheSessionSoTheNextStartBeginsOne) {
    tracker->start();
    tracker->stop();
    EXPECT_FALSE(context->sessionId());
    background(60s); // no longer observed
    EXPECT_EQ(sessions.size(), 1u);
    tracker->start();
    EXPECT_EQ(sessions.size(), 2u);
}

TEST_F(SessionTrackerTest, ManualModeStartsSessionsOnlyOnRequest) {
    tracker->startSession(); // refused: not manual
    EXPECT_TRUE(sessions.empty());
    tracker->enableManualSessionTracker();
    tracker->start();
    EXPECT_TRUE(sessions.empty());
    background(60s);
    EXPECT_TRUE(sessions.empty());
    tracker->startSession();
    tracker->startSession();
    ASSERT_EQ(sessions.size(), 2u);
    EXPECT_EQ(logNow(), sessions[1]);

    SessionTracker late(context, [this] { return now; });
    late.start();
    late.enableManualSessionTracker(); // too late: only logged
    EXPECT_FALSE(late.isManualSessionTrackerEnabled());
    late.stop();
}
