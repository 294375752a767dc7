#pragma once

#include "beacon/crashes/model/ErrorAttachmentLog.h"
#include "beacon/crashes/model/ErrorReport.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

// Lets a wrapper SDK take part in setting up the crash handlers. Every
// operation is optional; shouldEnableUncaughtExceptionHandler's default
// (nothing) counts as yes.
class CrashHandlerSetupDelegate {
public:
    virtual ~CrashHandlerSetupDelegate() = default;
    virtual std::optional<bool> shouldEnableUncaughtExceptionHandler() { return std::nullopt; }
    virtual void willSetUpCrashHandlers() {}
    virtual void didSetUpCrashHandlers() {}
};

// The entry points of a wrapper SDK (another language runtime) into crash
// reporting. Class operations acting on the shared crash reporting service.
class WrapperCrashesHelper {
public:
    // Held weakly.
    static void setCrashHandlerSetupDelegate(std::weak_ptr<CrashHandlerSetupDelegate> delegate);
    static std::shared_ptr<CrashHandlerSetupDelegate> crashHandlerSetupDelegate();
    static std::shared_ptr<CrashHandlerSetupDelegate> getCrashHandlerSetupDelegate() {
        return crashHandlerSetupDelegate();
    }

    static void setAutomaticProcessing(bool automaticProcessing);
    static bool automaticProcessing();
    // Blocks until start-up processing is done (see Crashes).
    static std::vector<std::shared_ptr<ErrorReport>> unprocessedCrashReports();
    static bool sendCrashReportsOrAwaitUserConfirmationForFilteredIds(const std::vector<std::string>& incidentIds);
    static void sendErrorAttachments(const std::vector<std::shared_ptr<ErrorAttachmentLog>>& attachments,
                                     const std::string& incidentIdentifier);
    static std::shared_ptr<ErrorReport> buildHandledErrorReportWithErrorID(const std::string& errorId);
};

} // namespace beacon
