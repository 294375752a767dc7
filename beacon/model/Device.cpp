#include "beacon/model/Device.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kSdkName = "sdkName";
constexpr const char* kSdkVersion = "sdkVersion";
constexpr const char* kModel = "model";
constexpr const char* kOemName = "oemName";
constexpr const char* kOsName = "osName";
constexpr const char* kOsVersion = "osVersion";
constexpr const char* kOsBuild = "osBuild";
constexpr const char* kOsApiLevel = "osApiLevel";
constexpr const char* kLocale = "locale";
constexpr const char* kTimeZoneOffset = "timeZoneOffset";
constexpr const char* kScreenSize = "screenSize";
constexpr const char* kAppVersion = "appVersion";
constexpr const char* kCarrierName = "carrierName";
constexpr const char* kCarrierCountry = "carrierCountry";
constexpr const char* kAppBuild = "appBuild";
constexpr const char* kAppNamespace = "appNamespace";
} // namespace

Json Device::serializeToDictionary() const {
    Json json = WrapperSdk::serializeToDictionary();
    json_fields::put(json, kSdkName, sdkName);
    json_fields::put(json, kSdkVersion, sdkVersion);
    json_fields::put(json, kModel, model);
    json_fields::put(json, kOemName, oemName);
    json_fields::put(json, kOsName, osName);
    json_fields::put(json, kOsVersion, osVersion);
    json_fields::put(json, kOsBuild, osBuild);
    json_fields::put(json, kOsApiLevel, osApiLevel);
    json_fields::put(json, kLocale, locale);
    json_fields::put(json, kTimeZoneOffset, timeZoneOffset);
    json_fields::put(json, kScreenSize, screenSize);
    json_fields::put(json, kAppVersion, appVersion);
    json_fields::put(json, kCarrierName, carrierName);
    json_fields::put(json, kCarrierCountry, carrierCountry);
    json_fields::put(json, kAppBuild, appBuild);
    json_fields::put(json, kAppNamespace, appNamespace);
    return json;
}

std::optional<std::string> Device::validationError() const {
    if (auto error = WrapperSdk::validationError()) return error;
    const std::pair<const char*, bool> required[] = {
        {kSdkName, sdkName.has_value()},       {kSdkVersion, sdkVersion.has_value()},
        {kOsName, osName.has_value()},         {kOsVersion, osVersion.has_value()},
        {kLocale, locale.has_value()},         {kTimeZoneOffset, timeZoneOffset.has_value()},
        {kAppVersion, appVersion.has_value()}, {kAppBuild, appBuild.has_value()},
    };
    for (const auto& [field, present] : required)
        if (!present) return invalidFieldMessage(className(), field);
    return std::nullopt;
}

bool Device::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const Device*>(&other);
    return o && WrapperSdk::isEqual(other) && sdkName == o->sdkName && sdkVersion == o->sdkVersion &&
           model == o->model && oemName == o->oemName && osName == o->osName && osVersion == o->osVersion &&
           osBuild == o->osBuild && osApiLevel == o->osApiLevel && locale == o->locale &&
           timeZoneOffset == o->timeZoneOffset && screenSize == o->screenSize && appVersion == o->appVersion &&
           carrierName == o->carrierName && carrierCountry == o->carrierCountry && appBuild == o->appBuild &&
           appNamespace == o->appNamespace;
}

void Device::encode(ArchiveWriter& w) const {
    WrapperSdk::encode(w);
    w.encodeString(kSdkName, sdkName);
    w.encodeString(kSdkVersion, sdkVersion);
    w.encodeString(kModel, model);
    w.encodeString(kOemName, oemName);
    w.encodeString(kOsName, osName);
    w.encodeString(kOsVersion, osVersion);
    w.encodeString(kOsBuild, osBuild);
    w.encodeInt64(kOsApiLevel, osApiLevel);
    w.encodeString(kLocale, locale);
    w.encodeInt64(kTimeZoneOffset, timeZoneOffset);
    w.encodeString(kScreenSize, screenSize);
    w.encodeString(kAppVersion, appVersion);
    w.encodeString(kCarrierName, carrierName);
    w.encodeString(kCarrierCountry, carrierCountry);
    w.encodeString(kAppBuild, appBuild);
    w.encodeString(kAppNamespace, appNamespace);
}

void Device::decode(ArchiveReader& r) {
    WrapperSdk::decode(r);
    sdkName = r.decodeString(kSdkName);
    sdkVersion = r.decodeString(kSdkVersion);
    model = r.decodeString(kModel);
    oemName = r.decodeString(kOemName);
    osName = r.decodeString(kOsName);
    osVersion = r.decodeString(kOsVersion);
    osBuild = r.decodeString(kOsBuild);
    osApiLevel = r.decodeInt64(kOsApiLevel);
    locale = r.decodeString(kLocale);
    timeZoneOffset = r.decodeInt64(kTimeZoneOffset);
    screenSize = r.decodeString(kScreenSize);
    appVersion = r.decodeString(kAppVersion);
    carrierName = r.decodeString(kCarrierName);
    carrierCountry = r.decodeString(kCarrierCountry);
    appBuild = r.decodeString(kAppBuild);
    appNamespace = r.decodeString(kAppNamespace);
}

} // namespace beacon
