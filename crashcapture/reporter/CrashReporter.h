#pragma once

#include "crashcapture/report/CrashReporterError.h"
#include "crashcapture/reporter/CrashReporterCallbacks.h"
#include "crashcapture/reporter/CrashReporterConfig.h"
#include "crashcapture/reporter/CrashReporterException.h"
#include "platform/UncaughtExceptionHandler.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace crashcapture {

// The crash capture engine as its users see it: where the report of a crash
// lies and the operations on that pending report. Files live in
//   <base>/com.zelvo.crashreporter.data/<application id, "/" → "_">/
// with the pending report "live_report.zvcrash" and a "queued_reports" folder.
//
// Enabling arms the capture for the whole process: fatal signals (SIGABRT,
// SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGTRAP) then write a report to
// crashReportPath() before the process ends with the same signal. Only one
// reporter can be enabled per process; everything the crash path needs is
// copied into process-wide state while arming, so an enabled reporter may be
// destroyed without disarming anything. A reporter is tied to its identity
// (enabled or not), hence neither copyable nor movable.
class CrashReporter {
public:
    static constexpr const char* kDataDirectoryName = "com.zelvo.crashreporter.data";
    static constexpr const char* kLiveReportFileName = "live_report.zvcrash";
    // Report files are private to the user (they hold memory contents, paths
    // and exception texts); writers create them with this mode.
    static constexpr unsigned kReportFileMode = 0600;
    static constexpr const char* kQueuedReportsDirectoryName = "queued_reports";

    // The application identifier defaults to the executable's file name.
    explicit CrashReporter(CrashReporterConfig configuration = {});
    CrashReporter(CrashReporterConfig configuration, std::string applicationIdentifier, std::string applicationVersion,
                  std::optional<std::string> applicationMarketingVersion = std::nullopt);

    CrashReporter(const CrashReporter&) = delete;
    CrashReporter& operator=(const CrashReporter&) = delete;

    // Arms the capture. Errors: code 3 "A CrashReporter instance has already
    // been enabled" when another reporter of this process is enabled, the
    // directory errors of createCrashReportDirectory, and the signal-handler
    // errors ("Could not initialize alternative signal stack", "Failed to
    // register signal handler"). Enabling this same reporter again throws
    // CrashReporterException ("The crash reporter has already been enabled").
    // Mach mode does not exist on Linux: it arms signal mode.
    bool enableCrashReporterAndReturnError(CrashReporterError* error = nullptr);
    bool isEnabled() const { return enabled_; }

    // Signal handlers run on an alternate stack only on threads that have
    // one. Enabling gives one to the calling thread, and every thread that
    // pthread_create starts (std::thread, and the threads of Qt, glib, curl)
    // gets one before its start routine runs: the crash capture library
    // defines pthread_create, which the dynamic linker binds ahead of libc's
    // for the program and every library it loads. Threads made some other
    // way (a raw clone) call this to have a stack overflow on them reported
    // too. False when no stack could be set up.
    static bool installAlternateSignalStackForCurrentThread();

    // Stores the callbacks called after a crash report was written; must be
    // called before enabling (afterwards it throws CrashReporterException).
    // Only version 0 is accepted: another version stores nothing and returns
    // false. Null clears them.
    bool setCrashCallbacks(const CrashReporterCallbacks* callbacks);
    const CrashReporterCallbacks* crashCallbacks() const { return hasCallbacks_ ? &callbacks_ : nullptr; }

    // A report of the running process, in the crash report format and with
    // customData(), written to a temporary file "live_crash_report.XXXXXX",
    // read back and deleted. The other threads are paused only while their
    // registers are read. The calling thread is the crashed one unless a
    // thread (its kernel thread id) is given; an exception is recorded as the
    // report's exception. Works with or without enabling. Errors: "Failed to
    // create temporary path", "Failed to write the crash report to disk",
    // "Unable to open live crash report for reading".
    std::optional<std::vector<std::uint8_t>> generateLiveReport();
    std::optional<std::vector<std::uint8_t>> generateLiveReportAndReturnError(CrashReporterError* error);
    std::optional<std::vector<std::uint8_t>> generateLiveReportWithThread(pid_t thread,
                                                                          CrashReporterError* error = nullptr);
    std::optional<std::vector<std::uint8_t>>
    generateLiveReportWithException(const platform::UncaughtException& exception, CrashReporterError* error = nullptr);

    const CrashReporterConfig& configuration() const { return configuration_; }
    const std::string& applicationIdentifier() const { return applicationIdentifier_; }
    const std::string& applicationVersion() const { return applicationVersion_; }
    const std::optional<std::string>& applicationMarketingVersion() const { return applicationMarketingVersion_; }

    const std::filesystem::path& crashReportDirectory() const { return crashReportDirectory_; }
    std::filesystem::path crashReportPath() const;
    // A crash never replaces a pending report: while one is pending, the
    // next crash writes "live_report.zvcrash.next", which becomes the
    // pending report when the current one is purged.
    std::filesystem::path nextCrashReportPath() const;

    std::filesystem::path queuedReportsDirectory() const;

    // Creates the report directory and "queued_reports" (and any missing
    // parents) with mode 0700 whatever the umask, and narrows the two folders
    // and a pending report to 0700 and 0600 when they already exist.
    bool createCrashReportDirectory(CrashReporterError* error = nullptr) const;

    bool hasPendingCrashReport() const;
    // The whole pending report file, or nothing with an error.
    std::optional<std::vector<std::uint8_t>> loadPendingCrashReportData(CrashReporterError* error = nullptr) const;
    // Deletes the pending report; true also when there was none.
    bool purgePendingCrashReport(CrashReporterError* error = nullptr) const;

    // A report that cannot be read or converted is kept for inspection as
    // "live_report.zvcrash.unreadable-<seconds since 1970>" beside it, and is
    // no longer pending; only the newest kKeptUnreadableReports are kept.
    // True also when there was none.
    static constexpr std::size_t kKeptUnreadableReports = 3;
    bool movePendingCrashReportAside(CrashReporterError* error = nullptr) const;
    // Guards the conversion of the pending report against a crash in it:
    // call before reading and converting it, and endProcessingPendingCrashReport
    // after. When the previous attempt never ended (it crashed the process),
    // the report is moved aside instead and the answer is false: a report that
    // crashes its conversion is not tried at every start.
    bool beginProcessingPendingCrashReport(CrashReporterError* error = nullptr) const;
    void endProcessingPendingCrashReport() const;

    const std::vector<std::uint8_t>& customData() const { return customData_; }
    // Bytes written as the report's custom data; empty writes none, and so
    // does more than 4 MiB (a report must stay readable). Also takes effect
    // for crashes after enabling.
    void setCustomData(std::vector<std::uint8_t> data);

private:
    // Makes the next report the pending one when none is pending.
    void promoteNextReport() const;
    std::optional<std::vector<std::uint8_t>>
    writeAndReadLiveReport(pid_t thread, const platform::UncaughtException* exception, CrashReporterError* error);

    CrashReporterConfig configuration_;
    std::string applicationIdentifier_;
    std::string applicationVersion_;
    std::optional<std::string> applicationMarketingVersion_;
    std::filesystem::path crashReportDirectory_;
    std::vector<std::uint8_t> customData_;
    CrashReporterCallbacks callbacks_;
    bool hasCallbacks_ = false;
    bool enabled_ = false;
};

} // namespace crashcapture
