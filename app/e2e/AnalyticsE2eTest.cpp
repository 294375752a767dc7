// The real program's analytics traffic: one start-session log per launch,
// sent to the local HTTPS ingestion server the deployment points it at.
#include "ZelvoSession.h"

#include "beacon/http/tests/IngestionServer.h"

#include <set>

namespace zelvo::e2e {
namespace {

using beacon::test::IngestionServer;
using nlohmann::json;

class AnalyticsE2eTest : public ZelvoSession {
protected:
    pid_t launch() {
        return x.spawn({ZELVO_BINARY}, {{"ZELVO_LOG_URL", server.origin()},
                                        {"ZELVO_COLLECTOR_URL", server.origin()},
                                        {"ZELVO_EXTRA_CA_FILE", IngestionServer::caFile()}});
    }
    // Every log of the Beacon endpoint received so far.
    std::vector<json> logs() {
        std::vector<json> all;
        for (const auto& request : server.requests()) {
            EXPECT_EQ(request.path.rfind("/logs", 0), 0u) << "Zelvo tracks no events of its own: " << request.path;
            const json body = json::parse(request.decodedBody, nullptr, false);
            if (body.is_object() && body.contains("logs"))
                for (const auto& log : body["logs"]) all.push_back(log);
        }
        return all;
    }
    std::vector<json> ofType(const std::string& type) {
        std::vector<json> matching;
        for (const auto& log : logs())
            if (log["type"] == type) matching.push_back(log);
        return matching;
    }
    std::set<std::string> sessionIds() {
        std::set<std::string> sids;
        for (const auto& log : ofType("startSession")) sids.insert(log.value("sid", ""));
        return sids;
    }

    IngestionServer server;
};

} // namespace

// A log whose delivery was cut short by the end of a launch is sent again by
// the next one, so sessions are counted by their ids.
TEST_F(AnalyticsE2eTest, EachLaunchSendsOneStartSessionLogWithAFreshSessionId) {
    zelvo = launch();
    ASSERT_GT(zelvo, 0);
    ASSERT_TRUE(XSession::waitFor([&] { return sessionIds().size() >= 1 && !ofType("startService").empty(); }, 45))
        << "no session logs arrived";
    x.stop(zelvo);

    zelvo = launch();
    ASSERT_GT(zelvo, 0);
    ASSERT_TRUE(XSession::waitFor([&] { return sessionIds().size() >= 2 && ofType("startService").size() >= 2; }, 45))
        << "the second launch sent nothing";
    auto sids = sessionIds();
    EXPECT_EQ(sids.size(), 2u);
    EXPECT_FALSE(sids.contains(""));
    for (const auto& log : ofType("startService")) {
        EXPECT_FALSE(log.contains("sid")) << log.dump();
        EXPECT_EQ(log["services"], json({"Crashes", "Analytics"})) << log.dump();
    }
    // Every batch carries the app secret and one install id, kept across launches.
    std::set<std::string> installIds;
    for (const auto& request : server.requests()) {
        EXPECT_EQ(request.path, "/logs?api-version=1.0.0");
        EXPECT_FALSE(request.header("App-Secret").value_or("").empty());
        installIds.insert(request.header("Install-ID").value_or(""));
    }
    EXPECT_EQ(installIds.size(), 1u);
    EXPECT_FALSE(installIds.contains(""));
}

} // namespace zelvo::e2e
