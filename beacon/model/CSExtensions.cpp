#include "beacon/model/CSExtensions.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kMetadata = "metadata";
constexpr const char* kProtocol = "protocol";
constexpr const char* kUser = "user";
constexpr const char* kDevice = "device";
constexpr const char* kOs = "os";
constexpr const char* kApp = "app";
constexpr const char* kNet = "net";
constexpr const char* kSdk = "sdk";
constexpr const char* kLoc = "loc";
} // namespace

Json CSExtensions::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::putNonEmptyObject(json, kMetadata, metadataExt);
    json_fields::putNonEmptyObject(json, kProtocol, protocolExt);
    json_fields::putNonEmptyObject(json, kUser, userExt);
    json_fields::putNonEmptyObject(json, kDevice, deviceExt);
    json_fields::putNonEmptyObject(json, kOs, osExt);
    json_fields::putNonEmptyObject(json, kApp, appExt);
    json_fields::putNonEmptyObject(json, kNet, netExt);
    json_fields::putNonEmptyObject(json, kSdk, sdkExt);
    json_fields::putNonEmptyObject(json, kLoc, locExt);
    return json;
}

std::optional<std::string> CSExtensions::validationError() const {
    const std::pair<const char*, const ModelObject*> extensions[] = {
        {"metadataExt", metadataExt.get()},
        {"protocolExt", protocolExt.get()},
        {"userExt", userExt.get()},
        {"deviceExt", deviceExt.get()},
        {"osExt", osExt.get()},
        {"appExt", appExt.get()},
        {"netExt", netExt.get()},
        {"sdkExt", sdkExt.get()},
        {"locExt", locExt.get()},
    };
    for (const auto& [field, extension] : extensions)
        if (extension && extension->validationError()) return invalidFieldMessage(className(), field);
    return std::nullopt;
}

bool CSExtensions::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const CSExtensions*>(&other);
    return o && equalObjects(metadataExt, o->metadataExt) && equalObjects(protocolExt, o->protocolExt) &&
           equalObjects(userExt, o->userExt) && equalObjects(deviceExt, o->deviceExt) &&
           equalObjects(osExt, o->osExt) && equalObjects(appExt, o->appExt) && equalObjects(netExt, o->netExt) &&
           equalObjects(sdkExt, o->sdkExt) && equalObjects(locExt, o->locExt);
}

void CSExtensions::encode(ArchiveWriter& w) const {
    w.encodeObject(kMetadata, metadataExt);
    w.encodeObject(kProtocol, protocolExt);
    w.encodeObject(kUser, userExt);
    w.encodeObject(kDevice, deviceExt);
    w.encodeObject(kOs, osExt);
    w.encodeObject(kApp, appExt);
    w.encodeObject(kNet, netExt);
    w.encodeObject(kSdk, sdkExt);
    w.encodeObject(kLoc, locExt);
}

void CSExtensions::decode(ArchiveReader& r) {
    metadataExt = r.decodeObject<MetadataExtension>(kMetadata);
    protocolExt = r.decodeObject<ProtocolExtension>(kProtocol);
    userExt = r.decodeObject<UserExtension>(kUser);
    deviceExt = r.decodeObject<DeviceExtension>(kDevice);
    osExt = r.decodeObject<OSExtension>(kOs);
    appExt = r.decodeObject<AppExtension>(kApp);
    netExt = r.decodeObject<NetExtension>(kNet);
    sdkExt = r.decodeObject<SDKExtension>(kSdk);
    locExt = r.decodeObject<LocExtension>(kLoc);
}

} // namespace beacon
