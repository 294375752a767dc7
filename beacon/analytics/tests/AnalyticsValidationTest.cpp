#include "beacon/analytics/Analytics.h"
#include "beacon/analytics/model/EventLog.h"
#include "beacon/model/StringTypedProperty.h"
#include "beacon/util/tests/LogCapture.h"

#include <gtest/gtest.h>

using namespace beacon;

TEST(AnalyticsValidation, EventNamesAreCutAt256AndEmptyOnesRefused) {
    LogCapture logs;
    EXPECT_EQ(Analytics::validateEventName(std::string(300, 'n'), "event"), std::string(256, 'n'));
    EXPECT_EQ(logs.count("event '" + std::string(300, 'n') +
                         "' : name length cannot be longer than 256 characters. Name will be truncated."),
              1u);
    EXPECT_EQ(Analytics::validateEventName(std::string(256, 'n'), "event"), std::string(256, 'n'));
    EXPECT_FALSE(Analytics::validateEventName("", "page"));
    EXPECT_FALSE(Analytics::validateEventName(std::nullopt, "event"));
    EXPECT_EQ(logs.count("page name cannot be null or empty"), 1u);
}

TEST(AnalyticsValidation, TypedPropertiesKeepTwentyAndCutNamesAndValuesTo124) {
    LogCapture logs;
    EventProperties in;
    for (int i = 0; i < 25; ++i) in.setInt64(i, "p" + std::to_string(i));
    auto out = Analytics::validateBeaconEventProperties(in);
    ASSERT_EQ(out->count(), 20u);
    EXPECT_EQ(*out->properties().front()->name, "p0");
    EXPECT_EQ(*out->properties().back()->name, "p19");
    EXPECT_EQ(logs.count("Typed properties cannot contain more than 20 items. Skipping other properties."), 1u);

    EventProperties lengths;
    lengths.setString("v", std::string(130, 'a')).setString("v", std::string(125, 'b'));
    lengths.setString(std::string(126, 'x'), "long value").setString(std::string(125, 'y'), "max value");
    out = Analytics::validateBeaconEventProperties(lengths);
    EXPECT_TRUE(out->property(std::string(124, 'a')));
    EXPECT_TRUE(out->property(std::string(125, 'b')));
    auto value = [&](const char* name) {
        return std::dynamic_pointer_cast<StringTypedProperty>(out->property(name))->value;
    };
    EXPECT_EQ(value("long value"), std::string(124, 'x'));
    EXPECT_EQ(value("max value"), std::string(125, 'y'));
    EXPECT_EQ(logs.count("key length cannot exceed 125 characters"), 1u);
    EXPECT_EQ(logs.count("Typed property value length cannot exceed 125 characters."), 1u);
}

TEST(AnalyticsValidation, FlagsOtherThanNormalOrCriticalBecomeNormal) {
    LogCapture logs;
    struct Case {
        LogFlags in, out;
    } cases[] = {{1, 1}, {2, 2}, {0, 1}, {3, 1}, {0x102, 0x102}, {0x100, 1}};
    for (auto c : cases) EXPECT_EQ(Analytics::normalizedFlags(c.in), c.out) << c.in;
    EXPECT_EQ(logs.count("Invalid flags (0) received, using normal as a default."), 1u);
    EXPECT_EQ(logs.count("Invalid flags (3) received"), 1u);
}

TEST(AnalyticsValidation, LogValidationCutsTheNameAndValidatesStringProperties) {
    PageLog page;
    page.name = std::string(300, 'p');
    page.properties = Properties{{std::string(130, 'k'), "v"}};
    EXPECT_TRUE(Analytics::validateLog(page));
    EXPECT_EQ(page.name->size(), 256u);
    EXPECT_EQ(page.properties->begin()->first.size(), 125u);
    page.name = "";
    EXPECT_FALSE(Analytics::validateLog(page));
}
