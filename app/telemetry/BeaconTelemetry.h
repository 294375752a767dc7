#pragma once

#include "app/core/Telemetry.h"

#include <memory>

namespace platform {
class Scheduler;
class UserDefaults;
} // namespace platform

namespace beacon {
class CrashesDelegate;
}

namespace app {

// Starts Zelvo's telemetry: the telemetry core on the program's scheduler
// and preferences, with crash reporting (which starts before analytics) and
// the delegate's answers to crash reporting.
class BeaconTelemetry : public TelemetryStarter {
public:
    BeaconTelemetry(platform::Scheduler& scheduler, platform::UserDefaults& defaults);
    ~BeaconTelemetry() override;

    void start(const std::string& appSecret, CrashReportDelegate& crashDelegate) override;

private:
    platform::Scheduler& scheduler_;
    platform::UserDefaults& defaults_;
    std::shared_ptr<beacon::CrashesDelegate> crashesDelegate_;
};

} // namespace app
