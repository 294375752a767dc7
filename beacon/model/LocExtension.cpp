#include "beacon/model/LocExtension.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

Json LocExtension::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, "tz", tz);
    return json;
}

bool LocExtension::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const LocExtension*>(&other);
    return o && tz == o->tz;
}

void LocExtension::encode(ArchiveWriter& w) const { w.encodeString("tz", tz); }

void LocExtension::decode(ArchiveReader& r) { tz = r.decodeString("tz"); }

} // namespace beacon
