#include "beacon/model/DoubleTypedProperty.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

#include <cmath>

namespace beacon {

Json DoubleTypedProperty::serializeToDictionary() const {
    Json json = TypedProperty::serializeToDictionary();
    json["value"] = value;
    return json;
}

std::optional<std::string> DoubleTypedProperty::validationError() const {
    if (auto error = TypedProperty::validationError()) return error;
    if (!std::isfinite(value)) return invalidFieldMessage(className(), "value");
    return std::nullopt;
}

bool DoubleTypedProperty::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const DoubleTypedProperty*>(&other);
    return o && TypedProperty::isEqual(other) && value == o->value;
}

void DoubleTypedProperty::encode(ArchiveWriter& w) const {
    TypedProperty::encode(w);
    w.encodeDouble("value", value);
}

void DoubleTypedProperty::decode(ArchiveReader& r) {
    TypedProperty::decode(r);
    value = r.decodeDouble("value").value_or(0);
}

} // namespace beacon
