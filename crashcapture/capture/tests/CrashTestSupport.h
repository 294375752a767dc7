#pragma once

#include "crashcapture/report/CrashReport.h"

#include <filesystem>
#include <map>
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

// The report bytes after the header decoded by protoc --decode: each field
// path ("threads.frames.pc") with every value found under it, in order.
using ProtocFields = std::map<std::string, std::vector<std::string>>;
ProtocFields decodeWithProtoc(const std::vector<std::uint8_t>& file);

// The report's own view of the same paths, for comparison with protoc's.
ProtocFields fieldsOf(const CrashReport& report);

// The functions of a thread's frames, resolved offline.
std::vector<std::string> functionsOf(const CrashReport& report, const CrashReportThreadInfo& thread);

} // namespace crashcapture::testing
