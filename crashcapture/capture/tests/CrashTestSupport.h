#pragma once

#include "TemporaryDirectory.h"
#include "crashcapture/report/CrashReport.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace crashcapture::testing {

std::vector<std::uint8_t> readFile(const std::filesystem::path& path);

// The functions of a thread's frames, resolved offline.
std::vector<std::string> functionsOf(const CrashReport& report, const CrashReportThreadInfo& thread);

} // namespace crashcapture::testing
