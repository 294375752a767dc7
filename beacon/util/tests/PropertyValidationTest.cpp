#include "beacon/util/PropertyValidation.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

using namespace beacon;

TEST(PropertyValidation, KeepsTheFirstTwentyInGivenOrder) {
    LogCapture log;
    PropertyList list;
    for (int i = 25; i > 0; --i) list.emplace_back("k" + std::to_string(i), "v");
    auto result = validateProperties(list, "open", "Event");
    ASSERT_EQ(result.size(), 20u);
    for (int i = 25; i > 5; --i) EXPECT_TRUE(result.count("k" + std::to_string(i))) << i;
    EXPECT_FALSE(result.count("k5"));
    EXPECT_EQ(log.count("Event 'open' : properties cannot contain more than 20 items. Skipping other properties."), 1u);

    // Exactly twenty: nothing is skipped, nothing is said.
    log.clear();
    list.resize(20);
    EXPECT_EQ(validateProperties(list, "open", "Event").size(), 20u);
    EXPECT_TRUE(log.lines().empty());
}

TEST(PropertyValidation, DropsEmptyKeysAndCutsLongKeysAndValues) {
    LogCapture log;
    const std::string key125(125, 'k'), key126 = key125 + "X";
    const std::string value125(125, 'v'), value126 = value125 + "Y";
    Properties input{{"", "x"}, {key126, "short"}, {"long", value126}, {"edge", value125}, {"a", ""}};
    auto result = validateProperties(input, "n", "Page");
    EXPECT_EQ(result, (Properties{{key125, "short"}, {"long", value125}, {"edge", value125}, {"a", ""}}));
    EXPECT_EQ(log.count("Page 'n' : a property key cannot be null or empty. Property will be skipped."), 1u);
    EXPECT_EQ(log.count("Page 'n' : property " + key126 +
                        " : property key length cannot be longer than 125 characters. Property key will be truncated."),
              1u);
    EXPECT_EQ(log.count("Page 'n' : property 'long' : property value cannot be longer than 125 characters. "
                        "Property value will be truncated."),
              1u);
    EXPECT_EQ(log.lines().size(), 3u);
}

TEST(PropertyValidation, CountsCharactersNotBytesAndNeverSplitsOne) {
    std::string value;
    for (int i = 0; i < 130; ++i) value += "\xC3\xA9"; // é, two bytes each
    auto result = validateProperties(PropertyList{{"k", value}, {"\xE2\x82\xAC", std::string(125, 'e')}}, "n", "Event");
    EXPECT_EQ(utf8Length(result["k"]), 125u);
    EXPECT_EQ(result["k"].size(), 250u);
    EXPECT_EQ(result["\xE2\x82\xAC"].size(), 125u);
    EXPECT_EQ(truncateUtf8("a\xE2\x82\xAC"
                           "b",
                           2),
              "a\xE2\x82\xAC");
}

TEST(PropertyValidation, DropsValuesThatAreNotStrings) {
    platform::Value::Dictionary dictionary{{"s", "text"}, {"n", 3}, {"b", true}};
    EXPECT_EQ(validateProperties(dictionary, "n", "Event"), (Properties{{"s", "text"}}));
}
