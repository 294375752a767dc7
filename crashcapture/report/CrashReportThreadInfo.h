#pragma once

#include "crashcapture/report/CrashReportRegisterInfo.h"
#include "crashcapture/report/CrashReportStackFrameInfo.h"

#include <cstdint>
#include <vector>

namespace crashcapture {

struct CrashReportThreadInfo {
    std::uint32_t threadNumber = 0;
    std::vector<CrashReportStackFrameInfo> stackFrames;
    bool crashed = false;
    // Only the crashed thread carries its registers.
    std::vector<CrashReportRegisterInfo> registers;

    bool operator==(const CrashReportThreadInfo&) const = default;
};

} // namespace crashcapture
