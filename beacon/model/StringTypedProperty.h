#pragma once

#include "beacon/model/TypedProperty.h"

#include <optional>
#include <string>

namespace beacon {

// A text property ("string"), written as a JSON string.
class StringTypedProperty : public TypedProperty {
public:
    static constexpr std::string_view kClassName = "StringTypedProperty";
    static constexpr const char* kType = "string";

    StringTypedProperty() { type = kType; }

    std::optional<std::string> value;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
