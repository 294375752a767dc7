#include "platform/NotificationCenter.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(NotificationCenter, FiltersByNameAndSenderAndCarriesUserInfo) {
    NotificationCenter center;
    int sender = 0, other = 0;
    std::vector<std::string> got;
    center.addObserver("needsResize", nullptr, [&](const Notification& n) { got.push_back("any:" + n.name); });
    center.addObserver("needsResize", &sender, [&](const Notification& n) { got.push_back("sender"); });
    center.addObserver("", nullptr, [&](const Notification& n) {
        if (auto v = n.info<int>("size")) got.push_back("all:" + std::to_string(*v));
    });

    center.post("needsResize", &other, {{"size", 7}});
    center.post("needsResize", &sender);
    center.post("unrelated", nullptr, {{"size", std::string("not an int")}});
    EXPECT_EQ(got, (std::vector<std::string>{"any:needsResize", "all:7", "any:needsResize", "sender"}));
}

TEST(NotificationCenter, RemovedObserversAreNotCalledEvenMidDelivery) {
    NotificationCenter center;
    int calls = 0;
    ObserverId second = 0;
    center.addObserver("n", nullptr, [&](const Notification&) {
        ++calls;
        center.removeObserver(second);
    });
    second = center.addObserver("n", nullptr, [&](const Notification&) { calls += 100; });
    center.post("n");
    EXPECT_EQ(calls, 1);
    {
        Subscription sub(center, center.addObserver("n", nullptr, [&](const Notification&) { calls += 10; }));
        center.post("n");
    }
    center.post("n");
    EXPECT_EQ(calls, 1 + 11 + 1);
    EXPECT_EQ(center.observerCount(), 1u);
}

TEST(NotificationCenter, QueuedObserversRunOnTheirQueue) {
    ManualScheduler s;
    NotificationCenter center;
    int calls = 0;
    auto id = center.addObserver(
        "n", nullptr, [&](const Notification&) { ++calls; }, &s.mainQueue());
    center.post("n");
    EXPECT_EQ(calls, 0);
    s.runUntilIdle();
    EXPECT_EQ(calls, 1);
    center.post("n");
    center.removeObserver(id);
    s.runUntilIdle();
    EXPECT_EQ(calls, 1);
}
