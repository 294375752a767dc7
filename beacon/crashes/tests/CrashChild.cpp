// A program that runs the telemetry with crash reporting and one event
// service on the real scheduler, HTTP client and store, for the crash
// end-to-end test.
//
//   beacon_crash_child crash MARKER   store two events ("stored-0/1"), then hold
//                                     the channel queue so that three more
//                                     ("inflight-0..2") stay in flight, write
//                                     MARKER and crash with SIGSEGV
//   beacon_crash_child throw MARKER   write MARKER with the address and size of
//                                     its throw site, then let a std::runtime_error
//                                     escape a worker thread
//   beacon_crash_child send MARKER    write MARKER; exit 0 once crash processing
//                                     is done and the store is empty (1 after 60 s)
//
// Where it sends and stores comes from the environment (ZELVO_LOG_URL,
// ZELVO_EXTRA_CA_FILE, XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME).
#include "beacon/channel/ChannelUnitProtocol.h"
#include "beacon/http/tests/TelemetryChildSupport.h"
#include "beacon/crashes/service/Crashes.h"
#include "beacon/model/LogWithProperties.h"
#include "beacon/util/FileUtility.h"

#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <link.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

void enqueueEvent(beacon::ServiceAbstract& service, const std::string& name) {
    auto log = std::make_shared<beacon::LogWithProperties>();
    log->type = "event";
    log->properties = std::map<std::string, std::string>{{"name", name}};
    service.channelUnit()->enqueueItem(log, beacon::kLogFlagsNormal);
}

template <typename Condition> bool waitFor(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace

// Exported (the child is linked with its symbols in the dynamic table), so
// that its address and size can be looked up.
extern "C" [[gnu::noinline]] void zelvoCrashChildThrowSite() { throw std::runtime_error("disk on fire"); }

int main(int argc, char** argv) {
    if (argc != 3) return 64;
    const std::string mode = argv[1];
    const std::string marker = argv[2];

    auto events = std::make_shared<beacon::test::NamedTestService>("Events", mode == "crash" ? 3600 : 1);
    beacon::Beacon::start("5f0c1c0e-8d8e-4a9b-9b7a-2a4c6d8e0f11", {events, beacon::Crashes::sharedInstance()});
    if (mode == "crash") {
        auto queue = events->channelUnit()->logsDispatchQueue();
        enqueueEvent(*events, "stored-0");
        enqueueEvent(*events, "stored-1");
        queue->sync([] {});
        if (!waitFor([] { return beacon::fileExistsForPathComponent("crasheslogbuffer/59.bcncrasheslogbuffer"); }))
            return 1;
        queue->async([] {
            while (true) ::pause();
        });
        for (int i = 0; i < 3; ++i) enqueueEvent(*events, "inflight-" + std::to_string(i));
        beacon::test::writeMarker(marker, beacon::Beacon::installId());
        *static_cast<volatile int*>(nullptr) = 1;
        return 2;
    }
    if (mode == "throw") {
        Dl_info info{};
        void* entry = nullptr;
        if (!::dladdr1(reinterpret_cast<void*>(&zelvoCrashChildThrowSite), &info, &entry, RTLD_DL_SYMENT) || !entry)
            return 3;
        beacon::test::writeMarker(marker, std::to_string(reinterpret_cast<std::uintptr_t>(&zelvoCrashChildThrowSite)) +
                                              " " + std::to_string(static_cast<const ElfW(Sym)*>(entry)->st_size));
        std::thread(zelvoCrashChildThrowSite).join();
        return 2;
    }
    beacon::test::writeMarker(marker, beacon::Beacon::installId());
    beacon::Crashes::sharedInstance()->unprocessedCrashReports();
    const bool empty = waitFor([] { return beacon::test::storedLogs() == 0; });
    std::fprintf(stderr, "send child: store %s\n", empty ? "empty" : "not empty");
    return empty ? 0 : 1;
}
