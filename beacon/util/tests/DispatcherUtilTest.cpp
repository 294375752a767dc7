#include "beacon/util/DispatcherUtil.h"

#include "platform/dispatch/ThreadScheduler.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <vector>

using namespace beacon;

TEST(DispatcherUtil, PerformOnMainThreadRunsAtOnceThereAndQueuesElsewhere) {
    platform::ManualScheduler scheduler;
    std::vector<std::string> order;
    DispatcherUtil::performBlockOnMainThread(scheduler, [&] { order.push_back("inline"); });
    EXPECT_EQ(order, std::vector<std::string>{"inline"});

    auto serial = scheduler.makeSerialQueue("worker");
    serial->async([&] {
        DispatcherUtil::performBlockOnMainThread(
            scheduler, [&] { order.push_back(scheduler.mainQueue().isCurrent() ? "main" : "elsewhere"); });
        order.push_back("worker done");
    });
    scheduler.runUntilIdle();
    EXPECT_EQ(order, (std::vector<std::string>{"inline", "worker done", "main"}));
}

TEST(DispatcherUtil, SyncWithTimeoutWaitsForFinishedWorkOnly) {
    platform::ThreadScheduler scheduler;
    auto queue = scheduler.makeSerialQueue("work");
    std::atomic<int> runs{0};
    EXPECT_TRUE(DispatcherUtil::dispatchSyncWithTimeout(platform::Seconds(30), *queue, [&] { ++runs; }));
    EXPECT_EQ(runs.load(), 1);

    // A task stuck behind a blocked one: the caller is let go at the timeout.
    std::promise<void> release;
    auto released = release.get_future().share();
    queue->async([released] { released.wait(); });
    EXPECT_FALSE(DispatcherUtil::dispatchSyncWithTimeout(platform::Seconds(0), *queue, [&] { ++runs; }));
    EXPECT_EQ(runs.load(), 1);
    release.set_value();
    queue->sync([] {});
    EXPECT_EQ(runs.load(), 2); // it still ran, later

    // From the queue itself the task runs inline instead of waiting out the timeout.
    bool inner = false;
    queue->sync(
        [&] { inner = DispatcherUtil::dispatchSyncWithTimeout(platform::Seconds(30), *queue, [&] { ++runs; }); });
    EXPECT_TRUE(inner);
    EXPECT_EQ(runs.load(), 3);
}
