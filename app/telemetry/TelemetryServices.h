#pragma once

#include "app/core/Telemetry.h"
#include "beacon/core/Beacon.h"

namespace app {

// The telemetry services Zelvo starts (the start orders them by priority).
// Crash reporting asks `crashDelegate` before it processes a report.
beacon::Beacon::Services telemetryServices(CrashReportDelegate& crashDelegate);

} // namespace app
