#pragma once

#include "beacon/model/WrapperSdk.h"

#include <cstdint>
#include <optional>
#include <string>

namespace beacon {

// The description of the device and application attached to every log.
// JSON and archive keys equal the field names; the wrapper keys come first.
class Device : public WrapperSdk {
public:
    static constexpr std::string_view kClassName = "Device";

    std::optional<std::string> sdkName;
    std::optional<std::string> sdkVersion;
    std::optional<std::string> model;
    std::optional<std::string> oemName;
    std::optional<std::string> osName;
    std::optional<std::string> osVersion;
    std::optional<std::string> osBuild;
    std::optional<std::int64_t> osApiLevel;
    std::optional<std::string> locale;
    std::optional<std::int64_t> timeZoneOffset; // minutes east of UTC
    std::optional<std::string> screenSize;      // "<width>x<height>"
    std::optional<std::string> appVersion;
    std::optional<std::string> carrierName;
    std::optional<std::string> carrierCountry;
    std::optional<std::string> appBuild;
    std::optional<std::string> appNamespace;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    // Needs sdkName, sdkVersion, osName, osVersion, locale, timeZoneOffset,
    // appVersion and appBuild (checked in that order).
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
