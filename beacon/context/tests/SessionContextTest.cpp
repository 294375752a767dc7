#include "beacon/context/SessionContext.h"
#include "beacon/model/tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace beacon;
using namespace std::chrono;

using SessionContextTest = test::LaunchTest<SessionContext>;

TEST_F(SessionContextTest, OneEntryPerLaunchPersistedWithItsLatestSession) {
    auto first = launch();
    EXPECT_FALSE(store->objectForKey(SessionContext::kHistoryKey)); // nothing to keep before a session
    now += 1min;
    first->setSessionId("s1");
    now += 1min;
    first->setSessionId("s2");
    EXPECT_EQ(first->sessionId(), "s2");
    ASSERT_EQ(first->sessionHistory().size(), 1u);

    now += 1h;
    auto second = launch(); // the next launch
    EXPECT_EQ(second->sessionId(), std::nullopt);
    now += 1min;
    second->setSessionId("t1");
    auto history = second->sessionHistory();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0]->sessionId, "s2");
    EXPECT_EQ(history[1]->sessionId, "t1");

    const Date s2Time = sys_days{2024y / May / 1} + 2min;
    EXPECT_EQ(second->sessionIdAt(s2Time), std::nullopt); // strictly earlier entries only
    EXPECT_EQ(second->sessionIdAt(s2Time + 1ms), "s2");
    EXPECT_EQ(second->sessionIdAt(now + 1ms), "t1");

    // Launch after launch, the history keeps the five newest.
    for (int i = 0; i < 6; ++i) {
        now += 1h;
        launch()->setSessionId("u" + std::to_string(i));
    }
    history = launch()->sessionHistory();
    ASSERT_EQ(history.size(), 5u);
    EXPECT_EQ(history[0]->sessionId, "u2");
}

TEST_F(SessionContextTest, ClearingKeepsTheCurrentSessionWhenAsked) {
    auto first = launch();
    first->setSessionId("old");
    now += 1h;
    auto context = launch();
    context->setSessionId("current");
    context->clearSessionHistoryAndKeepCurrentSession(true);
    ASSERT_EQ(context->sessionHistory().size(), 1u);
    EXPECT_EQ(context->sessionHistory()[0]->sessionId, "current");
    EXPECT_EQ(launch()->sessionHistory().size(), 2u); // persisted one, plus the new launch's

    context->clearSessionHistoryAndKeepCurrentSession(false);
    EXPECT_TRUE(context->sessionHistory().empty());
    now += 1min;
    context->setSessionId("next");
    ASSERT_EQ(context->sessionHistory().size(), 1u);
    EXPECT_EQ(context->sessionHistory()[0]->sessionId, "next");
}
