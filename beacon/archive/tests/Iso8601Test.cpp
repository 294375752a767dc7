#include "beacon/archive/Iso8601.h"

#include <gtest/gtest.h>

using namespace beacon;
using namespace std::chrono;

TEST(Iso8601, WritesUtcWithMillisecondsCuttingFinerParts) {
    Date date = sys_days{2024y / March / 1} + 17h + 5min + 9s + 42ms + 999us;
    EXPECT_EQ(dateToISO8601(date), "2024-03-01T17:05:09.042Z");
    EXPECT_EQ(dateToISO8601(Date{}), "1970-01-01T00:00:00.000Z");
    // Before 1970 the cut still goes towards the past.
    EXPECT_EQ(dateToISO8601(Date{} - 1us), "1969-12-31T23:59:59.999Z");
    EXPECT_EQ(dateToISO8601(sys_days{2000y / February / 29} + 23h + 59min + 59s + 999ms), "2000-02-29T23:59:59.999Z");
}

TEST(Iso8601, ParsesItsOwnTextBackToTheMillisecond) {
    Date date = sys_days{2031y / December / 31} + 1h + 2min + 3s + 4ms;
    auto parsed = dateFromISO8601(dateToISO8601(date));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, date);
    EXPECT_EQ(dateFromISO8601("1969-12-31T23:59:59.999Z"), Date{} - 1ms);
}

TEST(Iso8601, RejectsMalformedText) {
    for (const char* text : {"",
                             "2024-03-01",
                             "2024-03-01T17:05:09Z",
                             "2024-03-01T17:05:09.04Z",
                             "2024-03-01T17:05:09.0420Z",
                             "2024-03-01T17:05:09.042",
                             "2024-03-01T17:05:09.042+01:00",
                             "2024-03-01 17:05:09.042Z",
                             "2024/03/01T17:05:09.042Z",
                             "2024-3-01T17:05:09.042ZZ",
                             "2024-13-01T17:05:09.042Z",
                             "2024-00-01T17:05:09.042Z",
                             "2023-02-29T17:05:09.042Z",
                             "2024-04-31T17:05:09.042Z",
                             "2024-03-01T24:00:00.000Z",
                             "2024-03-01T17:60:09.042Z",
                             "2024-03-01T17:05:60.042Z",
                             "2024-03-01T17:05:09.04aZ",
                             "+024-03-01T17:05:09.042Z",
                             "2024-03-01t17:05:09.042z"}) {
        EXPECT_FALSE(dateFromISO8601(text)) << text;
    }
}
