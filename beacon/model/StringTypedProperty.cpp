#include "beacon/model/StringTypedProperty.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

Json StringTypedProperty::serializeToDictionary() const {
    Json json = TypedProperty::serializeToDictionary();
    json_fields::put(json, "value", value);
    return json;
}

bool StringTypedProperty::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const StringTypedProperty*>(&other);
    return o && TypedProperty::isEqual(other) && value == o->value;
}

void StringTypedProperty::encode(ArchiveWriter& w) const {
    TypedProperty::encode(w);
    w.encodeString("value", value);
}

void StringTypedProperty::decode(ArchiveReader& r) {
    TypedProperty::decode(r);
    value = r.decodeString("value");
}

} // namespace beacon
