#include "beacon/model/WrapperSdk.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kWrapperSdkVersion = "wrapperSdkVersion";
constexpr const char* kWrapperSdkName = "wrapperSdkName";
constexpr const char* kWrapperRuntimeVersion = "wrapperRuntimeVersion";
constexpr const char* kLiveUpdateReleaseLabel = "liveUpdateReleaseLabel";
constexpr const char* kLiveUpdateDeploymentKey = "liveUpdateDeploymentKey";
constexpr const char* kLiveUpdatePackageHash = "liveUpdatePackageHash";
} // namespace

WrapperSdk::WrapperSdk(std::optional<std::string> wrapperSdkVersion_, std::optional<std::string> wrapperSdkName_,
                       std::optional<std::string> wrapperRuntimeVersion_,
                       std::optional<std::string> liveUpdateReleaseLabel_,
                       std::optional<std::string> liveUpdateDeploymentKey_,
                       std::optional<std::string> liveUpdatePackageHash_)
    : wrapperSdkVersion(std::move(wrapperSdkVersion_)), wrapperSdkName(std::move(wrapperSdkName_)),
      wrapperRuntimeVersion(std::move(wrapperRuntimeVersion_)),
      liveUpdateReleaseLabel(std::move(liveUpdateReleaseLabel_)),
      liveUpdateDeploymentKey(std::move(liveUpdateDeploymentKey_)),
      liveUpdatePackageHash(std::move(liveUpdatePackageHash_)) {}

Json WrapperSdk::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, kWrapperSdkVersion, wrapperSdkVersion);
    json_fields::put(json, kWrapperSdkName, wrapperSdkName);
    json_fields::put(json, kWrapperRuntimeVersion, wrapperRuntimeVersion);
    json_fields::put(json, kLiveUpdateReleaseLabel, liveUpdateReleaseLabel);
    json_fields::put(json, kLiveUpdateDeploymentKey, liveUpdateDeploymentKey);
    json_fields::put(json, kLiveUpdatePackageHash, liveUpdatePackageHash);
    return json;
}

bool WrapperSdk::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const WrapperSdk*>(&other);
    return o && wrapperSdkVersion == o->wrapperSdkVersion && wrapperSdkName == o->wrapperSdkName &&
           wrapperRuntimeVersion == o->wrapperRuntimeVersion && liveUpdateReleaseLabel == o->liveUpdateReleaseLabel &&
           liveUpdateDeploymentKey == o->liveUpdateDeploymentKey && liveUpdatePackageHash == o->liveUpdatePackageHash;
}

void WrapperSdk::encode(ArchiveWriter& w) const {
    w.encodeString(kWrapperSdkVersion, wrapperSdkVersion);
    w.encodeString(kWrapperSdkName, wrapperSdkName);
    w.encodeString(kWrapperRuntimeVersion, wrapperRuntimeVersion);
    w.encodeString(kLiveUpdateReleaseLabel, liveUpdateReleaseLabel);
    w.encodeString(kLiveUpdateDeploymentKey, liveUpdateDeploymentKey);
    w.encodeString(kLiveUpdatePackageHash, liveUpdatePackageHash);
}

void WrapperSdk::decode(ArchiveReader& r) {
    wrapperSdkVersion = r.decodeString(kWrapperSdkVersion);
    wrapperSdkName = r.decodeString(kWrapperSdkName);
    wrapperRuntimeVersion = r.decodeString(kWrapperRuntimeVersion);
    liveUpdateReleaseLabel = r.decodeString(kLiveUpdateReleaseLabel);
    liveUpdateDeploymentKey = r.decodeString(kLiveUpdateDeploymentKey);
    liveUpdatePackageHash = r.decodeString(kLiveUpdatePackageHash);
}

} // namespace beacon
