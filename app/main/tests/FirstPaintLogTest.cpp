#include "app/main/FirstPaintLog.h"

#include <gtest/gtest.h>

using app::desktop::FirstPaintLog;

TEST(FirstPaintLog, KeepsNothingUnlessReadAndOnlyTheRecentTimes) {
    FirstPaintLog unread(false);
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(unread.record(i));
    EXPECT_TRUE(unread.times().empty());

    FirstPaintLog read(true);
    for (std::size_t i = 0; i < FirstPaintLog::kKept + 5; ++i) EXPECT_TRUE(read.record(double(i)));
    ASSERT_EQ(read.times().size(), FirstPaintLog::kKept);
    EXPECT_EQ(read.times().front(), 5.0);
    EXPECT_EQ(read.times().back(), double(FirstPaintLog::kKept + 4));
}
