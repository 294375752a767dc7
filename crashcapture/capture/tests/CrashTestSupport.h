#pragma once

#include "platform/linux/testing/RunProgram.h"
#include "crashcapture/report/CrashReport.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace crashcapture::testing {

std::vector<std::uint8_t> readFile(const std::filesystem::path& path);

// The functions of a thread's frames, resolved offline.
std::vector<std::string> functionsOf(const CrashReport& report, const CrashReportThreadInfo& thread);

// True when one of `functions` contains `name`.
bool mentions(const std::vector<std::string>& functions, const std::string& name);

// The one thread marked crashed (a second one fails the test), or null.
const CrashReportThreadInfo* crashedThread(const CrashReport& report);

} // namespace crashcapture::testing
