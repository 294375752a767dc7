#include "app/telemetry/BeaconTelemetry.h"

#include "app/telemetry/TelemetryServices.h"
#include "beacon/analytics/Analytics.h"
#include "beacon/core/Beacon.h"
#include "beacon/core/DependencyConfiguration.h"
#include "beacon/crashes/service/Crashes.h"
#include "beacon/util/BeaconUserDefaults.h"

namespace app {

BeaconTelemetry::BeaconTelemetry(platform::Scheduler& scheduler, std::shared_ptr<platform::UserDefaults> defaults)
    : queue_(scheduler.makeSerialQueue(kQueueLabel)) {
    beacon::DependencyConfiguration::setScheduler(&scheduler);
    beacon::BeaconUserDefaults::setStandardStore(std::move(defaults));
    beacon::BeaconUserDefaults::resetSharedInstance();
}

BeaconTelemetry::~BeaconTelemetry() {
    queue_->sync([] {});
    beacon::Beacon::finishSendsInFlight(kQuitWaitForSends);
    if (TelemetrySwitch::shared() == this) TelemetrySwitch::setShared(nullptr);
    beacon::Analytics::resetSharedInstance();
    beacon::Beacon::resetSharedInstance();
    beacon::Crashes::resetSharedInstance();
    beacon::DependencyConfiguration::setScheduler(nullptr);
    beacon::BeaconUserDefaults::resetSharedInstance();
    beacon::BeaconUserDefaults::setStandardStore(nullptr);
}

void BeaconTelemetry::start(const std::string& appSecret, CrashReportDelegate& crashDelegate) {
    crashDelegate_.store(&crashDelegate);
    if (isForcedOff()) return;
    queue_->async([appSecret, &crashDelegate] { beacon::Beacon::start(appSecret, telemetryServices(crashDelegate)); });
}

bool BeaconTelemetry::isEnabled() const {
    if (isForcedOff()) return false;
    return beacon::Beacon::persistedEnabled();
}

void BeaconTelemetry::setEnabled(bool enabled) {
    queue_->async([enabled] {
        if (beacon::Beacon::isConfigured()) beacon::Beacon::setEnabled(enabled);
        else beacon::Beacon::setPersistedEnabled(enabled);
    });
}

bool BeaconTelemetry::isForcedOff() const { return beacon::Beacon::shouldDisable(beacon::Beacon::kDisableAllServices); }

} // namespace app
