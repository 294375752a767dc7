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

// The user's choice whether Zelvo shares anonymous usage data and crash
// reports. Reading never waits for the telemetry; a change is applied in the
// background.
class TelemetrySwitch {
public:
    virtual ~TelemetrySwitch() = default;
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    // True when the environment turned every telemetry service off; the
    // switch then cannot turn it on.
    virtual bool isForcedOff() const = 0;

    // The program's switch (none until the program installs one).
    static TelemetrySwitch* shared();
    static void setShared(TelemetrySwitch* telemetrySwitch);
};

} // namespace app
