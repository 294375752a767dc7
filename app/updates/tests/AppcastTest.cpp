#include "app/updates/Appcast.h"
#include "app/updates/Version.h"

#include <gtest/gtest.h>

namespace {

using app::compareVersions;
using app::parseAppcast;

TEST(VersionTest, ComparesEachDottedComponentAsANumber) {
    // The newer first, each pair compared both ways: "10" over "9" is no text comparison, and absurdly
    // long components do not wrap around into small numbers.
    for (auto [newer, older] : {std::pair{"1.10", "1.9"},
                                {"1.2.1", "1.2"},
                                {"2.0", "1.99.99"},
                                {"10", "9"},
                                {"1.99999999999999999999999", "1.5"}}) {
        EXPECT_GT(compareVersions(newer, older), 0) << newer << " " << older;
        EXPECT_LT(compareVersions(older, newer), 0) << newer << " " << older;
    }
    for (auto [a, b] : {std::pair{"1.2", "1.2.0"}, {"1.2.0.0", "1.2"}, {"v1.3", "1.3"}, {"1.3b2", "1.3"}, {"", "0"}})
        EXPECT_EQ(compareVersions(a, b), 0) << a << " " << b;
}

std::string feed(const std::string& items) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:zelvo=\"https://zelvo.example/xml-namespaces/zelvo\">\n"
           "<channel><title>Zelvo</title><link>https://zelvo.example/</link>\n" +
           items + "</channel></rss>\n";
}

TEST(AppcastTest, PicksTheHighestVersionWithItsDownloadPage) {
    auto result = parseAppcast(feed(
        "<item><title>Zelvo 1.2</title><zelvo:version>1.2</zelvo:version>"
        "<link>https://zelvo.example/downloads/1.2</link></item>"
        "<item><title>Zelvo 1.10</title><link> https://zelvo.example/downloads/1.10 </link>"
        "<enclosure url=\"https://zelvo.example/Zelvo-1.10.tar.gz\" zelvo:version=\"1.10\" length=\"1\" "
        "type=\"application/octet-stream\"/></item>"
        "<item><title>Zelvo 1.9</title><version>1.9</version><link>https://zelvo.example/downloads/1.9</link></item>"));
    ASSERT_TRUE(result.newest) << result.error;
    EXPECT_EQ(result.newest->version, "1.10");
    EXPECT_EQ(result.newest->title, "Zelvo 1.10");
    EXPECT_EQ(result.newest->downloadURL, "https://zelvo.example/downloads/1.10");
}

TEST(AppcastTest, SkipsItemsWithoutVersionOrSafeLink) {
    auto result = parseAppcast(
        feed("<item><title>no version</title><link>https://zelvo.example/9</link></item>"
             "<item><title>script</title><zelvo:version>9.0</zelvo:version><link>javascript:alert(1)</link></item>"
             "<item><title>file</title><zelvo:version>8.0</zelvo:version><link>file:///etc/passwd</link></item>"
             "<item><title>enclosure only</title>"
             "<enclosure url=\"http://zelvo.example/Zelvo-2.0.tar.gz\" zelvo:version=\"2.0\"/></item>"));
    ASSERT_TRUE(result.newest) << result.error;
    EXPECT_EQ(result.newest->version, "2.0");
    EXPECT_EQ(result.newest->downloadURL, "http://zelvo.example/Zelvo-2.0.tar.gz");
}

TEST(AppcastTest, ExplainsFeedsWithoutARelease) {
    struct Case {
        const char* what;
        std::string xml;
        const char* error;
    } cases[] = {
        {"empty", "", "The update feed is empty."},
        {"blank", " \n\t", "The update feed is empty."},
        {"truncated", feed("<item><title>x</title>").substr(0, 120), "not valid XML"},
        {"not xml", "<html><body>Not found</body>", "not valid XML"},
        {"html", "<html><body>Moved</body></html>", "not an RSS channel"},
        {"no items", feed(""), "lists no release"},
        {"doctype",
         "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY a \"aaaa\">]><rss><channel><item>"
         "<version>&a;</version><link>https://x.example/</link></item></channel></rss>",
         "document type"},
    };
    for (const auto& c : cases) {
        auto result = parseAppcast(c.xml);
        EXPECT_FALSE(result.newest) << c.what;
        EXPECT_NE(result.error.find(c.error), std::string::npos) << c.what << ": " << result.error;
    }
}

} // namespace
