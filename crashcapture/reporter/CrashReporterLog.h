#pragma once

#include <string_view>

namespace crashcapture {

// Diagnostic lines of the crash capture engine (never from the crash path).
// By default warnings and errors go to the platform log and debug lines are
// dropped; the crash reporting service routes them into its own logger.
enum class CrashReporterLogLevel { Debug, Warning, Error };
using CrashReporterLogSink = void (*)(CrashReporterLogLevel level, std::string_view message);

void setCrashReporterLogSink(CrashReporterLogSink sink);
void crashReporterLog(CrashReporterLogLevel level, std::string_view message);

} // namespace crashcapture
