#include "beacon/model/AbstractLog.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/context/UserIdContext.h"
#include "beacon/model/CommonSchemaLog.h"
#include "beacon/model/JsonFields.h"
#include "beacon/model/JsonText.h"
#include "beacon/util/SecretStrings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace beacon {

namespace {
constexpr const char* kType = "type";
constexpr const char* kTimestamp = "timestamp";
constexpr const char* kSid = "sid";
constexpr const char* kDistributionGroupId = "distributionGroupId";
constexpr const char* kUserId = "userId";
constexpr const char* kDevice = "device";
constexpr const char* kDataResidencyRegion = "dataResidencyRegion";

constexpr const char* kCommonSchemaVersion = "3.0";
// The language the application's texts are written in (Zelvo ships English
// only), the common schema's application locale.
constexpr const char* kApplicationLocalization = "en";

bool nonEmpty(const std::optional<std::string>& s) { return s && !s->empty(); }
} // namespace

AbstractLog::AbstractLog(const AbstractLog& other)
    : ModelObject(other), type(other.type), timestamp(other.timestamp), sid(other.sid),
      distributionGroupId(other.distributionGroupId), userId(other.userId),
      dataResidencyRegion(other.dataResidencyRegion), device(other.device), tag(other.tag),
      tokens_(other.transmissionTargetTokens()) {}

AbstractLog& AbstractLog::operator=(const AbstractLog& other) {
    if (this == &other) return *this;
    type = other.type;
    timestamp = other.timestamp;
    sid = other.sid;
    distributionGroupId = other.distributionGroupId;
    userId = other.userId;
    dataResidencyRegion = other.dataResidencyRegion;
    device = other.device;
    tag = other.tag;
    setTransmissionTargetTokens(other.transmissionTargetTokens());
    return *this;
}

void AbstractLog::addTransmissionTargetToken(const std::string& token) {
    std::lock_guard lock(tokensMutex_);
    tokens_.insert(token);
}

std::set<std::string> AbstractLog::transmissionTargetTokens() const {
    std::lock_guard lock(tokensMutex_);
    return tokens_;
}

void AbstractLog::setTransmissionTargetTokens(std::set<std::string> tokens) {
    std::lock_guard lock(tokensMutex_);
    tokens_ = std::move(tokens);
}

Json AbstractLog::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, kType, type);
    json_fields::putDate(json, kTimestamp, timestamp);
    json_fields::put(json, kSid, sid);
    json_fields::put(json, kDistributionGroupId, distributionGroupId);
    json_fields::put(json, kUserId, userId);
    json_fields::putObject(json, kDevice, device);
    json_fields::put(json, kDataResidencyRegion, dataResidencyRegion);
    return json;
}

std::optional<std::string> AbstractLog::serializeLog(bool prettyPrint) const {
    const Json json = serializeToDictionary();
    if (auto text = jsonText(json, prettyPrint)) return text;
    // Sent with its damaged text repaired rather than lost.
    return jsonTextReplacingInvalidUtf8(json, prettyPrint);
}

std::optional<std::string> AbstractLog::validationError() const {
    if (!type) return invalidFieldMessage(className(), kType);
    if (!timestamp) return invalidFieldMessage(className(), kTimestamp);
    if (!device) return invalidFieldMessage(className(), kDevice);
    return device->validationError();
}

bool AbstractLog::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const AbstractLog*>(&other);
    return o && type == o->type && timestamp == o->timestamp && sid == o->sid &&
           distributionGroupId == o->distributionGroupId && userId == o->userId &&
           dataResidencyRegion == o->dataResidencyRegion && equalObjects(device, o->device);
}

void AbstractLog::encode(ArchiveWriter& w) const {
    w.encodeString(kType, type);
    w.encodeDate(kTimestamp, timestamp);
    w.encodeString(kSid, sid);
    w.encodeString(kDistributionGroupId, distributionGroupId);
    w.encodeString(kUserId, userId);
    w.encodeString(kDataResidencyRegion, dataResidencyRegion);
    w.encodeObject(kDevice, device);
}

