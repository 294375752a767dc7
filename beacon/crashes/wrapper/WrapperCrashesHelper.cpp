#include "beacon/crashes/wrapper/WrapperCrashesHelper.h"

#include "beacon/crashes/service/Crashes.h"

#include <mutex>

namespace beacon {

namespace {
std::mutex gMutex;
std::weak_ptr<CrashHandlerSetupDelegate> gSetupDelegate;
} // namespace

void WrapperCrashesHelper::setCrashHandlerSetupDelegate(std::weak_ptr<CrashHandlerSetupDelegate> delegate) {
    std::lock_guard lock(gMutex);
    gSetupDelegate = std::move(delegate);
}

std::shared_ptr<CrashHandlerSetupDelegate> WrapperCrashesHelper::crashHandlerSetupDelegate() {
    std::lock_guard lock(gMutex);
    return gSetupDelegate.lock();
}

void WrapperCrashesHelper::setAutomaticProcessing(bool automaticProcessing) {
    Crashes::sharedInstance()->setAutomaticProcessingEnabled(automaticProcessing);
}

bool WrapperCrashesHelper::automaticProcessing() { return Crashes::sharedInstance()->isAutomaticProcessingEnabled(); }

std::vector<std::shared_ptr<ErrorReport>> WrapperCrashesHelper::unprocessedCrashReports() {
    return Crashes::sharedInstance()->unprocessedCrashReports();
}

bool WrapperCrashesHelper::sendCrashReportsOrAwaitUserConfirmationForFilteredIds(
    const std::vector<std::string>& incidentIds) {
    return Crashes::sharedInstance()->sendCrashReportsOrAwaitUserConfirmationForFilteredIds(incidentIds);
}

void WrapperCrashesHelper::sendErrorAttachments(const std::vector<std::shared_ptr<ErrorAttachmentLog>>& attachments,
                                                const std::string& incidentIdentifier) {
    Crashes::sharedInstance()->sendErrorAttachments(attachments, incidentIdentifier);
}

std::shared_ptr<ErrorReport> WrapperCrashesHelper::buildHandledErrorReportWithErrorID(const std::string& errorId) {
    return Crashes::sharedInstance()->buildHandledErrorReportWithErrorID(errorId);
}

} // namespace beacon
