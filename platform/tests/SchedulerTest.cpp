#include "platform/dispatch/ThreadScheduler.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <vector>

using namespace platform;

TEST(ManualScheduler, RunsWorkAtItsVirtualTimeInOrderOnItsQueue) {
    ManualScheduler s;
    std::vector<std::string> log;
    auto serial = s.makeSerialQueue("com.zelvo.test");
    EXPECT_EQ(serial->label(), "com.zelvo.test");
    EXPECT_TRUE(s.mainQueue().isCurrent()); // the test thread acts as the main thread
    s.mainQueue().after(Seconds(3), [&] { log.push_back("main+3"); });
    serial->async([&] {
        // While the serial queue's work runs, it is current and the main queue is not.
        if (serial->isCurrent() && !s.mainQueue().isCurrent()) log.push_back("serial+0");
    });
    s.mainQueue().after(Seconds(0.1), [&] { log.push_back("main+0.1"); });
    s.mainQueue().async([&] {
        log.push_back("main+0");
        s.mainQueue().async([&] { log.push_back("nested+0"); });
    });

    EXPECT_EQ(s.runUntilIdle(), 3u);
    EXPECT_EQ(log, (std::vector<std::string>{"serial+0", "main+0", "nested+0"}));
    s.advance(Seconds(0.05));
    EXPECT_EQ(log.size(), 3u);
    s.advance(Seconds(5));
    EXPECT_EQ(log, (std::vector<std::string>{"serial+0", "main+0", "nested+0", "main+0.1", "main+3"}));
    EXPECT_DOUBLE_EQ(s.elapsed(), 5.05);
    EXPECT_EQ(s.now(), ManualScheduler::defaultStart() + std::chrono::milliseconds(5050));
}

TEST(ManualScheduler, RepeatingTimerFiresEachIntervalUntilCancelled) {
    ManualScheduler s;
    std::vector<double> times;
    auto timer = s.mainQueue().schedule(Seconds(3), true, [&] { times.push_back(s.elapsed()); });
    s.advance(Seconds(10));
    EXPECT_EQ(times, (std::vector<double>{3, 6, 9}));
    timer->cancel();
    EXPECT_FALSE(timer->isValid());
    s.advance(Seconds(10));
    EXPECT_EQ(times.size(), 3u);
    EXPECT_EQ(s.pendingCount(), 0u);
}

TEST(ThreadScheduler, SerialQueueKeepsOrderSyncWaitsAndTimersReachIt) {
    ThreadScheduler s;
    auto q = s.makeSerialQueue("serial");
    std::vector<int> seen;
    for (int i = 0; i < 200; ++i) q->async([&seen, i] { seen.push_back(i); });
    bool inside = false;
    q->sync([&] { inside = q->isCurrent(); });
    ASSERT_EQ(seen.size(), 200u);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(seen[i], i);
    EXPECT_TRUE(inside);
    EXPECT_FALSE(q->isCurrent());

    // Delayed work and timers run on their queue; a cancelled one never does.
    std::promise<bool> once;
    q->after(Seconds(0.02), [&] { once.set_value(q->isCurrent()); });
    EXPECT_TRUE(once.get_future().get());

    std::atomic<int> ticks{0};
    std::promise<void> third;
    auto timer = q->schedule(Seconds(0.01), true, [&] {
        if (++ticks == 3) third.set_value();
    });
    third.get_future().wait();
    timer->cancel();
    q->sync([] {});
    EXPECT_GE(ticks.load(), 3);

    auto cancelled = s.globalQueue().schedule(Seconds(0.01), false, [&] { ticks += 100; });
    cancelled->cancel();
    std::promise<void> later;
    s.globalQueue().after(Seconds(0.05), [&] { later.set_value(); });
    later.get_future().wait();
    EXPECT_LT(ticks.load(), 100);
}

TEST(ThreadScheduler, RunLoopMainQueueRunsOnItsThread) {
    ThreadScheduler s;
    auto& main = static_cast<RunLoopQueue&>(s.mainQueue());
    std::atomic<bool> onMain{false};
    s.globalQueue().async([&] {
        main.after(Seconds(0.01), [&] {
            onMain = main.isCurrent();
            main.stop();
        });
    });
    main.run();
    EXPECT_TRUE(onMain);
}

// An owner of a serial queue whose last reference goes away inside one of
// that queue's own tasks (a timer or completion of a unit being torn down):
// the queue is freed on its own thread, the work already posted still runs,
// and nothing touches freed memory (checked under AddressSanitizer) or
// deadlocks on the queue's own lock.
TEST(ThreadScheduler, OwnerReleasedInsideItsOwnQueueTask) {
    struct Owner {
        std::shared_ptr<Queue> queue;
        std::shared_ptr<Timer> timer;
    };
    struct Case {
        const char* name;
        bool strongCapture; // the task itself holds the last reference
        bool fromTimer;
        bool resetInside; // else the reference goes with the task's captures
    };
    const Case cases[] = {
        {"reference dropped inside a posted task", false, false, true},
        {"posted task's captures hold the last reference", true, false, false},
        {"timer task drops the last reference", true, true, true},
    };
    ThreadScheduler s;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto owner = std::make_shared<Owner>();
        owner->queue = s.makeSerialQueue("owner");
        Queue* q = owner->queue.get();
        std::promise<bool> pendingRan;
        std::promise<void> release;
        auto releaseFuture = release.get_future().share();
        Task drop;
        if (c.strongCapture) {
            drop = [keep = owner, releaseFuture, reset = c.resetInside]() mutable {
                releaseFuture.wait();
                if (reset) keep.reset();
            };
        } else {
            drop = [&owner, releaseFuture] {
                releaseFuture.wait();
                owner.reset();
            };
        }
        if (c.fromTimer) owner->timer = q->schedule(Seconds(0), false, std::move(drop));
        else q->async(std::move(drop));
        // Work posted behind the releasing task, as a send completion would be.
        q->async([&pendingRan, q] { pendingRan.set_value(q != nullptr); });
        if (c.strongCapture) owner.reset();
        release.set_value();
        auto done = pendingRan.get_future();
        ASSERT_EQ(done.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        EXPECT_TRUE(done.get());
    }
}
