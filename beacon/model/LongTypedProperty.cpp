#include "beacon/model/LongTypedProperty.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

Json LongTypedProperty::serializeToDictionary() const {
    Json json = TypedProperty::serializeToDictionary();
    json["value"] = value;
    return json;
}

bool LongTypedProperty::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const LongTypedProperty*>(&other);
    return o && TypedProperty::isEqual(other) && value == o->value;
}

void LongTypedProperty::encode(ArchiveWriter& w) const {
    TypedProperty::encode(w);
    w.encodeInt64("value", value);
}

void LongTypedProperty::decode(ArchiveReader& r) {
    TypedProperty::decode(r);
    value = r.decodeInt64("value").value_or(0);
}

} // namespace beacon
