#include "beacon/channel/ChannelGroupDefault.h"
#include "beacon/channel/ChannelUnitDefault.h"
#include "beacon/channel/tests/ChannelTestSupport.h"
#include "beacon/http/HttpClient.h"
#include "beacon/storage/LogDBStorage.h"
#include "beacon/testing/SampleLogs.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/Encrypter.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>

namespace beacon {
namespace {

using test::RecordingDelegate;
using test::ScriptedIngestion;

class ChannelUnitTest : public test::ChannelGroupFixture {
protected:
    void SetUp() override {
        ChannelGroupFixture::SetUp();
        group->addDelegate(delegate);
    }

    void enqueue(ChannelUnitProtocol& unit, int count) {
        for (int i = 0; i < count; ++i) unit.enqueueItem(test::makeLog(i), kLogFlagsNormal);
        scheduler.runUntilIdle();
    }
    // Answers the call with an HTTP status and runs what the answer set off.
    void answer(std::size_t call, long status) {
        ingestion->complete(call, status);
        scheduler.runUntilIdle();
    }

    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

// Answers every request at once.
struct AnsweringTransport : HttpTransport {
    std::function<TransportResult()> answer;
    void send(HttpRequest, Completion completion) override { completion(answer()); }
    void cancelAll() override {}
};

TEST_F(ChannelUnitTest, FiftiethLogSendsAtOnceAndEachLogRestartsTheSixSecondTimer) {
    auto unit = addUnit(ChannelUnitConfiguration::defaultConfiguration("Analytics"));
    enqueue(*unit, 49);
    scheduler.advance(std::chrono::seconds(5));
    EXPECT_TRUE(ingestion->calls.empty());
    enqueue(*unit, 1);
    ASSERT_EQ(ingestion->calls.size(), 1u);
    EXPECT_EQ(ingestion->calls[0].container->logs.size(), 50u);
    EXPECT_FALSE(unit->hasRunningTimer());

    // One log every 2 s: nothing goes out until 6 s after the last one.
    for (int i = 0; i < 4; ++i) {
        enqueue(*unit, 1);
        scheduler.advance(std::chrono::seconds(2));
    }
    EXPECT_EQ(ingestion->calls.size(), 1u);
    scheduler.advance(std::chrono::seconds(3));
    EXPECT_EQ(ingestion->calls.size(), 1u);
    scheduler.advance(std::chrono::seconds(1));
    ASSERT_EQ(ingestion->calls.size(), 2u);
    EXPECT_EQ(ingestion->calls[1].container->logs.size(), 4u);
}

TEST_F(ChannelUnitTest, LongIntervalMeasuredFromThePersistedStartTime) {
    const std::string key = ChannelUnitDefault::oldestPendingLogTimestampKey("Analytics");
    EXPECT_EQ(key, "ChannelStartTimer:Analytics");
    auto defaults = BeaconUserDefaults::shared();
    const double now = std::chrono::duration<double>(scheduler.now().time_since_epoch()).count();

    // Two hours old: sent at once, the time forgotten.
    defaults->setObject(platform::Value(now - 7200), key);
    auto unit = addUnit(ChannelUnitConfiguration::defaultConfiguration("Analytics", 3600));
    enqueue(*unit, 1);
    EXPECT_EQ(ingestion->calls.size(), 1u);
    EXPECT_FALSE(defaults->objectForKey(key));

    // Half an hour old: the rest of the hour.
    defaults->setObject(platform::Value(now - 1800), key);
    enqueue(*unit, 1);
    scheduler.advance(std::chrono::seconds(1799));
    EXPECT_EQ(ingestion->calls.size(), 1u);
    scheduler.advance(std::chrono::seconds(1));
    EXPECT_EQ(ingestion->calls.size(), 2u);
    EXPECT_FALSE(defaults->objectForKey(key));
}

TEST_F(ChannelUnitTest, HalfAnHourWithoutNameResolutionDeliversEveryLogOnceInTheSameRun) {
    auto transport = std::make_shared<AnsweringTransport>();
    transport->answer = [this, until = scheduler.now() + std::chrono::minutes(30)] {
        TransportResult result; // name resolution fails for half an hour, then 200
        if (scheduler.now() < until)
            result.error = Error{kTransportErrorDomain, CURLE_COULDNT_RESOLVE_HOST, "unresolved"};
        else result.response = HttpResponse{200, {}};
        return result;
    };
    auto store = std::make_shared<LogDBStorage>(dir.path / "Online.sqlite", std::make_shared<Encrypter>());
    auto online =
        ChannelGroupDefault::create(scheduler, HttpClient::create(scheduler, [transport] { return transport; }),
                                    "5e3b1f0a-7c1d-4e8b-9a2f-0d6c4b8e1a37", "https://logs.invalid", store);
    online->setAppSecret(std::string("0b4a3f2e-52c9-4b8e-9d3a-7f51c2e0d6a1"));
    online->addDelegate(delegate);
    auto unit = online->addChannelUnitWithConfiguration(ChannelUnitConfiguration::defaultConfiguration("Analytics"));
    enqueue(*unit, 120);
    scheduler.advance(std::chrono::hours(1));
    EXPECT_EQ(delegate->succeeded, 120);
    EXPECT_EQ(store->countLogs(), 0u);
}

// Stored logs waiting behind a full queue go out without a new log: on resume
// after a batch completed while paused, after the back-off of a failed batch,
// and after each delivered batch.
TEST_F(ChannelUnitTest, WaitingLogsGoOutOnResumeAndAfterAFailedBatch) {
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(storage->saveLog(test::makeLog(i), "Analytics", kLogFlagsNormal));
    auto unit = addUnit(ChannelUnitConfiguration("Analytics", 1, 6, 2, 3));
    ASSERT_EQ(ingestion->calls.size(), 3u); // at most three batches in flight
    EXPECT_TRUE(unit->pendingBatchQueueFull() && unit->availableBatchFromStorage());
    const auto reason = std::make_shared<int>();
    unit->pauseWithIdentifyingObject(reason);
    answer(0, 200);
    EXPECT_EQ(ingestion->calls.size(), 3u);
    unit->resumeWithIdentifyingObject(reason);
    scheduler.runUntilIdle();
    ASSERT_EQ(ingestion->calls.size(), 4u);

    ingestion->complete(2, 503);
    scheduler.advance(platform::Seconds(ChannelUnitDefault::kRetryBackoffInitial - 1));
    EXPECT_EQ(ingestion->calls.size(), 4u);
    scheduler.advance(platform::Seconds(1));
    ASSERT_EQ(ingestion->calls.size(), 5u);
    for (std::size_t call : {1, 3, 4, 5}) answer(call, 200);
    EXPECT_EQ(storage->countLogs(), 0u);
}

TEST_F(ChannelUnitTest, RecoverableStatusKeepsLogsAndFatalStatusDisablesWithDeletion) {
    auto unit = addUnit(ChannelUnitConfiguration::defaultConfiguration("Analytics"));
    enqueue(*unit, 3);
    scheduler.advance(std::chrono::seconds(6));
    ASSERT_EQ(ingestion->calls.size(), 1u);
    answer(0, 500);
    EXPECT_EQ(delegate->failedCodes, std::vector<long>(3, -1));
    EXPECT_EQ(storage->countLogs(), 3u);
    EXPECT_TRUE(unit->isEnabled());

    // Two more logs are stored while the next batch is out; a 400 ends it all.
    auto other = addUnit(ChannelUnitConfiguration::defaultConfiguration("Crashes"));
    enqueue(*other, 2);
    scheduler.advance(std::chrono::seconds(6));
    ASSERT_EQ(ingestion->calls.size(), 2u);
    enqueue(*other, 2);
    delegate->failedCodes.clear();
    answer(1, 400);
    EXPECT_FALSE(other->isEnabled());
    EXPECT_TRUE(other->discardsLogs());
    EXPECT_EQ(delegate->failedCodes,
              (std::vector<long>{-1, -1, kCanceledWithDeletionErrorCode, kCanceledWithDeletionErrorCode}));
    EXPECT_EQ(storage->countLogs(), 3u); // only the first unit's logs are left

    // Discarding mode: a new log is reported failed, not stored.
    enqueue(*other, 1);
    EXPECT_EQ(delegate->failedCodes.back(), kCanceledWithDeletionErrorCode);
    EXPECT_EQ(delegate->failedCodes.size(), 5u);
    EXPECT_EQ(storage->countLogs(), 3u);

    // Enabled again it stores and sends.
    other->setEnabled(true, false);
    enqueue(*other, 1);
    EXPECT_FALSE(other->discardsLogs());
    EXPECT_EQ(storage->countLogs(), 4u);
}

TEST_F(ChannelUnitTest, StaysPausedWhileAnyIdentifyingObjectRemains) {
    auto unit = addUnit(ChannelUnitConfiguration::defaultConfiguration("Analytics"));
    auto a = std::make_shared<int>(1);
    auto b = std::make_shared<int>(2);
    unit->pauseWithIdentifyingObject(a);
    unit->pauseWithIdentifyingObject(b);
    enqueue(*unit, 50);
    scheduler.advance(std::chrono::seconds(10));
    EXPECT_TRUE(ingestion->calls.empty());

    unit->resumeWithIdentifyingObject(a);
    scheduler.advance(std::chrono::seconds(10));
    EXPECT_TRUE(unit->isPaused());
    EXPECT_TRUE(ingestion->calls.empty());

    unit->resumeWithIdentifyingObject(b);
    scheduler.runUntilIdle();
    EXPECT_FALSE(unit->isPaused());
    ASSERT_EQ(ingestion->calls.size(), 1u);
    EXPECT_EQ(ingestion->calls[0].container->logs.size(), 50u);
}

TEST_F(ChannelUnitTest, InvalidLogsNeverReachDelegatesOrStorage) {
    auto unit = addUnit(ChannelUnitConfiguration::defaultConfiguration("Analytics"));
    auto log = test::makeLog(1);
    log->type.reset();
    unit->enqueueItem(log, kLogFlagsNormal);
    unit->enqueueItem(nullptr, kLogFlagsNormal);
    scheduler.runUntilIdle();
    EXPECT_EQ(delegate->completed, 0);
    EXPECT_EQ(storage->countLogs(), 0u);
}

} // namespace
} // namespace beacon
