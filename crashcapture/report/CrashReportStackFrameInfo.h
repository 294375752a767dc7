#pragma once

#include "crashcapture/report/CrashReportSymbolInfo.h"

#include <cstdint>
#include <optional>

namespace crashcapture {

struct CrashReportStackFrameInfo {
    std::uint64_t instructionPointer = 0;
    std::optional<CrashReportSymbolInfo> symbolInfo;

    bool operator==(const CrashReportStackFrameInfo&) const = default;
};

} // namespace crashcapture
