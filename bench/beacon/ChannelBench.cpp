// The way of a log from enqueueItem to a committed row, through a real
// channel unit on the real threaded scheduler and the real store, in a
// folder of the current working directory's disk (run it from the build
// directory, or set ZELVO_BENCH_DIR): logs persisted per second, and what
// enqueueItem costs the caller's thread.
#include "beacon/channel/ChannelGroupDefault.h"
#include "beacon/channel/ChannelUnitProtocol.h"
#include "beacon/ingestion/IngestionProtocol.h"
#include "beacon/logger/Logger.h"
#include "beacon/storage/LogDBStorage.h"
#include "beacon/testing/SampleLogs.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "platform/dispatch/ThreadScheduler.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace {

using namespace beacon;

// Never sends: the logs stay in the store.
class OfflineIngestion : public IngestionProtocol {
public:
    void setEnabled(bool, bool) override {}
    void sendAsync(std::shared_ptr<LogContainer>, IngestionCompletionHandler) override {}
    void sendAsync(std::shared_ptr<LogContainer>, const std::optional<std::string>&,
                   IngestionCompletionHandler) override {}
    bool isReadyToSend() const override { return true; }
    bool isEnabled() const override { return false; }
};

class Pipeline {
public:
    Pipeline() {
        static bool prepared = [] {
            Logger::setLogHandler({});
            BeaconUserDefaults::setStandardStore(std::make_shared<platform::UserDefaults>());
            return true;
        }();
        (void)prepared;
        const char* base = std::getenv("ZELVO_BENCH_DIR");
        std::random_device random;
        dir_ = std::filesystem::path(base ? base : std::filesystem::current_path().string()) /
               ("zelvo-channel-bench-" + std::to_string(random()));
        std::filesystem::create_directories(dir_);
        storage_ = std::make_shared<LogDBStorage>(dir_ / "Logs.sqlite", nullptr);
        storage_->setMaxStorageSize(std::int64_t{1} << 30, {});
        group_ = ChannelGroupDefault::create(scheduler_, std::make_shared<OfflineIngestion>(), storage_);
        // An hour's interval: only storing is measured, no flush work.
        unit_ =
            group_->addChannelUnitWithConfiguration(ChannelUnitConfiguration::defaultConfiguration("Analytics", 3600));
        drain();
    }
    ~Pipeline() {
        drain();
        unit_.reset();
        group_.reset();
        storage_.reset();
        std::filesystem::remove_all(dir_);
    }
    ChannelUnitProtocol& unit() { return *unit_; }
    void drain() {
        group_->logsDispatchQueue()->sync([] {});
    }
    std::uint64_t stored() {
        std::uint64_t count = 0;
        group_->logsDispatchQueue()->sync([&] { count = storage_->countLogs(); });
        return count;
    }

private:
    platform::ThreadScheduler scheduler_;
    std::filesystem::path dir_;
    std::shared_ptr<LogDBStorage> storage_;
    std::shared_ptr<ChannelGroupDefault> group_;
    std::shared_ptr<ChannelUnitProtocol> unit_;
};

// From enqueueItem to the committed row: the clock stops once the queue has
// stored every log enqueued.
void BM_EnqueueToCommittedRow(benchmark::State& state) {
    Pipeline pipeline;
    const auto log = test::makeLog(1);
    std::int64_t enqueued = 0;
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i)
            pipeline.unit().enqueueItem(std::make_shared<LogWithProperties>(*log), kLogFlagsNormal);
        pipeline.drain();
        enqueued += 100;
    }
    if (pipeline.stored() != static_cast<std::uint64_t>(enqueued)) state.SkipWithError("not every log was stored");
    state.SetItemsProcessed(enqueued);
}
BENCHMARK(BM_EnqueueToCommittedRow)->Unit(benchmark::kMillisecond)->UseRealTime();

// The caller's part of enqueueItem alone (stamping, validation, delegates,
// handing over to the queue); the queue stores in the background.
void BM_EnqueueCallerSide(benchmark::State& state) {
    Pipeline pipeline;
    const auto log = test::makeLog(1);
    for (auto _ : state) {
        auto copy = std::make_shared<LogWithProperties>(*log);
        const auto start = std::chrono::steady_clock::now();
        pipeline.unit().enqueueItem(copy, kLogFlagsNormal);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EnqueueCallerSide)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(5000);

} // namespace
