#include "app/telemetry/BeaconTelemetry.h"

#include "beacon/core/Beacon.h"
#include "beacon/core/DependencyConfiguration.h"
#include "beacon/crashes/service/Crashes.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "platform/UserDefaults.h"

namespace app {

namespace {

// Crash reporting's questions answered by the application delegate.
class CrashesDelegateAdapter : public beacon::CrashesDelegate {
public:
    explicit CrashesDelegateAdapter(CrashReportDelegate& delegate) : delegate_(delegate) {}
    std::optional<bool> shouldProcessErrorReport(beacon::Crashes&, const beacon::ErrorReport&) override {
        return delegate_.shouldProcessErrorReport();
    }

private:
    CrashReportDelegate& delegate_;
};

} // namespace

BeaconTelemetry::BeaconTelemetry(platform::Scheduler& scheduler, platform::UserDefaults& defaults)
    : scheduler_(scheduler), defaults_(defaults) {}

BeaconTelemetry::~BeaconTelemetry() = default;

void BeaconTelemetry::start(const std::string& appSecret, CrashReportDelegate& crashDelegate) {
    beacon::DependencyConfiguration::setScheduler(&scheduler_);
    // The program's preferences outlive the telemetry: shared without owning.
    beacon::BeaconUserDefaults::setStandardStore(std::shared_ptr<platform::UserDefaults>(&defaults_, [](auto*) {}));
    beacon::Beacon::start(appSecret, {beacon::Crashes::sharedInstance()});
    crashesDelegate_ = std::make_shared<CrashesDelegateAdapter>(crashDelegate);
    beacon::Crashes::setDelegate(crashesDelegate_);
}

} // namespace app
