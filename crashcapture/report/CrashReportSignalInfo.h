#pragma once

#include <cstdint>
#include <string>

namespace crashcapture {

// The fatal signal: its name ("SIGSEGV"), the name of its code ("SEGV_MAPERR")
// and the fault address.
struct CrashReportSignalInfo {
    std::string name;
    std::string code;
    std::uint64_t address = 0;

    bool operator==(const CrashReportSignalInfo&) const = default;
};

} // namespace crashcapture
