#pragma once

#include <string>

namespace app {

// Asked by crash reporting before it processes a crash report of an earlier
// run.
class CrashReportDelegate {
public:
    virtual ~CrashReportDelegate() = default;
    virtual bool shouldProcessErrorReport() = 0;
};

// Starts the telemetry: analytics and crash reporting, crash reporting first,
// with `crashDelegate` as crash reporting's delegate (kept for the life of the
// process).
class TelemetryStarter {
public:
    virtual ~TelemetryStarter() = default;
    virtual void start(const std::string& appSecret, CrashReportDelegate& crashDelegate) = 0;
};

} // namespace app
