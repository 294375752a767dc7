#pragma once

#include "beacon/model/TypedProperty.h"

namespace beacon {

// A boolean property ("boolean"), written as a JSON boolean.
class BooleanTypedProperty : public TypedProperty {
public:
    static constexpr std::string_view kClassName = "BooleanTypedProperty";
    static constexpr const char* kType = "boolean";

    BooleanTypedProperty() { type = kType; }

    bool value = false;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
