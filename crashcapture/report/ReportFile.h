#pragma once

#include "crashcapture/report/CrashReporterError.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace crashcapture {

// Reads a whole report file, refusing what cannot be one: anything but a
// regular file (a link to a device or a pipe would never end) and files above
// CrashReport::kMaxFileSize. Failures are OperatingSystem errors whose text
// names the file.
std::optional<std::vector<std::uint8_t>> readReportFile(const std::filesystem::path& path,
                                                        CrashReporterError* error = nullptr);

// Reads at most CrashReport::kMaxFileSize bytes from an open descriptor (a
// pipe, say) up to its end; a longer input is refused.
std::optional<std::vector<std::uint8_t>> readReportStream(int fd, const std::filesystem::path& name,
                                                          CrashReporterError* error = nullptr);

} // namespace crashcapture
