#pragma once

#include "beacon/model/TypedProperty.h"

namespace beacon {

// A floating-point property ("double"), written as a JSON number. JSON has
// no infinities or NaN, so such a value makes the property invalid.
class DoubleTypedProperty : public TypedProperty {
public:
    static constexpr std::string_view kClassName = "DoubleTypedProperty";
    static constexpr const char* kType = "double";

    DoubleTypedProperty() { type = kType; }

    double value = 0;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
