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
    auto record = [&](const std::string& name) {
        return [&seen, name] {
            seen.push_back(name + ":" + std::to_string(static_cast<int>(ApplicationStateUtil::applicationState())));
        };
    };
    auto willBecomeActive =
        ApplicationStateUtil::addObserver(ApplicationStateUtil::Moment::WillBecomeActive, record("active"));
    auto didResignActive =
        ApplicationStateUtil::addObserver(ApplicationStateUtil::Moment::DidResignActive, record("resign"));

    ApplicationStateReporter reporter(center);
    reporter.report(ApplicationState::Inactive);
    EXPECT_EQ(ApplicationStateUtil::applicationState(), ApplicationState::Inactive);
    reporter.report(ApplicationState::Active);
    reporter.report(ApplicationState::Active); // no change, no moment
    reporter.report(ApplicationState::Background);
    reporter.report(ApplicationState::Inactive); // background -> inactive is no moment either
    EXPECT_EQ(seen, (std::vector<std::string>{"active:1", "resign:2"}));
    EXPECT_EQ(ApplicationStateUtil::applicationState(), ApplicationState::Inactive);

    ApplicationStateUtil::removeObserver(didResignActive);
    reporter.report(ApplicationState::Active);
    reporter.report(ApplicationState::Inactive);
    EXPECT_EQ(seen.size(), 3u); // only the will-become-active observer is left

    ApplicationStateUtil::observe(nullptr);
    reporter.report(ApplicationState::Active);
    EXPECT_EQ(ApplicationStateUtil::applicationState(), ApplicationState::Unknown);
    EXPECT_EQ(seen.size(), 3u);
    ApplicationStateUtil::removeObserver(willBecomeActive);
}
