#include "beacon/util/ApplicationState.h"

#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace beacon;
using platform::ApplicationStateReporter;

// The desktop's reports become will-become-active / did-resign-active moments
// around the state change, and the utility's query follows them.
TEST(ApplicationState, ReportsBecomeMomentsAndTheQueryFollowsThem) {
    platform::NotificationCenter center;
    ApplicationStateUtil::observe(&center);
    EXPECT_EQ(ApplicationStateUtil::applicationState(), ApplicationState::Unknown);

    std::vector<std::string> seen;
    auto record = [&](const platform::Notification& n) {
        seen.push_back(n.name + ":" + std::to_string(static_cast<int>(ApplicationStateUtil::applicationState())));
    };
    center.addObserver(platform::kApplicationWillBecomeActive, nullptr, record);
    center.addObserver(platform::kApplicationDidResignActive, nullptr, record);

    ApplicationStateReporter reporter(center);
    reporter.report(ApplicationState::Inactive);
    EXPECT_EQ(ApplicationStateUtil::applicationState(), ApplicationState::Inactive);
    reporter.report(ApplicationState::Active);
    reporter.report(ApplicationState::Active);  // no change, no moment
    reporter.report(ApplicationState::Background);
    reporter.report(ApplicationState::Inactive);  // background -> inactive is no moment either
    EXPECT_EQ(seen, (std::vector<std::string>{"ApplicationWillBecomeActive:1", "ApplicationDidResignActive:2"}));
    EXPECT_EQ(ApplicationStateUtil::applicationState(), ApplicationState::Inactive);

    ApplicationStateUtil::observe(nullptr);
    reporter.report(ApplicationState::Active);
    EXPECT_EQ(ApplicationStateUtil::applicationState(), ApplicationState::Unknown);
    EXPECT_EQ(ApplicationStateUtil::notificationCenter(), nullptr);
}
