#pragma once

#include <cstdint>
#include <vector>

namespace crashcapture {

struct CrashReportMachExceptionInfo {
    std::uint64_t type = 0;
    std::vector<std::uint64_t> codes;
};

} // namespace crashcapture
