// Log model: request bodies and the archived form kept in the database.

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/model/LogContainer.h"
#include "beacon/model/LogWithProperties.h"

#include <benchmark/benchmark.h>

namespace {

using namespace beacon;

// An event-sized log: every device fact, a session, a user and five properties.
std::shared_ptr<LogWithProperties> eventLog(int n) {
    auto device = std::make_shared<Device>();
    device->sdkName = "beacon.linux";
    device->sdkVersion = "1.0.0";
    device->model = "ThinkPad X1 Carbon Gen 11";
    device->oemName = "LENOVO";
    device->osName = "Linux";
    device->osVersion = "6.1.0-18-amd64";
    device->osBuild = "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)";
    device->locale = "en_US";
    device->timeZoneOffset = 60;
    device->appVersion = "1.0.0";
    device->appBuild = "1.0.0";
    device->appNamespace = "com.zelvo.Zelvo";
    auto log = std::make_shared<LogWithProperties>();
    log->type = "event";
    log->timestamp = std::chrono::system_clock::now();
    log->sid = "0f8fad5b-d9cb-469f-a165-70867728950e";
    log->userId = "c:user" + std::to_string(n);
    log->device = device;
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
    for (int i = 0; i < 50; ++i)
        container.logs.push_back(eventLog(i));
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
