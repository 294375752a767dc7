// A program that runs the telemetry with one service on the real scheduler,
// HTTP client and store, for the pipeline integration test.
//
//   beacon_pipeline_child hold COUNT MARKER   enqueue COUNT logs, wait until they
//                                             are stored, write MARKER, then wait
//                                             to be killed (nothing is flushed: the
//                                             service's interval is an hour)
//   beacon_pipeline_child send 0 MARKER       write MARKER, then exit 0 once the
//                                             store is empty (1 after 60 s)
//
// MARKER receives the install id. Where it sends and stores comes from the
// environment (ZELVO_LOG_URL, ZELVO_EXTRA_CA_FILE, XDG_DATA_HOME, XDG_CONFIG_HOME);
// ZELVO_PIPELINE_VERBOSE=1 prints the telemetry's verbose diagnostics.
#include "beacon/channel/ChannelGroupDefault.h"
#include "beacon/channel/ChannelUnitProtocol.h"
#include "beacon/core/Beacon.h"
#include "beacon/core/ServiceAbstract.h"
#include "beacon/http/tests/TelemetryChildSupport.h"
#include "beacon/model/LogWithProperties.h"
#include "beacon/storage/Storage.h"
#include "platform/Scheduler.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 4) return 64;
    const std::string mode = argv[1];
    const int count = std::atoi(argv[2]);
    const std::string marker = argv[3];

    if (std::getenv("ZELVO_PIPELINE_VERBOSE")) beacon::Beacon::setLogLevel(beacon::LogLevel::Verbose);
    auto service = std::make_shared<beacon::test::NamedTestService>("Pipeline", mode == "hold" ? 3600 : 6);
    beacon::Beacon::start("5f0c1c0e-8d8e-4a9b-9b7a-2a4c6d8e0f11", {service});
    if (mode == "hold") {
        for (int i = 0; i < count; ++i) {
            auto log = std::make_shared<beacon::LogWithProperties>();
            log->type = "event";
            log->properties = std::map<std::string, std::string>{{"n", std::to_string(i)}};
            service->channelUnit()->enqueueItem(log, beacon::kLogFlagsNormal);
        }
        service->channelUnit()->logsDispatchQueue()->sync([] {});
        beacon::test::writeMarker(marker, beacon::Beacon::installId());
        while (true) ::pause();
    }
    beacon::test::writeMarker(marker, beacon::Beacon::installId());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (beacon::test::storedLogs() == 0) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 1;
}
