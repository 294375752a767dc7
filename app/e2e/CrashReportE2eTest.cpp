// Crash reporting of the real program: a crash of zelvo leaves a report that
// zelvo-crashreport reads, and the next start sends it to the log ingestion
// (a local HTTPS server) once.
#include "ZelvoSession.h"
#include "beacon/http/tests/IngestionServer.h"

#include <csignal>

namespace zelvo::e2e {
namespace {

class CrashReportE2eTest : public ZelvoSession {
protected:
    void start() {
        zelvo = x.spawn({ZELVO_BINARY}, {{"ZELVO_DEBUG_STATE_FILE", stateFile.string()},
                                         {"ZELVO_LOG_URL", server.origin()},
                                         {"ZELVO_EXTRA_CA_FILE", beacon::test::IngestionServer::caFile()}});
        ASSERT_GT(zelvo, 0);
        // The state is written after launching finished, telemetry included.
        ASSERT_TRUE(waitForState([](const nlohmann::json& s) { return s.contains("apps"); }));
    }
    // Logs received so far of one type.
    std::vector<nlohmann::json> received(const std::string& type) {
        std::vector<nlohmann::json> logs;
        for (const auto& request : server.requests()) {
            const auto body = nlohmann::json::parse(request.decodedBody, nullptr, false);
            if (body.is_discarded() || !body.contains("logs")) continue;
            for (const auto& log : body["logs"])
                if (log["type"] == type) logs.push_back(log);
        }
        return logs;
    }
    std::filesystem::path pendingReport() {
        return x.home() / ".cache/com.zelvo.crashreporter.data/zelvo/live_report.zvcrash";
    }

    beacon::test::IngestionServer server;
};

TEST_F(CrashReportE2eTest, ACrashIsReadableAndSentOnceByTheNextStart) {
    ASSERT_TRUE(server.running());
    start();
    // The telemetry starts in the background; once its start-service log
    // arrived, crash capture is armed.
    ASSERT_TRUE(XSession::waitFor([&] { return !received("startService").empty(); }, 20));
    ::kill(zelvo, SIGSEGV);
    ASSERT_TRUE(XSession::waitFor([&] { return !x.isRunning(zelvo); }));
    zelvo = -1;
    ASSERT_TRUE(std::filesystem::exists(pendingReport()));
    const auto read = x.run({ZELVO_CRASHREPORT_BINARY, pendingReport().string()});
    EXPECT_EQ(read.status, 0);
    EXPECT_NE(read.output.find("SIGSEGV"), std::string::npos) << read.output;

    start();
    ASSERT_TRUE(XSession::waitFor([&] { return !received("appleError").empty(); }, 10));
    EXPECT_EQ(received("appleError")[0]["osExceptionType"], "SIGSEGV");
    EXPECT_FALSE(std::filesystem::exists(pendingReport()));
    x.stop(zelvo);

    // A third start sends its start-service log but no crash.
    start();
    ASSERT_TRUE(XSession::waitFor([&] { return received("startService").size() >= 3; }, 30));
    EXPECT_EQ(received("appleError").size(), 1u);
}

} // namespace
} // namespace zelvo::e2e
