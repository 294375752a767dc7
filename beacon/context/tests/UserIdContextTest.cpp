#include "beacon/context/UserIdContext.h"
#include "beacon/model/tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace beacon;
using namespace std::chrono;

namespace {

struct RecordingDelegate : UserIdContextDelegate {
    std::vector<std::optional<std::string>> seen;
    void userIdContext(UserIdContext&, const std::optional<std::string>& userId) override { seen.push_back(userId); }
};

} // namespace

using UserIdContextTest = test::LaunchTest<UserIdContext>;

TEST(UserIdValidation, BeaconLimitsTheLengthInCharacters) {
    EXPECT_EQ(UserIdContext::userIdErrorForBeacon(std::nullopt), std::nullopt);
    EXPECT_EQ(UserIdContext::userIdErrorForBeacon(std::string(256, 'a')), std::nullopt);
    EXPECT_EQ(UserIdContext::userIdErrorForBeacon(std::string(257, 'a')), "userId is limited to 256 characters.");
    std::string accented;
    for (int i = 0; i < 256; ++i) accented += "\xC3\xA9"; // 256 characters in 512 bytes
    EXPECT_EQ(UserIdContext::userIdErrorForBeacon(accented), std::nullopt);

    LogCapture capture;
    EXPECT_FALSE(UserIdContext::isUserIdValidForBeacon(std::string(257, 'a')));
    EXPECT_TRUE(capture.contains(LogLevel::Error, "userId is limited to 256 characters."));
}

TEST(UserIdValidation, CollectorAcceptsPlainNamesAndOnlyTheCPrefix) {
    EXPECT_EQ(UserIdContext::userIdErrorForCollector(std::nullopt), std::nullopt);
    EXPECT_EQ(UserIdContext::userIdErrorForCollector("alice"), std::nullopt);
    EXPECT_EQ(UserIdContext::userIdErrorForCollector("c:alice"), std::nullopt);
    EXPECT_EQ(UserIdContext::userIdErrorForCollector("c:a:b"), std::nullopt);
    EXPECT_EQ(UserIdContext::userIdErrorForCollector(""), "userId must not be empty.");
    EXPECT_EQ(UserIdContext::userIdErrorForCollector("c:"), "userId must not be empty.");
    EXPECT_EQ(UserIdContext::userIdErrorForCollector("i:alice"), "userId prefix must be 'c', 'i' is not supported.");
    EXPECT_EQ(UserIdContext::userIdErrorForCollector(":alice"), "userId prefix must be 'c', '' is not supported.");

    EXPECT_EQ(UserIdContext::prefixedUserIdFromUserId("alice"), "c:alice");
    EXPECT_EQ(UserIdContext::prefixedUserIdFromUserId("c:alice"), "c:alice");
    EXPECT_EQ(UserIdContext::prefixedUserIdFromUserId("x:alice"), "x:alice");
    EXPECT_EQ(UserIdContext::prefixedUserIdFromUserId(std::nullopt), std::nullopt);
}

TEST_F(UserIdContextTest, SameUserIdTwiceNotifiesOnceAndDelegatesAreHeldWeakly) {
    auto context = launch();
    auto delegate = std::make_shared<RecordingDelegate>();
    auto dropped = std::make_shared<RecordingDelegate>();
    context->addDelegate(delegate);
    context->addDelegate(dropped);
    std::weak_ptr<RecordingDelegate> weakDropped = dropped;
    dropped.reset();
    EXPECT_TRUE(weakDropped.expired()); // the context did not keep it alive

    context->setUserId(std::nullopt); // same as the initial value
    context->setUserId("alice");
    context->setUserId("alice");
    context->setUserId(std::nullopt);
    EXPECT_EQ(delegate->seen, (std::vector<std::optional<std::string>>{"alice", std::nullopt}));

    context->removeDelegate(delegate);
    context->setUserId("bob");
    EXPECT_EQ(delegate->seen.size(), 2u);
}

TEST_F(UserIdContextTest, HistoryKeepsOneEntryPerLaunchAcrossLaunches) {
    auto first = launch();
    now += 1min;
    first->setUserId("alice");
    const Date aliceTime = now;
    now += 1h;
    auto second = launch();
    ASSERT_EQ(second->userIdHistory().size(), 2u);
    EXPECT_EQ(second->userId(), std::nullopt);
    EXPECT_EQ(second->userIdAt(aliceTime + 1s), "alice");
    EXPECT_EQ(second->userIdAt(aliceTime), std::nullopt);
    now += 1min;
    second->setUserId("bob");
    EXPECT_EQ(second->userIdAt(now + 1s), "bob");
    EXPECT_EQ(second->userIdHistory().size(), 2u);

    second->clearUserIdHistory();
    ASSERT_EQ(second->userIdHistory().size(), 1u);
    EXPECT_EQ(second->userIdHistory()[0]->userId, "bob");
    EXPECT_EQ(launch()->userIdHistory().size(), 2u); // the cleared history was persisted
    for (int i = 0; i < 6; ++i) launch();
    EXPECT_EQ(launch()->userIdHistory().size(), 5u); // the five newest launches
}