void AbstractLog::decode(ArchiveReader& r) {
    type = r.decodeString(kType);
    timestamp = r.decodeDate(kTimestamp);
    sid = r.decodeString(kSid);
    distributionGroupId = r.decodeString(kDistributionGroupId);
    userId = r.decodeString(kUserId);
    dataResidencyRegion = r.decodeString(kDataResidencyRegion);
    device = r.decodeObject<Device>(kDevice);
}

std::vector<std::shared_ptr<CommonSchemaLog>> AbstractLog::toCommonSchemaLogs(LogFlags flags) const {
    std::vector<std::shared_ptr<CommonSchemaLog>> logs;
    for (const auto& token : transmissionTargetTokens())
        if (auto log = toCommonSchemaLog(token, flags)) logs.push_back(std::move(log));
    return logs;
}

std::string AbstractLog::timeZoneText(std::int64_t offsetMinutes) {
    // The sign belongs to the whole offset: -30 minutes is "-00:30".
    std::uint64_t magnitude =
        offsetMinutes < 0 ? 0 - static_cast<std::uint64_t>(offsetMinutes) : static_cast<std::uint64_t>(offsetMinutes);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%c%02llu:%02llu", offsetMinutes < 0 ? '-' : '+',
                  static_cast<unsigned long long>(magnitude / 60), static_cast<unsigned long long>(magnitude % 60));
    return buffer;
}

std::shared_ptr<CommonSchemaLog> AbstractLog::toCommonSchemaLog(const std::string& token, LogFlags flags) const {
    auto csLog = std::make_shared<CommonSchemaLog>();
    csLog->setTransmissionTargetTokens({token});
    csLog->ver = kCommonSchemaVersion;
    csLog->timestamp = timestamp;
    csLog->iKey = iKeyFromTargetToken(token);
    csLog->flags = flags;

    static const Device noDevice;
    const Device& d = device ? *device : noDevice;
    auto ext = std::make_shared<CSExtensions>();

    ext->protocolExt = std::make_shared<ProtocolExtension>();
    ext->protocolExt->devMake = d.oemName;
    ext->protocolExt->devModel = d.model;

    ext->userExt = std::make_shared<UserExtension>();
    ext->userExt->localId = UserIdContext::prefixedUserIdFromUserId(userId);
    if (d.locale) {
        std::string locale = *d.locale;
        std::replace(locale.begin(), locale.end(), '_', '-');
        ext->userExt->locale = locale;
    }

    ext->osExt = std::make_shared<OSExtension>();
    ext->osExt->name = d.osName;
    if (nonEmpty(d.osVersion) || nonEmpty(d.osBuild)) {
        std::string ver = "Version " + d.osVersion.value_or("");
        if (nonEmpty(d.osBuild)) ver += " (Build " + *d.osBuild + ")";
        ext->osExt->ver = ver;
    }

    ext->appExt = std::make_shared<AppExtension>();
    if (d.appNamespace) ext->appExt->appId = "I:" + *d.appNamespace;
    ext->appExt->ver = d.appVersion;
    ext->appExt->locale = kApplicationLocalization;

    ext->netExt = std::make_shared<NetExtension>();
    ext->netExt->provider = d.carrierName;

    ext->sdkExt = std::make_shared<SDKExtension>();
    if (nonEmpty(d.sdkName) && nonEmpty(d.sdkVersion)) ext->sdkExt->libVer = *d.sdkName + "-" + *d.sdkVersion;

    ext->locExt = std::make_shared<LocExtension>();
    if (d.timeZoneOffset) ext->locExt->tz = timeZoneText(*d.timeZoneOffset);

    ext->deviceExt = std::make_shared<DeviceExtension>();
    csLog->ext = std::move(ext);
    return csLog;
}

} // namespace beacon
