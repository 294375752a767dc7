#include "beacon/http/tests/IngestionServer.h"
#include "beacon/http/tests/TelemetryChild.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace beacon {
namespace {

namespace fs = std::filesystem;

// One run of the pipeline child with its own folders.
test::TelemetryChild pipelineChild(const fs::path& home, const std::string& origin, const std::string& mode, int count,
                                   const fs::path& marker) {
    return test::TelemetryChild(home, origin, {ZELVO_PIPELINE_CHILD, mode, std::to_string(count)}, marker);
}

TEST(PipelineIntegrationTest, KilledProcessLosesNothingAndTheNextStartSendsEachLogOnce) {
    std::random_device random;
    const fs::path home = fs::temp_directory_path() / ("zelvo-pipeline-" + std::to_string(random()));
    fs::create_directories(home);
    test::IngestionServer server;
    ASSERT_TRUE(server.running());

    auto holder = pipelineChild(home, server.origin(), "hold", 5, home / "hold.marker");
    const std::string installId = holder.waitForMarker();
    ASSERT_EQ(installId.size(), 36u);
    holder.kill();
    holder.wait();

    auto sender = pipelineChild(home, server.origin(), "send", 0, home / "send.marker");
    EXPECT_EQ(sender.waitForMarker(), installId);
    ASSERT_TRUE(test::TelemetryChild::exitedWith(sender.wait(), 0)) << "the store did not empty";

    std::map<std::string, int> sentEvents;
    int startServiceLogs = 0;
    for (const auto& request : server.requests()) {
        EXPECT_EQ(request.path, "/logs?api-version=1.0.0");
        EXPECT_EQ(request.header("Install-ID"), installId);
        EXPECT_EQ(request.header("App-Secret"), "5f0c1c0e-8d8e-4a9b-9b7a-2a4c6d8e0f11");
        const auto body = nlohmann::json::parse(request.decodedBody);
        for (const auto& log : body["logs"]) {
            if (log["type"] == "event") ++sentEvents[log["properties"]["n"].get<std::string>()];
            if (log["type"] == "startService") {
                ++startServiceLogs;
                EXPECT_EQ(log["services"], nlohmann::json({"Pipeline"}));
            }
        }
    }
    EXPECT_EQ(sentEvents, (std::map<std::string, int>{{"0", 1}, {"1", 1}, {"2", 1}, {"3", 1}, {"4", 1}}));
    // The first run's may have gone out already, or may go again when it was
    // on the wire at the kill; the second run's goes out before the store empties.
    EXPECT_GE(startServiceLogs, 1);
    fs::remove_all(home);
}

} // namespace
} // namespace beacon
