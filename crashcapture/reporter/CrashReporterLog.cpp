#include "crashcapture/reporter/CrashReporterLog.h"

#include "platform/Log.h"

#include <atomic>

namespace crashcapture {

namespace {

void defaultSink(CrashReporterLogLevel level, std::string_view message) {
    switch (level) {
    case CrashReporterLogLevel::Debug: break;
    case CrashReporterLogLevel::Warning: platform::logWarning(message); break;
    case CrashReporterLogLevel::Error: platform::logError(message); break;
    }
}

std::atomic<CrashReporterLogSink> currentSink{&defaultSink};

} // namespace

void setCrashReporterLogSink(CrashReporterLogSink sink) { currentSink.store(sink ? sink : &defaultSink); }

void crashReporterLog(CrashReporterLogLevel level, std::string_view message) { currentSink.load()(level, message); }

} // namespace crashcapture
