#include "beacon/util/SdkInfo.h"
#include "beacon/util/TextUtility.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace beacon;

TEST(TextUtility, PrettyPrintsJsonAndPassesOtherTextThrough) {
    const std::string json = R"({"url":"https:\/\/example.test\/a","n":[1,2]})";
    const auto pretty = prettyPrintJson({json.begin(), json.end()});
    EXPECT_NE(pretty.find("\"url\": \"https://example.test/a\""), std::string::npos) << pretty;
    EXPECT_NE(pretty.find('\n'), std::string::npos);
    const std::string plain = "not json {";
    EXPECT_EQ(prettyPrintJson({plain.begin(), plain.end()}), plain);
}

TEST(TextUtility, ObfuscatesCaseInsensitiveMatchesAndRefusesBadPatterns) {
    LogCapture log;
    EXPECT_EQ(obfuscateString("/Users/alice/x and /HOME/bob/y", "/(users|home)/[^/]+/", "/$1/USER/"),
              "/Users/USER/x and /HOME/USER/y");
    EXPECT_EQ(obfuscateString("x", "(", "y"), std::nullopt);
    EXPECT_EQ(log.count("Couldn't create regular expression with pattern\"(\""), 1u);
}

TEST(SdkInfo, NowInMillisecondsFollowsTheClock) {
    const double before =
        std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch()).count();
    const double now = nowInMilliseconds();
    EXPECT_GE(now, before);
    EXPECT_LT(now - before, 60000.0);
}
