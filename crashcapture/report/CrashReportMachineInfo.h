#pragma once

#include "crashcapture/report/CrashReportProcessorInfo.h"

#include <cstdint>
#include <optional>
#include <string>

namespace crashcapture {

struct CrashReportMachineInfo {
    std::optional<std::string> modelName;
    CrashReportProcessorInfo processorInfo;
    std::uint32_t processorCount = 0;
    std::uint32_t logicalProcessorCount = 0;

    bool operator==(const CrashReportMachineInfo&) const = default;
};

} // namespace crashcapture
