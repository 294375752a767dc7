#include "app/telemetry/TelemetryServices.h"

namespace app {

beacon::Beacon::Services telemetryServices(CrashReportDelegate& crashDelegate) {
    // Analytics and crash reporting join this list as they become available.
    (void)crashDelegate;
    return {};
}

} // namespace app
