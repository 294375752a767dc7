#include "beacon/http/tests/IngestionServer.h"

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

// One run of the pipeline child with its own data and config folders.
class Child {
public:
    Child(const fs::path& home, const std::string& origin, const std::string& mode, int count, fs::path marker)
        : marker_(std::move(marker)) {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
            ::setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
            ::setenv("ZELVO_LOG_URL", origin.c_str(), 1);
            ::setenv("ZELVO_EXTRA_CA_FILE", test::IngestionServer::caFile().c_str(), 1);
            ::unsetenv("BEACON_DISABLE");
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
            const std::string countText = std::to_string(count);
            ::execl(ZELVO_PIPELINE_CHILD, ZELVO_PIPELINE_CHILD, mode.c_str(), countText.c_str(), marker_.c_str(),
                    nullptr);
            ::_exit(127);
        }
    }
    // The install id, once the child wrote its marker.
    std::string waitForMarker() {
        for (int i = 0; i < 600; ++i) {
            std::ifstream in(marker_);
            std::string id;
            if (in >> id)
                return id;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return {};
    }
    void kill() { ::kill(pid_, SIGKILL); }
    // The exit status, or -1 when it was killed or did not end within the bound.
    int wait(std::chrono::seconds bound = std::chrono::seconds(90)) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_)
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        return -1;
    }

private:
    fs::path marker_;
    pid_t pid_ = -1;
};

TEST(PipelineIntegrationTest, KilledProcessLosesNothingAndTheNextStartSendsEachLogOnce) {
    std::random_device random;
    const fs::path home = fs::temp_directory_path() / ("zelvo-pipeline-" + std::to_string(random()));
    fs::create_directories(home);
    test::IngestionServer server;
    ASSERT_TRUE(server.running());

    Child holder(home, server.origin(), "hold", 5, home / "hold.marker");
    const std::string installId = holder.waitForMarker();
    ASSERT_EQ(installId.size(), 36u);
    holder.kill();
    holder.wait();

    Child sender(home, server.origin(), "send", 0, home / "send.marker");
    EXPECT_EQ(sender.waitForMarker(), installId);
    ASSERT_EQ(sender.wait(), 0) << "the store did not empty";

    std::map<std::string, int> sentEvents;
    int startServiceLogs = 0;
    for (const auto& request : server.requests()) {
        EXPECT_EQ(request.path, "/logs?api-version=1.0.0");
        EXPECT_EQ(request.header("Install-ID"), installId);
        EXPECT_EQ(request.header("App-Secret"), "5f0c1c0e-8d8e-4a9b-9b7a-2a4c6d8e0f11");
        const auto body = nlohmann::json::parse(request.decodedBody);
        for (const auto& log : body["logs"]) {
            if (log["type"] == "event")
                ++sentEvents[log["properties"]["n"].get<std::string>()];
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
