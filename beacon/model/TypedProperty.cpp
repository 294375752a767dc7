#include "beacon/model/TypedProperty.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

Json TypedProperty::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, "type", type);
    json_fields::put(json, "name", name);
    return json;
}

bool TypedProperty::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const TypedProperty*>(&other);
    return o && type == o->type && name == o->name;
}

void TypedProperty::encode(ArchiveWriter& w) const {
    w.encodeString("type", type);
    w.encodeString("name", name);
}

void TypedProperty::decode(ArchiveReader& r) {
    type = r.decodeString("type");
    name = r.decodeString("name");
}

} // namespace beacon
