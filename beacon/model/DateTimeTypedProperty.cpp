#include "beacon/model/DateTimeTypedProperty.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

Json DateTimeTypedProperty::serializeToDictionary() const {
    Json json = TypedProperty::serializeToDictionary();
    json_fields::putDate(json, "value", value);
    return json;
}

bool DateTimeTypedProperty::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const DateTimeTypedProperty*>(&other);
    return o && TypedProperty::isEqual(other) && value == o->value;
}

void DateTimeTypedProperty::encode(ArchiveWriter& w) const {
    TypedProperty::encode(w);
    w.encodeDate("value", value);
}

void DateTimeTypedProperty::decode(ArchiveReader& r) {
    TypedProperty::decode(r);
    value = r.decodeDate("value");
}

} // namespace beacon
