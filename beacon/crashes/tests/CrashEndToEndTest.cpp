#include "beacon/http/tests/IngestionServer.h"
#include "beacon/http/tests/TelemetryChild.h"
#include "beacon/util/tests/TempDir.h"
#include "crashcapture/report/CrashReport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sys/wait.h>

namespace beacon {
namespace {

namespace fs = std::filesystem;

// One run of the crash child with its own folders, to its end: the raw wait
// status, after the marker named after the mode (read with `marker`).
int runCrashChild(const fs::path& home, const std::string& origin, const std::string& mode,
                  const std::function<void(const fs::path&)>& marker = {}) {
    const test::TelemetryChild child(home, origin, {ZELVO_CRASH_CHILD, mode}, home / (mode + ".marker"));
    EXPECT_FALSE(child.waitForMarker().empty()) << mode;
    if (marker) marker(home / (mode + ".marker"));
    return child.wait();
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
    TempDir home;
    test::IngestionServer server;
    ASSERT_TRUE(server.running());

    const int status = runCrashChild(home.path, server.origin(), "crash");
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    EXPECT_TRUE(received(server).errors.empty());

    const int sent = runCrashChild(home.path, server.origin(), "send");
    ASSERT_TRUE(test::TelemetryChild::exitedWith(sent, 0)) << "status " << sent;

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

    fs::remove(home.path / "send.marker");
    ASSERT_TRUE(test::TelemetryChild::exitedWith(runCrashChild(home.path, server.origin(), "send"), 0));
    const auto second = received(server);
    EXPECT_EQ(second.errors.size(), 1u);
    EXPECT_EQ(second.events, first.events);
}

TEST(CrashEndToEndTest, AnUncaughtExceptionOnAWorkerThreadIsReportedWithItsThrowSite) {
    TempDir home;
    test::IngestionServer server;
    ASSERT_TRUE(server.running());

    std::uint64_t throwSite = 0, throwSiteSize = 0;
    const int status = runCrashChild(home.path, server.origin(), "throw", [&](const fs::path& marker) {
        std::ifstream(marker) >> throwSite >> throwSiteSize;
    });
    ASSERT_GT(throwSiteSize, 0u);
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), SIGABRT);

    const fs::path pending = home.path / "cache/com.zelvo.crashreporter.data/beacon_crash_child/live_report.zvcrash";
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
}

} // namespace
} // namespace beacon
