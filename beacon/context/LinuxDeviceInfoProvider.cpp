#include "beacon/context/LinuxDeviceInfoProvider.h"

#include "beacon/util/BundleInfo.h"
#include "beacon/util/SdkInfo.h"

#include <sys/utsname.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <fstream>

#ifndef ZELVO_APP_VERSION
#define ZELVO_APP_VERSION "0.0.0"
#endif
#ifndef ZELVO_APP_BUILD
#define ZELVO_APP_BUILD ZELVO_APP_VERSION
#endif

namespace beacon {

namespace {

std::string trimmed(std::string text) {
    auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
    text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
    return text;
}

// The script subtag of a locale modifier, when it names one.
std::string scriptOfModifier(std::string_view modifier) {
    if (modifier == "latin") return "Latn";
    if (modifier == "cyrillic") return "Cyrl";
    if (modifier == "devanagari") return "Deva";
    return {};
}

} // namespace

LinuxDeviceInfoProvider::LinuxDeviceInfoProvider() : LinuxDeviceInfoProvider("/sys/class/dmi/id") {}

LinuxDeviceInfoProvider::LinuxDeviceInfoProvider(std::filesystem::path dmiDirectory)
    : dmiDirectory_(std::move(dmiDirectory)) {}

std::optional<std::string> LinuxDeviceInfoProvider::readDmi(const char* name) const {
    std::ifstream in(dmiDirectory_ / name);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    line = trimmed(line);
    if (line.empty()) return std::nullopt;
    return line;
}

std::string LinuxDeviceInfoProvider::localeIdentifier(std::string_view posix) {
    // language[_territory][.codeset][@modifier]
    std::string_view modifier;
    if (auto at = posix.find('@'); at != std::string_view::npos) {
        modifier = posix.substr(at + 1);
        posix = posix.substr(0, at);
    }
    if (auto dot = posix.find('.'); dot != std::string_view::npos) posix = posix.substr(0, dot);
    if (posix.empty() || posix == "C" || posix == "POSIX") return "en";
    std::string_view language = posix, territory;
    if (auto underscore = posix.find('_'); underscore != std::string_view::npos) {
        language = posix.substr(0, underscore);
        territory = posix.substr(underscore + 1);
    }
    std::string identifier(language);
    if (auto script = scriptOfModifier(modifier); !script.empty()) identifier += "-" + script;
    if (!territory.empty()) identifier += "_" + std::string(territory);
    return identifier;
}

std::int64_t LinuxDeviceInfoProvider::localTimeZoneOffsetMinutes() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local)) return 0;
    return static_cast<std::int64_t>(local.tm_gmtoff) / 60;
}

Device LinuxDeviceInfoProvider::deviceInfo() const {
    Device device;
    device.sdkName = beacon::kSdkName;
    device.sdkVersion = beacon::kSdkVersion;
    device.model = readDmi("product_name").value_or(kUnknown);
    device.oemName = readDmi("sys_vendor").value_or(kUnknown);
    device.osName = kOsName;
    utsname names{};
    bool haveNames = ::uname(&names) == 0;
    device.osVersion = haveNames ? std::string(names.release) : std::string(kUnknown);
    device.osBuild = haveNames ? std::string(names.version) : std::string(kUnknown);
    const char* posixLocale = nullptr;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        posixLocale = std::getenv(variable);
        if (posixLocale && *posixLocale) break;
    }
    device.locale = localeIdentifier(posixLocale ? posixLocale : "");
    device.timeZoneOffset = localTimeZoneOffsetMinutes();
    device.appVersion = ZELVO_APP_VERSION;
    device.appBuild = ZELVO_APP_BUILD;
    device.appNamespace = mainBundleIdentifier();
    return device;
}

} // namespace beacon
