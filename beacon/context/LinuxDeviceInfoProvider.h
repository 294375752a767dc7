#pragma once

#include "beacon/context/DeviceInfoProvider.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace beacon {

// The device facts of a Linux machine: library name and version, the
// hardware maker and model from DMI ("Unknown" when unreadable), "Linux",
// the kernel release and version (uname), the locale of the environment
// (LC_ALL, LC_MESSAGES, LANG), the local time zone offset, and the
// application's version, build and identifier. The screen size is not known
// to the library and stays absent.
class LinuxDeviceInfoProvider : public DeviceInfoProvider {
public:
    static constexpr const char* kOsName = "Linux";
    static constexpr const char* kUnknown = "Unknown";

    LinuxDeviceInfoProvider();
    explicit LinuxDeviceInfoProvider(std::filesystem::path dmiDirectory);

    Device deviceInfo() const override;

    // "language[-Script]_COUNTRY" from a POSIX locale name such as
    // "de_CH.UTF-8" or "sr_RS@latin"; "en" for "C", "POSIX" or nothing.
    static std::string localeIdentifier(std::string_view posixLocale);
    // Minutes east of UTC of the local time zone now, truncated.
    static std::int64_t localTimeZoneOffsetMinutes();

private:
    std::optional<std::string> readDmi(const char* name) const;

    std::filesystem::path dmiDirectory_;
};

} // namespace beacon
