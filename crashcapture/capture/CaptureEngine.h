#pragma once

#include "crashcapture/report/CrashReporterError.h"
#include "platform/UncaughtExceptionHandler.h"

#include <cstdint>
#include <sys/types.h>
#include <vector>

namespace crashcapture {
class CrashReporter;
}

namespace crashcapture::capture {

// The engine behind CrashReporter: arming the process for crashes and writing
// live reports. Process-wide; arming happens at most once.

// Copies everything the crash path needs from the reporter into process-wide
// state and installs the handlers. Called under the reporter's arming mutex.
bool arm(const CrashReporter& reporter, CrashReporterError* error);

// Replaces the custom data a crash writes.
void setArmedCustomData(const std::vector<std::uint8_t>& data);

// Writes a report of the running process to fd: `thread` (0 = the calling
// thread) is the crashed one; `exception` may be null. Returns 0 or an errno.
int writeLiveReport(int fd, const CrashReporter& reporter, pid_t thread, const platform::UncaughtException* exception);

} // namespace crashcapture::capture
