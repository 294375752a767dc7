// Round trip of one 50-log batch: serialization, gzip, TLS exchange with the
// local ingestion test server on 127.0.0.1, response handling.
#include "beacon/http/CurlTransport.h"
#include "beacon/http/HttpClient.h"
#include "beacon/http/tests/IngestionServer.h"
#include "beacon/http/tests/Pump.h"
#include "beacon/ingestion/BeaconIngestion.h"
#include "beacon/ingestion/tests/TestLogs.h"
#include "platform/headless/ManualScheduler.h"

#include <benchmark/benchmark.h>

namespace {

using beacon::test::IngestionServer;

void BM_BeaconBatchRoundTrip(benchmark::State& state) {
    const int logCount = static_cast<int>(state.range(0));
    platform::ManualScheduler scheduler;
    IngestionServer server;
    auto client = beacon::HttpClient::create(scheduler, [] {
        beacon::CurlTransportOptions options;
        options.extraCAFile = IngestionServer::caFile();
        return std::make_shared<beacon::CurlTransport>(options);
    });
    auto ingestion = std::make_shared<beacon::BeaconIngestion>(client, server.origin(), "bench-install-id");
    ingestion->setAppSecret("a3c2b1d0-1234-4abc-9def-0123456789ab");
    auto container = beacon::test::makeContainer("bench", logCount);

    for (auto _ : state) {
        bool done = false;
        long status = 0;
        ingestion->sendAsync(container, [&](const std::string&, const auto& response, const auto&, const auto&) {
            status = response ? response->statusCode : 0;
            done = true;
        });
        if (!beacon::test::pumpUntil(scheduler, [&] { return done; }) || status != 200) {
            state.SkipWithError("the round trip failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * logCount);
}
BENCHMARK(BM_BeaconBatchRoundTrip)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
