#include "crashcapture/capture/CaptureEngine.h"

#include <cerrno>

namespace crashcapture::capture {

bool arm(const CrashReporter&, CrashReporterError* error) {
    if (error) *error = {CrashReporterError::kDomain, CrashReporterError::OperatingSystem, "Failed to register signal handler"};
    return false;
}
void setArmedCustomData(const std::vector<std::uint8_t>&) {}
int writeLiveReport(int, const CrashReporter&, pid_t, const platform::UncaughtException*) { return ENOSYS; }

} // namespace crashcapture::capture
