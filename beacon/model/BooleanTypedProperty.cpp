#include "beacon/model/BooleanTypedProperty.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

Json BooleanTypedProperty::serializeToDictionary() const {
    Json json = TypedProperty::serializeToDictionary();
    json["value"] = value;
    return json;
}

bool BooleanTypedProperty::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const BooleanTypedProperty*>(&other);
    return o && TypedProperty::isEqual(other) && value == o->value;
}

void BooleanTypedProperty::encode(ArchiveWriter& w) const {
    TypedProperty::encode(w);
    w.encodeBool("value", value);
}

void BooleanTypedProperty::decode(ArchiveReader& r) {
    TypedProperty::decode(r);
    value = r.decodeBool("value").value_or(false);
}

} // namespace beacon
