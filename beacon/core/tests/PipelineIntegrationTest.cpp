#include "beacon/http/tests/IngestionServer.h"
#include "beacon/http/tests/TelemetryChild.h"
#include "beacon/util/tests/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

namespace beacon {
namespace {

namespace fs = std::filesystem;

// One run of the pipeline child with its own folders.
test::TelemetryChild pipelineChild(const fs::path& home, const std::string& origin, const std::string& mode, int count,
                                   const fs::path& marker) {
    return test::TelemetryChild(home, origin, {ZELVO_PIPELINE_CHILD, mode, std::to_string(count)}, marker);
}

// Counts the logs the server received: events by their "n", start-service
// logs under "startService".
std::map<std::string, int> receivedLogs(const test::IngestionServer& server, const std::string& installId) {
    std::map<std::string, int> logs;
    for (const auto& request : server.requests()) {
        EXPECT_EQ(request.path, "/logs?api-version=1.0.0");
        EXPECT_EQ(request.header("Install-ID"), installId);
        EXPECT_EQ(request.header("App-Secret"), "5f0c1c0e-8d8e-4a9b-9b7a-2a4c6d8e0f11");
        const auto body = nlohmann::json::parse(request.decodedBody);
        for (const auto& log : body["logs"]) {
            if (log["type"] == "event") ++logs[log["properties"]["n"].get<std::string>()];
            if (log["type"] == "startService") {
                ++logs["startService"];
                EXPECT_EQ(log["services"], nlohmann::json({"Pipeline"}));
            }
        }
    }
    return logs;
}

bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition())
        if (std::chrono::steady_clock::now() > deadline) return false;
        else std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return true;
}

class PipelineIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.running()); }

    TempDir dir;
    const fs::path& home = dir.path;
    test::IngestionServer server;
};

TEST_F(PipelineIntegrationTest, KilledProcessLosesNothingAndTheNextStartSendsEachLogOnce) {
    auto holder = pipelineChild(home, server.origin(), "hold", 5, home / "hold.marker");
    const std::string installId = holder.waitForMarker();
    ASSERT_EQ(installId.size(), 36u);
    holder.kill();
    holder.wait();

    auto sender = pipelineChild(home, server.origin(), "send", 0, home / "send.marker");
    EXPECT_EQ(sender.waitForMarker(), installId);
    ASSERT_TRUE(test::TelemetryChild::exitedWith(sender.wait(), 0)) << "the store did not empty";

    auto logs = receivedLogs(server, installId);
    // The first run's start-service log may have gone out already, or may go
    // again when it was on the wire at the kill; the second run's goes out
    // before the store empties.
    EXPECT_GE(logs["startService"], 1);
    logs.erase("startService");
    EXPECT_EQ(logs, (std::map<std::string, int>{{"0", 1}, {"1", 1}, {"2", 1}, {"3", 1}, {"4", 1}}));
}

TEST_F(PipelineIntegrationTest, AQuitWhileBatchesAreOnTheWireWaitsForTheirAnswersSoNoneIsSentAgain) {
    // Every answer takes a while, so the quit comes while the events' batch
    // is on the wire.
    server.script(
        nlohmann::json::array(),
        {{"status", 200}, {"delay", 1.0}, {"headers", {{"Content-Type", "application/json"}}}, {"body", "{}"}});
    auto quitter = pipelineChild(home, server.origin(), "quit", 3, home / "quit.marker");
    const std::string installId = quitter.waitForMarker();
    ASSERT_EQ(installId.size(), 36u);
    ASSERT_TRUE(eventually([&] { return receivedLogs(server, installId).count("0"); }));
    quitter.terminate();
    ASSERT_TRUE(test::TelemetryChild::exitedWith(quitter.wait(), 0)) << "the answers did not arrive in time";

    server.script(nlohmann::json::array());
    auto sender = pipelineChild(home, server.origin(), "send", 0, home / "send.marker");
    EXPECT_EQ(sender.waitForMarker(), installId);
    ASSERT_TRUE(test::TelemetryChild::exitedWith(sender.wait(), 0)) << "the store did not empty";
    EXPECT_EQ(receivedLogs(server, installId),
              (std::map<std::string, int>{{"0", 1}, {"1", 1}, {"2", 1}, {"startService", 2}}));
}

} // namespace
} // namespace beacon
