#include "UpdateCheckSupport.h"

#include "beacon/http/tests/IngestionServer.h"
#include "platform/http/CurlTransport.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

class AppcastUpdateCheckerTest : public ::testing::Test {
protected:
    void SetUp() override {
        checker_.setLogger([this](const std::string& line) { logged_.push_back(line); });
        checker_.setFeedURL(server_.origin() + "/downloads/Zelvo.xml");
    }
    // Every request for the feed gets this answer.
    void serve(const std::string& body, int status = 200) { server_.script({}, {{"status", status}, {"body", body}}); }

    // Runs the main queue until the check has come back from the network.
    void settle() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (checker_.isChecking() && std::chrono::steady_clock::now() < deadline) {
            if (scheduler_.runUntilIdle() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_FALSE(checker_.isChecking()) << "no answer from the feed";
        scheduler_.runUntilIdle();
    }

    beacon::test::IngestionServer server_{{.tls = false}};
    platform::ManualScheduler scheduler_;
    platform::http::CurlTransport transport_;
    RecordingPresenter presenter_;
    app::AppcastUpdateChecker checker_{transport_, scheduler_, "1.2", presenter_};
    std::vector<std::string> logged_;
};

TEST_F(AppcastUpdateCheckerTest, NewerReleaseIsAnnouncedInBothKindsOfCheck) {
    serve(feed("1.10"));
    const std::string expected = "update 1.10 https://zelvo.example/download/ over 1.2";

    checker_.checkForUpdates();
    // The answer arrives on the main queue, not on the transport's thread.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (scheduler_.pendingCount() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(presenter_.calls.empty());
    settle();
    EXPECT_EQ(presenter_.calls, std::vector<std::string>{expected});

    checker_.checkForUpdatesInBackground();
    settle();
    EXPECT_EQ(presenter_.calls, (std::vector<std::string>{expected, expected}));
    EXPECT_TRUE(logged_.empty());
    for (const auto& request : server_.requests())
        EXPECT_EQ(request.method + " " + request.path, "GET /downloads/Zelvo.xml");
}

TEST_F(AppcastUpdateCheckerTest, SameOrOlderReleaseIsReportedOnlyWhenAsked) {
    for (const char* version : {"1.2", "1.2.0", "1.1.9"}) {
        serve(feed(version));
        checker_.checkForUpdatesInBackground();
        settle();
        EXPECT_TRUE(presenter_.calls.empty()) << version;
        checker_.checkForUpdates();
        settle();
        EXPECT_EQ(presenter_.calls, std::vector<std::string>{"up to date 1.2"}) << version;
        presenter_.calls.clear();
    }
}

TEST_F(AppcastUpdateCheckerTest, BrokenFeedsAreLoggedAndShownOnlyInTheForeground) {
    struct Case {
        const char* what;
        std::string body; // none: the feed file is absent
        bool present;
        std::string expected;
    } cases[] = {
        {"malformed", "<rss><channel><item>", true, "not valid XML"},
        {"empty", "", true, "The update feed is empty."},
        {"no release", "<rss><channel><title>Zelvo</title></channel></rss>", true, "lists no release"},
        {"missing", "", false, "HTTP status 404"},
    };
    for (const auto& c : cases) {
        serve(c.body, c.present ? 200 : 404);
        logged_.clear();
        presenter_.calls.clear();

        checker_.checkForUpdatesInBackground();
        settle();
        EXPECT_TRUE(presenter_.calls.empty()) << c.what;
        ASSERT_EQ(logged_.size(), 1u) << c.what;
        EXPECT_EQ(logged_[0].rfind("Update check failed: ", 0), 0u) << logged_[0];
        EXPECT_NE(logged_[0].find(c.expected), std::string::npos) << logged_[0];

        checker_.checkForUpdates();
        settle();
        ASSERT_EQ(presenter_.calls.size(), 1u) << c.what;
        EXPECT_EQ(presenter_.calls[0].rfind("failed: ", 0), 0u) << presenter_.calls[0];
        EXPECT_NE(presenter_.calls[0].find(c.expected), std::string::npos) << presenter_.calls[0];
    }
}

TEST_F(AppcastUpdateCheckerTest, UnreachableOrUnusableFeedAddressFails) {
    server_.stop(); // nothing listens at the feed's address any more
    checker_.checkForUpdates();
    settle();
    ASSERT_EQ(presenter_.calls.size(), 1u);
    EXPECT_NE(presenter_.calls[0].find("could not be reached"), std::string::npos) << presenter_.calls[0];

    presenter_.calls.clear();
    checker_.setFeedURL("file:///etc/passwd");
    checker_.checkForUpdates();
    EXPECT_FALSE(checker_.isChecking());
    ASSERT_EQ(presenter_.calls.size(), 1u);
    EXPECT_NE(presenter_.calls[0].find("not an http or https address"), std::string::npos);
}

TEST_F(AppcastUpdateCheckerTest, ForegroundRequestDuringAQuietCheckGetsItsAnswer) {
    serve(feed("1.0"));
    checker_.checkForUpdatesInBackground();
    checker_.checkForUpdates();
    settle();
    EXPECT_EQ(presenter_.calls, std::vector<std::string>{"up to date 1.2"});
}

} // namespace
