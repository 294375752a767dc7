#pragma once

#include "beacon/archive/Iso8601.h"
#include "beacon/crashes/model/AppleErrorLog.h"
#include "beacon/crashes/model/Binary.h"
#include "beacon/crashes/model/ErrorReport.h"
#include "beacon/crashes/model/Thread.h"
#include "beacon/model/Device.h"
#include "crashcapture/report/CrashReport.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace beacon {

// Turns a crash report read back from the capture engine into the error log
// that is sent, and into the error report the application's delegate sees.
// Missing report sections leave fields at their defaults ("???", empty text,
// none); the conversion as a whole never fails.
class ErrorLogFormatter {
public:
    // Where the device of a past moment comes from; null when nothing was
    // recorded. Without a lookup of its own the formatter asks the shared
    // device tracker, which keeps the devices of the last launches.
    using DeviceLookup = std::function<std::shared_ptr<Device>(std::optional<Date>)>;
    // The installation id's UUID text, when there is one.
    using InstallIdSource = std::function<std::optional<std::string>()>;

    static void setDeviceLookup(DeviceLookup lookup);
    static void setInstallIdSource(InstallIdSource source);

    // Image kinds of imageTypeForImagePath.
    enum ImageType : int { MainExecutable = 0, ApplicationFramework = 1, Other = 2 };

    static std::shared_ptr<AppleErrorLog> errorLogFromCrashReport(const crashcapture::CrashReport& report);
    static std::shared_ptr<ErrorReport> errorReportFromCrashReport(const crashcapture::CrashReport* report);
    static std::shared_ptr<ErrorReport> errorReportFromLog(const AppleErrorLog& log);

    static std::string errorIdForCrashReport(const crashcapture::CrashReport& report);
    static void addProcessInfoAndApplicationPathTo(AppleErrorLog& log, const crashcapture::CrashReport& report);
    static std::string convertArchNameToString(std::uint64_t cpuType, std::uint64_t cpuSubtype);
    static std::string convertCodeTypeToString(std::uint64_t cpuType);
    static std::optional<Date> getAppLaunchTimeFromReport(const crashcapture::CrashReport& report);
    static std::optional<Date> getCrashTimeFromReport(const crashcapture::CrashReport& report);
    static std::vector<std::shared_ptr<Thread>>
    extractThreadsFromReport(const crashcapture::CrashReport& report,
                             const crashcapture::CrashReportThreadInfo* crashedThread, bool is64bit);
    static std::string formatStackFrame(const crashcapture::CrashReportStackFrameInfo& frame,
                                        const crashcapture::CrashReport& report);
    static std::map<std::string, std::string>
    extractRegistersFromCrashedThread(const crashcapture::CrashReportThreadInfo& crashedThread, bool is64bit);
    static std::optional<std::string> extractExceptionReasonFromReport(const crashcapture::CrashReport& report);
    static std::optional<std::string>
    selectorRegisterValueFromReport(const crashcapture::CrashReport& report,
                                    const crashcapture::CrashReportThreadInfo& crashedThread, std::uint64_t codeType);
    static std::vector<std::shared_ptr<Binary>> extractBinaryImagesFromReport(const crashcapture::CrashReport& report,
                                                                              bool is64bit);
    // The binary's "id": its build-id (the image UUID) in lower-case hex; for
    // an image without one, the first 16 bytes of the SHA-256 of "zelvo-image",
    // its path and its size (each length-prefixed), in the same form, so that
    // the log stays valid and the same image has the same id in every report.
    static std::string binaryIdOf(const crashcapture::CrashReportBinaryImageInfo& image);
    static bool isBinaryWithStart(std::uint64_t start, std::uint64_t end, const std::set<std::uint64_t>& addresses);
    static std::string anonymizedPathFromPath(const std::string& path);
    static std::optional<std::string> selectorForRegisterWithName(const std::string& name,
                                                                  const crashcapture::CrashReportThreadInfo& thread,
                                                                  const crashcapture::CrashReport& report);
    static ImageType imageTypeForImagePath(const std::optional<std::string>& imagePath,
                                           const std::optional<std::string>& processPath);
    static std::shared_ptr<Device> deviceForTimestamp(std::optional<Date> timestamp,
                                                      const crashcapture::CrashReport& report);
    static bool isCodeType64bit(std::uint64_t cpuType);
    static const crashcapture::CrashReportThreadInfo*
    findCrashedThreadInReport(const crashcapture::CrashReport& report);
    static std::set<std::uint64_t> addressesFromReport(const crashcapture::CrashReport& report);
    static std::string uuidRefToString(const std::array<std::uint8_t, 16>& uuid);
    static std::string formatAddress(std::uint64_t address, bool is64bit);

private:
    using ImageTypeCache = std::unordered_map<const crashcapture::CrashReportBinaryImageInfo*, ImageType>;
    static std::string formatStackFrame(const crashcapture::CrashReportStackFrameInfo& frame,
                                        const crashcapture::CrashReport& report, ImageTypeCache* kinds);
};

} // namespace beacon
