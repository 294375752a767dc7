// Round trip of one 50-log batch: serialization, gzip, TLS exchange with the
// local ingestion test server on 127.0.0.1, response handling.
#include "beacon/http/HttpClient.h"
#include "beacon/http/tests/IngestionServer.h"
#include "beacon/ingestion/BeaconIngestion.h"
#include "beacon/testing/SampleLogs.h"
#include "platform/dispatch/ThreadScheduler.h"
#include "platform/http/CurlTransport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <future>

namespace {

using beacon::test::IngestionServer;

void BM_BeaconBatchRoundTrip(benchmark::State& state) {
    const int logCount = static_cast<int>(state.range(0));
    platform::ThreadScheduler scheduler;
    IngestionServer server;
    auto client = beacon::HttpClient::create(scheduler, [] {
        platform::http::CurlTransportOptions options;
        options.extraCAFile = IngestionServer::caFile();
        return std::make_shared<platform::http::CurlTransport>(options);
    });
    auto ingestion = std::make_shared<beacon::BeaconIngestion>(client, server.origin(), "bench-install-id");
    ingestion->setAppSecret("a3c2b1d0-1234-4abc-9def-0123456789ab");
    auto container = beacon::test::makeContainer("bench", logCount);

    for (auto _ : state) {
        std::promise<long> done;
        ingestion->sendAsync(container, [&](const std::string&, const auto& response, const auto&, const auto&) {
            done.set_value(response ? response->statusCode : 0);
        });
        auto status = done.get_future();
        if (status.wait_for(std::chrono::seconds(10)) != std::future_status::ready || status.get() != 200) {
            state.SkipWithError("the round trip failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * logCount);
}
BENCHMARK(BM_BeaconBatchRoundTrip)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
