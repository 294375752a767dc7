// trackEvent with 5 string properties on the real pipeline (threaded
// scheduler, channel units, SQLite store): what the caller pays per call, and
// how many events per second end up as stored rows. Sending is held back by
// an HTTP client that never answers, so only the enqueue and store path counts.
#include "beacon/analytics/Analytics.h"
#include "beacon/channel/ChannelUnitProtocol.h"
#include "beacon/context/DeviceTracker.h"
#include "beacon/context/SessionContext.h"
#include "beacon/context/UserIdContext.h"
#include "beacon/core/Beacon.h"
#include "beacon/core/DependencyConfiguration.h"
#include "beacon/http/HttpClientProtocol.h"
#include "beacon/storage/LogDBStorage.h"
#include "beacon/util/tests/TempDir.h"
#include "beacon/util/ApplicationState.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/Encrypter.h"
#include "platform/Scheduler.h"

#include <benchmark/benchmark.h>

namespace {

using namespace beacon;

class SilentHttpClient : public HttpClientProtocol {
public:
    void sendAsync(const std::string&, const std::string&, const HttpHeaders&, const std::string&,
                   HttpCompletionHandler) override {}
    void sendAsync(const std::string&, const std::string&, const HttpHeaders&, const std::string&,
                   const std::vector<double>&, bool, HttpCompletionHandler) override {}
    void pause() override {}
    void resume() override {}
    void setEnabled(bool, bool) override {}
    std::shared_ptr<HttpClientDelegate> delegate() const override { return nullptr; }
    void setDelegate(std::weak_ptr<HttpClientDelegate>) override {}
};

// One started telemetry with analytics, active application, fresh store.
class Pipeline {
public:
    Pipeline() {
        BeaconUserDefaults::setStandardStore(std::make_shared<platform::UserDefaults>());
        BeaconUserDefaults::resetSharedInstance();
        DependencyConfiguration::setStorage(
            std::make_shared<LogDBStorage>(dir_.path / "Logs.sqlite", std::make_shared<Encrypter>()));
        DependencyConfiguration::setHttpClient(std::make_shared<SilentHttpClient>());
        ApplicationStateUtil::observe(&center_);
        reporter_.report(ApplicationState::Active);
        Beacon::start("6f1c5c22-6c0b-4f5a-9a71-3c2e4cbd2f1e", {Analytics::sharedInstance()});
        analytics = Analytics::sharedInstance();
        drain();
    }
    ~Pipeline() {
        drain();
        Analytics::resetSharedInstance();
        Beacon::resetSharedInstance();
        DeviceTracker::resetSharedInstance();
        SessionContext::resetSharedInstance();
        UserIdContext::resetSharedInstance();
        ApplicationStateUtil::observe(nullptr);
        DependencyConfiguration::setHttpClient(nullptr);
        DependencyConfiguration::setStorage(nullptr);
        BeaconUserDefaults::resetSharedInstance();
        BeaconUserDefaults::setStandardStore(nullptr);
    }
    // Returns once everything queued so far is stored.
    void drain() {
        analytics->channelUnit()->logsDispatchQueue()->sync([] {});
    }

    std::shared_ptr<Analytics> analytics;

private:
    TempDir dir_;
    platform::NotificationCenter center_;
    platform::ApplicationStateReporter reporter_{center_};
};

const Properties kProperties{
    {"screen", "settings"}, {"action", "open"}, {"source", "tray"}, {"sort", "recent"}, {"pinned", "false"}};

void BM_TrackEventCallerCost(benchmark::State& state) {
    Pipeline pipeline;
    for (auto _ : state) pipeline.analytics->trackEvent("settings.opened", kProperties);
    pipeline.drain(); // after the timed loop
}
BENCHMARK(BM_TrackEventCallerCost)->Unit(benchmark::kMicrosecond)->Iterations(5000);

void BM_TrackEventToStoredRows(benchmark::State& state) {
    Pipeline pipeline;
    const int perIteration = static_cast<int>(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < perIteration; ++i) pipeline.analytics->trackEvent("settings.opened", kProperties);
        pipeline.drain();
    }
    state.SetItemsProcessed(state.iterations() * perIteration);
}
BENCHMARK(BM_TrackEventToStoredRows)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace
