#pragma once

#include "crashcapture/report/CrashReportApplicationInfo.h"
#include "crashcapture/report/CrashReportBinaryImageInfo.h"
#include "crashcapture/report/CrashReportExceptionInfo.h"
#include "crashcapture/report/CrashReportMachExceptionInfo.h"
#include "crashcapture/report/CrashReportMachineInfo.h"
#include "crashcapture/report/CrashReportProcessInfo.h"
#include "crashcapture/report/CrashReportSignalInfo.h"
#include "crashcapture/report/CrashReportSystemInfo.h"
#include "crashcapture/report/CrashReportThreadInfo.h"
#include "crashcapture/report/CrashReporterError.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace crashcapture {

// A crash report file read back as objects. A report file is the header
// "zvcrash" + version byte 1, then one zvcrash.CrashReport message; the reader
// checks it section by section and either yields the whole model or an error,
// never a partial one.
class CrashReport {
public:
    static constexpr std::size_t kHeaderSize = 8;
    static constexpr std::uint8_t kFormatVersion = 1;
    // Bounds of what a report may hold; a report beyond any of them is
    // refused with a reader error, so that a damaged or crafted file cannot
    // make reading or converting it run for long. The writer records at most
    // kMaxFramesPerThread frames of a stack.
    static constexpr std::size_t kMaxFileSize = 8 * 1024 * 1024;
    static constexpr std::size_t kMaxThreads = 512;
    static constexpr std::size_t kMaxFramesPerThread = 512;
    static constexpr std::size_t kMaxImages = 4096;

    // Parses a whole report file. On failure returns nothing and, when
    // `error` is given, fills it (domain "CrashReporterErrorDomain", code 2).
    static std::optional<CrashReport> initWithData(std::span<const std::uint8_t> data,
                                                   CrashReporterError* error = nullptr);

    const CrashReportSystemInfo& systemInfo() const { return systemInfo_; }
    bool hasMachineInfo() const { return machineInfo_.has_value(); }
    const std::optional<CrashReportMachineInfo>& machineInfo() const { return machineInfo_; }
    const CrashReportApplicationInfo& applicationInfo() const { return applicationInfo_; }
    bool hasProcessInfo() const { return processInfo_.has_value(); }
    const std::optional<CrashReportProcessInfo>& processInfo() const { return processInfo_; }
    const CrashReportSignalInfo& signalInfo() const { return signalInfo_; }
    const std::optional<CrashReportMachExceptionInfo>& machExceptionInfo() const { return machExceptionInfo_; }
    const std::vector<CrashReportThreadInfo>& threads() const { return threads_; }
    const std::vector<CrashReportBinaryImageInfo>& images() const { return images_; }
    bool hasExceptionInfo() const { return exceptionInfo_.has_value(); }
    const std::optional<CrashReportExceptionInfo>& exceptionInfo() const { return exceptionInfo_; }
    const std::optional<std::array<std::uint8_t, 16>>& uuidRef() const { return uuidRef_; }
    const std::optional<std::vector<std::uint8_t>>& customData() const { return customData_; }

    // The first image, in report order, whose range holds `address`. A
    // binary search over the images sorted once by base address.
    const CrashReportBinaryImageInfo* imageForAddress(std::uint64_t address) const;

private:
    class Reader;
    CrashReport() = default;
    void indexImages();

    CrashReportSystemInfo systemInfo_;
    std::optional<CrashReportMachineInfo> machineInfo_;
    CrashReportApplicationInfo applicationInfo_;
    std::optional<CrashReportProcessInfo> processInfo_;
    CrashReportSignalInfo signalInfo_;
    std::optional<CrashReportMachExceptionInfo> machExceptionInfo_;
    std::vector<CrashReportThreadInfo> threads_;
    std::vector<CrashReportBinaryImageInfo> images_;
    std::optional<CrashReportExceptionInfo> exceptionInfo_;
    std::optional<std::array<std::uint8_t, 16>> uuidRef_;
    std::optional<std::vector<std::uint8_t>> customData_;
    // Positions in images_ by ascending base address, and for each position
    // the highest last address of the images up to it.
    std::vector<std::uint32_t> imagesByBase_;
    std::vector<std::uint64_t> reachByBase_;
};

} // namespace crashcapture
