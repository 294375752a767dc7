#include "beacon/channel/ChannelUnitDefault.h"
#include "beacon/channel/CollectorChannelDelegate.h"
#include "beacon/channel/tests/ChannelTestSupport.h"
#include "beacon/model/CSExtensions.h"
#include "beacon/model/CommonSchemaLog.h"
#include "beacon/model/LogWithProperties.h"
#include "beacon/model/SDKExtension.h"
#include "beacon/testing/SampleLogs.h"

#include <gtest/gtest.h>

namespace beacon {
namespace {

using test::ScriptedIngestion;

// An event as the analytics service makes it: its common-schema form carries
// the event name.
class NamedEventLog : public LogWithProperties {
public:
    std::shared_ptr<CommonSchemaLog> toCommonSchemaLog(const std::string& token, LogFlags flags) const override {
        auto csLog = LogWithProperties::toCommonSchemaLog(token, flags);
        csLog->name = "checkout.done";
        return csLog;
    }
};

class CollectorChannelDelegateTest : public test::ChannelGroupFixture {
protected:
    void SetUp() override {
        ChannelGroupFixture::SetUp();
        group->addDelegate(collector);
        analytics = addUnit(ChannelUnitConfiguration::defaultConfiguration("Analytics"));
    }

    std::shared_ptr<NamedEventLog> tokenEvent(int index) {
        auto base = test::makeLog(index);
        auto event = std::make_shared<NamedEventLog>();
        event->type = base->type;
        event->timestamp = base->timestamp;
        event->device = base->device;
        event->properties = base->properties;
        event->addTransmissionTargetToken("0123abcd-target-secret");
        return event;
    }

    std::shared_ptr<ScriptedIngestion> collectorIngestion = std::make_shared<ScriptedIngestion>();
    std::shared_ptr<CollectorChannelDelegate> collector =
        std::make_shared<CollectorChannelDelegate>(collectorIngestion, "6E1E4F36-3C29-4B67-8E0B-6D1F5C51E5E4");
    std::shared_ptr<ChannelUnitDefault> analytics;
};

TEST_F(CollectorChannelDelegateTest, EveryUnitGetsOneTwinWithItsFlushInterval) {
    auto twin = group->channelUnitForGroupId("Analytics/one");
    ASSERT_TRUE(twin);
    EXPECT_EQ(twin, collector->collectorChannel("Analytics"));
    EXPECT_EQ(twin->configuration(), ChannelUnitConfiguration::defaultConfiguration("Analytics/one", 6));
    group->addChannelUnitWithConfiguration(ChannelUnitConfiguration::defaultConfiguration("Crashes", 1));
    EXPECT_EQ(group->channelUnitForGroupId("Crashes/one")->configuration().flushInterval, 1u);
    EXPECT_EQ(group->channels().size(), 4u);
}

TEST_F(CollectorChannelDelegateTest, TokenEventGoesOnlyThroughTheTwinWithSequencePerIKey) {
    for (int i = 0; i < 3; ++i) analytics->enqueueItem(tokenEvent(i), kLogFlagsNormal);
    analytics->enqueueItem(test::makeLog(9), kLogFlagsNormal); // no token: stays on "Analytics"
    scheduler.advance(std::chrono::seconds(6));

    ASSERT_EQ(collectorIngestion->calls.size(), 1u);
    const auto& logs = collectorIngestion->calls[0].container->logs;
    ASSERT_EQ(logs.size(), 3u);
    std::string epoch;
    for (std::size_t i = 0; i < logs.size(); ++i) {
        auto csLog = std::dynamic_pointer_cast<CommonSchemaLog>(logs[i]);
        ASSERT_TRUE(csLog && csLog->ext && csLog->ext->sdkExt);
        EXPECT_EQ(csLog->ext->sdkExt->seq, static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(csLog->ext->sdkExt->installId, "6E1E4F36-3C29-4B67-8E0B-6D1F5C51E5E4");
        if (i == 0) epoch = csLog->ext->sdkExt->epoch.value_or("");
        EXPECT_EQ(csLog->ext->sdkExt->epoch, epoch);
    }
    EXPECT_FALSE(epoch.empty());
    ASSERT_EQ(ingestion->calls.size(), 1u);
    EXPECT_EQ(ingestion->calls[0].container->logs.size(), 1u);

    // Disabling the whole group with deletion starts the sequences anew.
    group->setEnabled(false, true);
    scheduler.runUntilIdle();
    EXPECT_FALSE(collector->epochAndSeq("o:0123abcd"));
}

TEST_F(CollectorChannelDelegateTest, CommonSchemaLogsAreFilteredOutsideTwinsAndByName) {
    auto twin = group->channelUnitForGroupId("Analytics/one");
    EXPECT_TRUE(collector->channelUnitShouldFilterLog(*analytics, test::makeCommonSchemaLog("good.name", {})));
    EXPECT_FALSE(collector->channelUnitShouldFilterLog(*twin, test::makeCommonSchemaLog("good.name", {})));
    for (const char* bad : {"", "abc", "a..bcd", "abcd.", "_abcd", "ab-cd"})
        EXPECT_TRUE(collector->channelUnitShouldFilterLog(*twin, test::makeCommonSchemaLog(bad, {}))) << bad;
    EXPECT_FALSE(CollectorChannelDelegate::validateLogName(std::nullopt));
}

TEST_F(CollectorChannelDelegateTest, TwinFollowsItsSourceWhenPausedAndDisabled) {
    auto twin = std::dynamic_pointer_cast<ChannelUnitDefault>(group->channelUnitForGroupId("Analytics/one"));
    auto reason = std::make_shared<int>(0);
    analytics->pauseWithIdentifyingObject(reason);
    scheduler.runUntilIdle();
    EXPECT_TRUE(twin->isPaused());
    analytics->resumeWithIdentifyingObject(reason);
    scheduler.runUntilIdle();
    EXPECT_FALSE(twin->isPaused());
    analytics->setEnabled(false, true);
    scheduler.runUntilIdle();
    EXPECT_FALSE(twin->isEnabled());
    EXPECT_TRUE(twin->discardsLogs());
}

} // namespace
} // namespace beacon
