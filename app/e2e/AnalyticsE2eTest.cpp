// The real program's analytics traffic: one start-session log per launch,
// sent to the local HTTPS ingestion server the deployment points it at, also
// after its log store was damaged and when a second instance shares the home.
#include "ZelvoSession.h"

#include "beacon/http/tests/IngestionServer.h"

#include <fstream>
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
    // Each log received, as its JSON text, with the times it arrived.
    std::map<std::string, int> arrivals() {
        std::map<std::string, int> counts;
        for (const auto& log : logs()) ++counts[log.dump()];
        return counts;
    }
    std::filesystem::path logStore() { return x.home() / ".local/share/zelvo/beacon/Logs.sqlite"; }
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

// One damaged page inside the log store: the next start moves the file
// aside, starts a fresh one and delivers its logs.
TEST_F(AnalyticsE2eTest, ADamagedLogStoreIsSetAsideAndTheNextStartStillSends) {
    zelvo = launch();
    ASSERT_TRUE(XSession::waitFor([&] { return !ofType("startService").empty(); }, 45)) << "nothing arrived";
    x.stop(zelvo);
    // The store's pages all in the main file, then one in its middle overwritten.
    ASSERT_EQ(x.run({"sqlite3", logStore().string(), "PRAGMA wal_checkpoint(TRUNCATE);"}).status, 0);
    const auto pages = std::filesystem::file_size(logStore()) / 4096;
    ASSERT_GE(pages, 3u);
    {
        std::fstream file(logStore(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(std::streamoff(pages / 2 * 4096));
        file << std::string(4096, '\x5a');
    }

    zelvo = launch();
    ASSERT_TRUE(XSession::waitFor([&] { return ofType("startService").size() >= 2; }, 45))
        << "the start after the damage sent nothing";
    bool setAside = false;
    for (const auto& entry : std::filesystem::directory_iterator(logStore().parent_path()))
        setAside |= entry.path().filename().string().starts_with("Logs.sqlite.corrupt-");
    EXPECT_TRUE(setAside);
}

// Two instances of one user on two displays share the home: one owns the log
// store and sends, the other runs without telemetry. The logs wait while the
// server is down, so both would find them stored.
TEST_F(AnalyticsE2eTest, TwoInstancesOfOneUserDeliverEachLogOnce) {
    XSession other;
    const auto error = other.start();
    ASSERT_FALSE(error) << *error;
    server.stop();
    zelvo = launch();
    const auto secondState = other.root() / "state.json";
    const pid_t second = other.spawn({ZELVO_BINARY}, [&] {
        auto environment = x.environment();
        environment.erase("DISPLAY");
        environment.erase("XDG_RUNTIME_DIR");
        environment["ZELVO_DEBUG_STATE_FILE"] = secondState.string();
        environment["ZELVO_LOG_URL"] = environment["ZELVO_COLLECTOR_URL"] = server.origin();
        environment["ZELVO_EXTRA_CA_FILE"] = IngestionServer::caFile();
        return environment;
    }());
    ASSERT_TRUE(XSession::waitFor([&] { return readStateFile(secondState).contains("apps"); }, 20));
    server.restart();
    ASSERT_TRUE(
        XSession::waitFor([&] { return !ofType("startService").empty() && !ofType("startSession").empty(); }, 60))
        << "the stored logs were not sent";
    EXPECT_TRUE(other.isRunning(second));
    other.stop(second);
    x.stop(zelvo);
    zelvo = -1;
    EXPECT_EQ(ofType("startService").size(), 1u) << "the second instance ran the telemetry";
    for (const auto& [log, times] : arrivals()) EXPECT_EQ(times, 1) << log;
}

} // namespace zelvo::e2e
