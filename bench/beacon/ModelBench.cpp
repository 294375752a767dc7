// Log model: request bodies and the archived form kept in the database.

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/model/LogContainer.h"
#include "beacon/model/LogWithProperties.h"
#include "beacon/testing/SampleDevices.h"

#include <benchmark/benchmark.h>

namespace {

using namespace beacon;

// An event-sized log: every device fact, a session, a user and five properties.
std::shared_ptr<LogWithProperties> eventLog(int n) {
    auto log = std::make_shared<LogWithProperties>();
    log->type = "event";
    log->timestamp = std::chrono::system_clock::now();
    log->sid = "0f8fad5b-d9cb-469f-a165-70867728950e";
    log->userId = "c:user" + std::to_string(n);
    log->device = std::make_shared<Device>(test::fullDevice());
    log->properties = std::map<std::string, std::string>{{"screen", "settings/general"},
                                                         {"action", "toggle"},
                                                         {"value", "on"},
                                                         {"source", "menu"},
                                                         {"index", std::to_string(n)}};
    return log;
}

void BM_SerializeContainerOf50Logs(benchmark::State& state) {
    LogContainer container;
    container.batchId = "batch";
    for (int i = 0; i < 50; ++i) container.logs.push_back(eventLog(i));
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto body = container.serializeLog(false);
        bytes = body->size();
        benchmark::DoNotOptimize(body);
    }
    state.counters["bodyBytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_SerializeContainerOf50Logs);

void BM_ArchiveEventLog(benchmark::State& state) {
    auto log = eventLog(1);
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto data = ArchiverUtil::archiveKeyedData(*log);
        bytes = data->size();
        benchmark::DoNotOptimize(data);
    }
    state.counters["archiveBytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ArchiveEventLog);

void BM_UnarchiveEventLog(benchmark::State& state) {
    ArchiverUtil::addAllowedBeaconModuleClasses();
    auto data = *ArchiverUtil::archiveKeyedData(*eventLog(1));
    for (auto _ : state) {
        auto log = ArchiverUtil::unarchive<AbstractLog>(data);
        benchmark::DoNotOptimize(log);
    }
}
BENCHMARK(BM_UnarchiveEventLog);

} // namespace
