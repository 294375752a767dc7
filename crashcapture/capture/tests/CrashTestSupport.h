#pragma once

#include "crashcapture/report/CrashReport.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace crashcapture::testing {

// A fresh directory under /tmp, removed with the object.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> readFile(const std::filesystem::path& path);

// The functions of a thread's frames, resolved offline.
std::vector<std::string> functionsOf(const CrashReport& report, const CrashReportThreadInfo& thread);

} // namespace crashcapture::testing
