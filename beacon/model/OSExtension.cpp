#include "beacon/model/OSExtension.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

Json OSExtension::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, "name", name);
    json_fields::put(json, "ver", ver);
    return json;
}

bool OSExtension::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const OSExtension*>(&other);
    return o && name == o->name && ver == o->ver;
}

void OSExtension::encode(ArchiveWriter& w) const {
    w.encodeString("name", name);
    w.encodeString("ver", ver);
}

void OSExtension::decode(ArchiveReader& r) {
    name = r.decodeString("name");
    ver = r.decodeString("ver");
}

} // namespace beacon
