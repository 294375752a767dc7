#include "beacon/crashes/hooks/ApplicationForwarder.h"

#include "beacon/core/DependencyConfiguration.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "platform/UserDefaults.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace beacon {
namespace {

class ApplicationForwarderTest : public ::testing::Test {
protected:
    void SetUp() override {
        DependencyConfiguration::setScheduler(&scheduler);
        BeaconUserDefaults::setStandardStore(store);
        ApplicationForwarder::resetForTesting();
        ApplicationForwarder::setApplicationReportException(
            [this](const platform::UncaughtException& exception) { reported.push_back(exception); });
    }
    void TearDown() override {
        ApplicationForwarder::resetForTesting();
        BeaconUserDefaults::setStandardStore(nullptr);
        DependencyConfiguration::setScheduler(nullptr);
    }

    platform::ManualScheduler scheduler;
    std::shared_ptr<platform::UserDefaults> store = std::make_shared<platform::UserDefaults>();
    std::vector<platform::UncaughtException> reported;
};

TEST_F(ApplicationForwarderTest, ForwardingNeedsCrashOnExceptionsAndNoOptOut) {
    struct Case {
        std::optional<bool> crashOnExceptions;
        std::optional<bool> infoEnabled;
        bool forwarded;
    };
    for (const Case& c : {Case{true, std::nullopt, true}, Case{true, true, true}, Case{true, false, false},
                          Case{false, std::nullopt, false}, Case{std::nullopt, std::nullopt, false}}) {
        ApplicationForwarder::resetForTesting();
        store = std::make_shared<platform::UserDefaults>();
        if (c.crashOnExceptions)
            store->registerDefaults({{ApplicationForwarder::kCrashOnExceptionsKey, *c.crashOnExceptions}});
        BeaconUserDefaults::setStandardStore(store);
        ApplicationForwarder::setInfoForwarderEnabled(c.infoEnabled);
        ApplicationForwarder::registerForwarding();
        EXPECT_EQ(ApplicationForwarder::isReportExceptionForwarded(), c.forwarded);
        EXPECT_EQ(ApplicationForwarder::isSendEventForwarded(), c.forwarded);
    }
}

TEST_F(ApplicationForwarderTest, AnExceptionEscapingDispatchIsReportedAndNotThrownAgain) {
    store->registerDefaults({{ApplicationForwarder::kCrashOnExceptionsKey, true}});
    ApplicationForwarder::registerForwarding();
    EXPECT_NO_THROW(ApplicationForwarder::sendEvent([] { throw std::out_of_range("row 12"); }));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].name, "std::out_of_range");
    EXPECT_EQ(reported[0].reason, "row 12");
}

TEST_F(ApplicationForwarderTest, WithoutForwardingExceptionsPropagate) {
    EXPECT_THROW(ApplicationForwarder::sendEvent([] { throw std::runtime_error("x"); }), std::runtime_error);
    EXPECT_TRUE(reported.empty());
}

} // namespace
} // namespace beacon
