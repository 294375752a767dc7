#pragma once

#include "beacon/crashes/model/ErrorAttachmentLog.h"
#include "beacon/crashes/model/ErrorReport.h"
#include "beacon/http/Error.h"

#include <memory>
#include <optional>
#include <vector>

namespace beacon {

class Crashes;

// What the application may say about crash reports. Every operation is
// optional: the defaults answer "not implemented" (nothing), which the
// service treats as the default of each operation: process every report,
// attach nothing, notify nobody. The send notifications come on the main
// thread.
class CrashesDelegate {
public:
    virtual ~CrashesDelegate() = default;

    virtual std::optional<bool> shouldProcessErrorReport(Crashes& crashes, const ErrorReport& report) {
        return std::nullopt;
    }
    virtual std::optional<std::vector<std::shared_ptr<ErrorAttachmentLog>>>
    attachmentsWithCrashes(Crashes& crashes, const ErrorReport& report) {
        return std::nullopt;
    }
    virtual void willSendErrorReport(Crashes& crashes, const ErrorReport& report) {}
    virtual void didSucceedSendingErrorReport(Crashes& crashes, const ErrorReport& report) {}
    virtual void didFailSendingErrorReport(Crashes& crashes, const ErrorReport& report,
                                           const std::optional<Error>& error) {}
};

} // namespace beacon
