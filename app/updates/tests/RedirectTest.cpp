#include "UpdateCheckSupport.h"

#include "app/updates/AppcastUpdateChecker.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Answers each URL from a script at once; unknown URLs get a 404.
struct ScriptedTransport : platform::http::HttpTransport {
    struct Answer {
        long status;
        std::string location;
        std::string body;
    };
    void send(platform::http::HttpRequest request, Completion completion) override {
        requested.push_back(request.url);
        platform::http::TransportResult result;
        result.response.emplace();
        auto it = script.find(request.url);
        result.response->statusCode = it == script.end() ? 404 : it->second.status;
        if (it != script.end()) {
            if (!it->second.location.empty()) result.response->headers.push_back({"Location", it->second.location});
            result.body = it->second.body;
        }
        completion(std::move(result));
    }
    void cancelAll() override {}
    std::map<std::string, Answer> script;
    std::vector<std::string> requested;
};

const std::string kFeed = feed("2.0");
const std::string kUpdate = "update 2.0 https://zelvo.example/download/ over 1.0";

} // namespace

TEST(UpdateRedirects, FollowsUpToFiveAndNeverFromHttpsToHttp) {
    struct Case {
        const char* what;
        std::map<std::string, ScriptedTransport::Answer> script;
        std::string outcome; // the presenter's one call
        std::size_t requests;
    };
    const std::string start = "https://a.test/downloads/Zelvo.xml";
    // start -> /1 -> ... -> /n, each a 302, and the feed at /n.
    auto chain = [&](int n) {
        std::map<std::string, ScriptedTransport::Answer> script{{start, {302, "/1", ""}}};
        for (int i = 1; i < n; ++i)
            script["https://a.test/" + std::to_string(i)] = {302, "/" + std::to_string(i + 1), ""};
        script["https://a.test/" + std::to_string(n)] = {200, "", kFeed};
        return script;
    };
    const Case cases[] = {
        {"absolute, origin-relative and folder-relative redirects",
         {{start, {301, "https://b.test/feeds/x.xml", ""}},
          {"https://b.test/feeds/x.xml", {302, "/feeds/y.xml", ""}},
          {"https://b.test/feeds/y.xml", {307, "z.xml", ""}},
          {"https://b.test/feeds/z.xml", {200, "", kFeed}}},
         kUpdate,
         4},
        {"five redirects are fine", chain(5), kUpdate, 6},
        {"a sixth is not", chain(6), "failed: The update server redirected more than 5 times.", 6},
        {"https to http is refused",
         {{start, {301, "http://a.test/downloads/Zelvo.xml", ""}},
          {"http://a.test/downloads/Zelvo.xml", {200, "", kFeed}}},
         "failed: The update server redirected to an address that is not secure "
         "(http://a.test/downloads/Zelvo.xml).",
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform::ManualScheduler scheduler;
        ScriptedTransport transport;
        transport.script = c.script;
        RecordingPresenter presenter;
        app::AppcastUpdateChecker checker(transport, scheduler, "1.0", presenter);
        checker.setLogger([](const std::string&) {});
        checker.setFeedURL(start);
        checker.checkForUpdates();
        scheduler.runUntilIdle();
        EXPECT_FALSE(checker.isChecking());
        EXPECT_EQ(presenter.calls, std::vector<std::string>{c.outcome});
        EXPECT_EQ(transport.requested.size(), c.requests);
    }
}
