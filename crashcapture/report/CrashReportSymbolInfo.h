#pragma once

#include <cstdint>
#include <string>

namespace crashcapture {

struct CrashReportSymbolInfo {
    std::string symbolName;
    std::uint64_t startAddress = 0;
    std::uint64_t endAddress = 0; // 0 when the report gives none

    bool operator==(const CrashReportSymbolInfo&) const = default;
};

} // namespace crashcapture
