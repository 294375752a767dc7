#include "beacon/http/tests/IngestionServer.h"
#include "beacon/http/tests/TelemetryChild.h"
#include "crashcapture/report/CrashReport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
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

// One run of the crash child with its own folders.
test::TelemetryChild crashChild(const fs::path& home, const std::string& origin, const std::string& mode,
                                const fs::path& marker) {
    return test::TelemetryChild(home, origin, {ZELVO_CRASH_CHILD, mode}, marker);
}

// Logs received so far, by type and (for events) name.
struct Received {
    std::vector<nlohmann::json> errors;
    std::map<std::string, int> events;
};

Received received(const test::IngestionServer& server) {
    Received result;
    for (const auto& request : server.requests()) {
        const auto body = nlohmann::json::parse(request.decodedBody);
        for (const auto& log : body["logs"]) {
            if (log["type"] == "appleError") result.errors.push_back(log);
            if (log["type"] == "event") ++result.events[log["properties"]["name"].get<std::string>()];
        }
    }
    return result;
}

TEST(CrashEndToEndTest, TheNextStartSendsTheCrashAndTheLogsInFlightOnce) {
    std::random_device random;
    const fs::path home = fs::temp_directory_path() / ("zelvo-crash-e2e-" + std::to_string(random()));
    fs::create_directories(home);
    test::IngestionServer server;
    ASSERT_TRUE(server.running());

    auto crashing = crashChild(home, server.origin(), "crash", home / "crash.marker");
    ASSERT_FALSE(crashing.waitForMarker().empty());
    const int status = crashing.wait();
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    EXPECT_TRUE(received(server).errors.empty());

    auto sending = crashChild(home, server.origin(), "send", home / "send.marker");
    ASSERT_FALSE(sending.waitForMarker().empty());
    const int sent = sending.wait();
    ASSERT_TRUE(WIFEXITED(sent) && WEXITSTATUS(sent) == 0) << "status " << sent;

    const auto first = received(server);
    ASSERT_EQ(first.errors.size(), 1u);
    const auto& error = first.errors[0];
    EXPECT_EQ(error["osExceptionType"], "SIGSEGV");
    EXPECT_TRUE(error["fatal"].get<bool>());
    EXPECT_FALSE(error["threads"].empty());
    EXPECT_FALSE(error["threads"][0]["frames"].empty());
    EXPECT_FALSE(error["binaries"].empty());
    EXPECT_EQ(first.events,
              (std::map<std::string, int>{
                  {"inflight-0", 1}, {"inflight-1", 1}, {"inflight-2", 1}, {"stored-0", 1}, {"stored-1", 1}}));

    auto again = crashChild(home, server.origin(), "send", home / "again.marker");
    ASSERT_FALSE(again.waitForMarker().empty());
    const int againStatus = again.wait();
    ASSERT_TRUE(WIFEXITED(againStatus) && WEXITSTATUS(againStatus) == 0);
    const auto second = received(server);
    EXPECT_EQ(second.errors.size(), 1u);
    EXPECT_EQ(second.events, first.events);
    fs::remove_all(home);
}

TEST(CrashEndToEndTest, AnUncaughtExceptionOnAWorkerThreadIsReportedWithItsThrowSite) {
    std::random_device random;
    const fs::path home = fs::temp_directory_path() / ("zelvo-crash-throw-" + std::to_string(random()));
    fs::create_directories(home);
    test::IngestionServer server;
    ASSERT_TRUE(server.running());

    auto throwing = crashChild(home, server.origin(), "throw", home / "throw.marker");
    ASSERT_FALSE(throwing.waitForMarker().empty());
    std::uint64_t throwSite = 0, throwSiteSize = 0;
    std::ifstream(home / "throw.marker") >> throwSite >> throwSiteSize;
    ASSERT_GT(throwSiteSize, 0u);
    const int status = throwing.wait();
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), SIGABRT);

    const fs::path pending = home / "cache/com.zelvo.crashreporter.data/beacon_crash_child/live_report.zvcrash";
    std::ifstream in(pending, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    auto report = crashcapture::CrashReport::initWithData(bytes);
    ASSERT_TRUE(report) << pending;
    ASSERT_TRUE(report->exceptionInfo());
    EXPECT_EQ(report->exceptionInfo()->exceptionName, "std::runtime_error");
    EXPECT_EQ(report->exceptionInfo()->exceptionReason, "disk on fire");
    bool throwSiteSeen = false;
    for (const auto& frame : report->exceptionInfo()->stackFrames)
        throwSiteSeen |= frame.instructionPointer >= throwSite && frame.instructionPointer < throwSite + throwSiteSize;
    EXPECT_TRUE(throwSiteSeen) << report->exceptionInfo()->stackFrames.size() << " frames";
    fs::remove_all(home);
}

} // namespace
} // namespace beacon
