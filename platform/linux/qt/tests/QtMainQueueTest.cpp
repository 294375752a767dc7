#include "platform/linux/qt/QtMainQueue.h"

#include "platform/dispatch/ThreadScheduler.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include "TestApp.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace platform;

namespace {

// Runs the Qt loop until `done` or a generous safety limit.
void spin(const std::function<bool()>& done) {
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(5000);
    while (!done() && guard.isActive()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

} // namespace

TEST(QtMainQueue, WorkFromOtherThreadsRunsOnTheGuiThreadInOrderDelayedOrAwaited) {
    testApp();
    ThreadScheduler scheduler([](TimerService& timers) { return std::make_unique<qt::QtMainQueue>(timers); });
    Queue& main = scheduler.mainQueue();
    EXPECT_TRUE(main.isCurrent());

    std::vector<int> order;
    std::atomic<bool> offThread{false};
    std::thread worker([&] {
        EXPECT_FALSE(main.isCurrent());
        for (int i = 0; i < 50; ++i)
            main.async([&, i] {
                if (!main.isCurrent()) offThread = true;
                order.push_back(i);
            });
    });
    worker.join();
    spin([&] { return order.size() == 50; });
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
    EXPECT_FALSE(offThread);

    // Delayed work, and a worker waiting for work of its own on the GUI thread.
    bool delayed = false;
    main.after(Seconds(0.01), [&] { delayed = main.isCurrent(); });

    std::atomic<bool> synced{false};
    auto serial = scheduler.makeSerialQueue("worker");
    serial->async([&] { main.sync([&] { synced = main.isCurrent(); }); });
    spin([&] { return delayed && synced; });
    EXPECT_TRUE(delayed);
    EXPECT_TRUE(synced);
}
