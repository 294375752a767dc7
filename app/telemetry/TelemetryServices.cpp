#include "app/telemetry/TelemetryServices.h"

#include "beacon/analytics/Analytics.h"
#include "beacon/crashes/service/Crashes.h"

#include <memory>

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

beacon::Beacon::Services telemetryServices(CrashReportDelegate& crashDelegate) {
    // Crash reporting holds its delegate weakly; this one lives with the process.
    static std::shared_ptr<beacon::CrashesDelegate> crashesDelegate;
    crashesDelegate = std::make_shared<CrashesDelegateAdapter>(crashDelegate);
    beacon::Crashes::setDelegate(crashesDelegate);
    // Crash reporting starts before analytics (by priority). Zelvo tracks no
    // events of its own: analytics sends the start-session log of each session.
    return {beacon::Crashes::sharedInstance(), beacon::Analytics::sharedInstance()};
}

} // namespace app
