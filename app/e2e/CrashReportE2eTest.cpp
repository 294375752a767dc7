// Crash reporting of the real program: a crash of zelvo leaves a report that
// zelvo-crashreport reads, and the next start sends it to the log ingestion
// (a local HTTPS server) once.
#include "ZelvoSession.h"
#include "beacon/http/tests/IngestionServer.h"

#include <csignal>
#include <fstream>
#include <future>
#include <sys/wait.h>

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

// Quits zelvo `runs` times in a desktop of its own, each time while a batch
// is on the wire; what went wrong, or nothing.
std::string quitWithSendsInFlight(int runs) {
    XSession session;
    if (auto error = session.start()) return *error;
    std::filesystem::create_directories(session.home() / ".config/zelvo");
    std::ofstream(session.home() / ".config/zelvo/preferences.json") << R"({"WelcomePassed": true})";
    // Every answer takes a second: each quit finds the first batch on the wire.
    beacon::test::IngestionServer server;
    server.script(
        nlohmann::json::array(),
        {{"status", 200}, {"delay", 1.0}, {"headers", {{"Content-Type", "application/json"}}}, {"body", "{}"}});
    for (int run = 0; run < runs; ++run) {
        const auto sent = server.requests().size();
        const pid_t zelvo =
            session.spawn({ZELVO_BINARY}, {{"ZELVO_LOG_URL", server.origin()},
                                           {"ZELVO_EXTRA_CA_FILE", beacon::test::IngestionServer::caFile()}});
        const std::string name = "run " + std::to_string(run) + ": ";
        if (!server.waitForRequests(sent + 1, std::chrono::seconds(30))) return name + "nothing was sent";
        const int status = session.stop(zelvo);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return name + "wait status " + std::to_string(status);
        if (std::filesystem::exists(session.home() / ".cache/com.zelvo.crashreporter.data/zelvo/live_report.zvcrash"))
            return name + "a crash report was left";
    }
    return {};
}

// Twenty quits with sends in flight, in four desktops side by side (each run
// mostly waits for the telemetry's first flush): every quit ends the program
// normally, within the bound, and leaves no crash report.
TEST(CrashReportQuitE2eTest, QuittingWithSendsInFlightNeverCrashes) {
    std::vector<std::future<std::string>> desktops;
    for (int i = 0; i < 4; ++i) desktops.push_back(std::async(std::launch::async, quitWithSendsInFlight, 5));
    for (auto& desktop : desktops) EXPECT_EQ(desktop.get(), "");
}

} // namespace
} // namespace zelvo::e2e
