#include "app/core/Telemetry.h"

#include <atomic>

namespace app {

namespace {
std::atomic<TelemetrySwitch*> sharedSwitch{nullptr};
}

TelemetrySwitch* TelemetrySwitch::shared() { return sharedSwitch.load(); }

void TelemetrySwitch::setShared(TelemetrySwitch* telemetrySwitch) { sharedSwitch.store(telemetrySwitch); }

} // namespace app
