#include "beacon/model/AppExtension.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

Json AppExtension::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, "id", appId);
    json_fields::put(json, "ver", ver);
    json_fields::put(json, "name", name);
    json_fields::put(json, "locale", locale);
    json_fields::put(json, "userId", userId);
    return json;
}

bool AppExtension::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const AppExtension*>(&other);
    return o && appId == o->appId && ver == o->ver && name == o->name && locale == o->locale && userId == o->userId;
}

void AppExtension::encode(ArchiveWriter& w) const {
    w.encodeString("id", appId);
    w.encodeString("ver", ver);
    w.encodeString("name", name);
    w.encodeString("locale", locale);
    w.encodeString("userId", userId);
}

void AppExtension::decode(ArchiveReader& r) {
    appId = r.decodeString("id");
    ver = r.decodeString("ver");
    name = r.decodeString("name");
    locale = r.decodeString("locale");
    userId = r.decodeString("userId");
}

} // namespace beacon
