#pragma once

#include <cstdint>

namespace crashcapture {

// How `type` and `subtype` are to be read.
enum class CrashReportProcessorTypeEncoding : int {
    Unknown = 0,
    Mach = 1, // Mach-O CPU type and subtype numbers
};

// A processor as Mach-O CPU type and subtype (0x1000007/3 is x86-64).
struct CrashReportProcessorInfo {
    CrashReportProcessorTypeEncoding typeEncoding = CrashReportProcessorTypeEncoding::Unknown;
    std::uint64_t type = 0;
    std::uint64_t subtype = 0;

    bool operator==(const CrashReportProcessorInfo&) const = default;
};

} // namespace crashcapture
