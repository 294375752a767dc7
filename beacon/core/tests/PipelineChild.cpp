// A program that runs the telemetry with one service on the real scheduler,
// HTTP client and store, for the pipeline integration test.
//
//   beacon_pipeline_child hold COUNT MARKER   enqueue COUNT logs, wait until they
//                                             are stored, write MARKER, then wait
//                                             to be killed (nothing is flushed: the
//                                             service's interval is an hour)
//   beacon_pipeline_child send 0 MARKER       write MARKER, then exit 0 once the
//                                             store is empty (1 after 60 s)
//   beacon_pipeline_child quit COUNT MARKER   enqueue COUNT logs flushed within a
//                                             second, write MARKER, and at SIGTERM
//                                             quit as the program does: exit 0 once
//                                             the batches on the wire are answered
//                                             (2 when the wait ran out)
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
#include <csignal>
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

    // Every thread the telemetry starts inherits the blocked SIGTERM, which
    // only the main thread then takes.
    sigset_t terminate;
    sigemptyset(&terminate);
    sigaddset(&terminate, SIGTERM);
    if (mode == "quit") pthread_sigmask(SIG_BLOCK, &terminate, nullptr);
    if (std::getenv("ZELVO_PIPELINE_VERBOSE")) beacon::Beacon::setLogLevel(beacon::LogLevel::Verbose);
    const std::uint32_t interval = mode == "hold" ? 3600 : mode == "quit" ? 1 : 6;
    auto service = std::make_shared<beacon::test::NamedTestService>("Pipeline", interval);
    beacon::Beacon::start("5f0c1c0e-8d8e-4a9b-9b7a-2a4c6d8e0f11", {service});
    if (mode == "hold" || mode == "quit") {
        for (int i = 0; i < count; ++i) {
            auto log = std::make_shared<beacon::LogWithProperties>();
            log->type = "event";
            log->properties = std::map<std::string, std::string>{{"n", std::to_string(i)}};
            service->channelUnit()->enqueueItem(log, beacon::kLogFlagsNormal);
        }
        service->channelUnit()->logsDispatchQueue()->sync([] {});
        beacon::test::writeMarker(marker, beacon::Beacon::installId());
        if (mode == "hold")
            while (true) ::pause();
        int signal = 0;
        sigwait(&terminate, &signal);
        const bool answered = beacon::Beacon::finishSendsInFlight(std::chrono::milliseconds(2000));
        beacon::Beacon::resetSharedInstance();
        return answered ? 0 : 2;
    }
    beacon::test::writeMarker(marker, beacon::Beacon::installId());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (beacon::test::storedLogs() == 0) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 1;
}
