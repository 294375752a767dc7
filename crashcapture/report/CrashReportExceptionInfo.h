#pragma once

#include "crashcapture/report/CrashReportStackFrameInfo.h"

#include <string>
#include <vector>

namespace crashcapture {

// An uncaught exception handed to the capture before the process ended.
struct CrashReportExceptionInfo {
    std::string exceptionName;
    std::string exceptionReason;
    std::vector<CrashReportStackFrameInfo> stackFrames; // may be empty

    bool operator==(const CrashReportExceptionInfo&) const = default;
};

} // namespace crashcapture
