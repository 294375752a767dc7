#include "app/telemetry/TelemetryServices.h"

#include "beacon/analytics/Analytics.h"

namespace app {

beacon::Beacon::Services telemetryServices(CrashReportDelegate& crashDelegate) {
    // Crash reporting joins this list as it becomes available. Zelvo tracks no
    // events of its own: analytics sends the start-session log of each session.
    (void)crashDelegate;
    return {beacon::Analytics::sharedInstance()};
}

} // namespace app
