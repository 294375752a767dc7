#pragma once

#include "app/core/Telemetry.h"
#include "platform/Scheduler.h"
#include "platform/UserDefaults.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace app {

// Zelvo's telemetry on the Beacon library: starts it in the background with
// the program's services and carries the user's choice to share data.
//
// Nothing here runs telemetry work on the calling thread: the start and every
// change of the switch run, in order, on one serial queue of their own, so a
// change made while the telemetry is still starting applies after the start.
// With BEACON_DISABLE naming "All" the telemetry is not started at all.
class BeaconTelemetry : public TelemetryStarter, public TelemetrySwitch {
public:
    static constexpr const char* kQueueLabel = "com.zelvo.telemetry.start";
    // How long the quit waits for batches on the wire to be answered.
    static constexpr std::chrono::milliseconds kQuitWaitForSends{2000};

    // The telemetry uses `scheduler` for its queues and keeps its settings
    // in the program's preference store.
    BeaconTelemetry(platform::Scheduler& scheduler, std::shared_ptr<platform::UserDefaults> defaults);
    // Waits for the start and, briefly, for the answers to batches on the
    // wire (so a batch the server took is not sent again at the next start),
    // then lets go of the telemetry while the scheduler and the store it uses
    // still exist.
    ~BeaconTelemetry() override;

    void start(const std::string& appSecret, CrashReportDelegate& crashDelegate) override;

    bool isEnabled() const override;
    // Through the running telemetry (which deletes pending logs when
    // disabled); before it runs, the choice is stored for its start.
    void setEnabled(bool enabled) override;
    bool isForcedOff() const override;

    // The delegate crash reporting asks before processing a report of an
    // earlier run; null before start.
    CrashReportDelegate* crashDelegate() const { return crashDelegate_.load(); }
    platform::Queue& queue() { return *queue_; }

private:
    std::shared_ptr<platform::Queue> queue_;
    std::atomic<CrashReportDelegate*> crashDelegate_{nullptr};
};

} // namespace app
