#include "beacon/model/CommonSchemaLog.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kVer = "ver";
constexpr const char* kName = "name";
constexpr const char* kTime = "time";
constexpr const char* kPopSample = "popSample";
constexpr const char* kIKey = "iKey";
constexpr const char* kFlags = "flags";
constexpr const char* kCV = "cV";
constexpr const char* kExt = "ext";
constexpr const char* kData = "data";
} // namespace

Json CommonSchemaLog::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, kVer, ver);
    json_fields::put(json, kName, name);
    json_fields::putDate(json, kTime, timestamp);
    json_fields::put(json, kIKey, iKey);
    if (flags != 0) json[kFlags] = flags;
    json_fields::putObject(json, kExt, ext);
    json_fields::putObject(json, kData, data);
    return json;
}

std::optional<std::string> CommonSchemaLog::validationError() const {
    if (!timestamp) return invalidFieldMessage(className(), "timestamp");
    if (!ver) return invalidFieldMessage(className(), kVer);
    if (!name) return invalidFieldMessage(className(), kName);
    return std::nullopt;
}

bool CommonSchemaLog::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const CommonSchemaLog*>(&other);
    return o && AbstractLog::isEqual(other) && ver == o->ver && name == o->name && popSample == o->popSample &&
           iKey == o->iKey && flags == o->flags && cV == o->cV && equalObjects(ext, o->ext) &&
           equalObjects(data, o->data);
}

void CommonSchemaLog::encode(ArchiveWriter& w) const {
    AbstractLog::encode(w);
    w.encodeString(kVer, ver);
    w.encodeString(kName, name);
    w.encodeDouble(kPopSample, popSample);
    w.encodeString(kIKey, iKey);
    w.encodeInt64(kFlags, flags);
    w.encodeString(kCV, cV);
    w.encodeObject(kExt, ext);
    w.encodeObject(kData, data);
}

void CommonSchemaLog::decode(ArchiveReader& r) {
    AbstractLog::decode(r);
    ver = r.decodeString(kVer);
    name = r.decodeString(kName);
    popSample = r.decodeDouble(kPopSample).value_or(0);
    iKey = r.decodeString(kIKey);
    flags = r.decodeInt64(kFlags).value_or(0);
    cV = r.decodeString(kCV);
    ext = r.decodeObject<CSExtensions>(kExt);
    data = r.decodeObject<CSData>(kData);
}

} // namespace beacon
