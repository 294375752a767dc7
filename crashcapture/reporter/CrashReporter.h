#pragma once

#include "crashcapture/report/CrashReporterError.h"
#include "crashcapture/reporter/CrashReporterConfig.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace crashcapture {

// The crash capture engine as its users see it: where the report of a crash
// lies and the operations on that pending report. Files live in
//   <base>/com.zelvo.crashreporter.data/<application id, "/" → "_">/
// with the pending report "live_report.zvcrash" and a "queued_reports" folder.
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
    CrashReporter(CrashReporterConfig configuration, std::string applicationIdentifier,
                  std::string applicationVersion, std::optional<std::string> applicationMarketingVersion = std::nullopt);

    const CrashReporterConfig& configuration() const { return configuration_; }
    const std::string& applicationIdentifier() const { return applicationIdentifier_; }
    const std::string& applicationVersion() const { return applicationVersion_; }
    const std::optional<std::string>& applicationMarketingVersion() const { return applicationMarketingVersion_; }

    const std::filesystem::path& crashReportDirectory() const { return crashReportDirectory_; }
    std::filesystem::path crashReportPath() const;
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
    // no longer pending. True also when there was none.
    bool movePendingCrashReportAside(CrashReporterError* error = nullptr) const;
    // Guards the conversion of the pending report against a crash in it:
    // call before reading and converting it, and endProcessingPendingCrashReport
    // after. When the previous attempt never ended (it crashed the process),
    // the report is moved aside instead and the answer is false: a report that
    // crashes its conversion is not tried at every start.
    bool beginProcessingPendingCrashReport(CrashReporterError* error = nullptr) const;
    void endProcessingPendingCrashReport() const;

    const std::vector<std::uint8_t>& customData() const { return customData_; }
    void setCustomData(std::vector<std::uint8_t> data) { customData_ = std::move(data); }

private:
    CrashReporterConfig configuration_;
    std::string applicationIdentifier_;
    std::string applicationVersion_;
    std::optional<std::string> applicationMarketingVersion_;
    std::filesystem::path crashReportDirectory_;
    std::vector<std::uint8_t> customData_;
};

} // namespace crashcapture
