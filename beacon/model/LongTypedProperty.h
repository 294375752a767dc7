#pragma once

#include "beacon/model/TypedProperty.h"

#include <cstdint>

namespace beacon {

// An integer property ("long"), written as a signed 64-bit JSON number.
class LongTypedProperty : public TypedProperty {
public:
    static constexpr std::string_view kClassName = "LongTypedProperty";
    static constexpr const char* kType = "long";

    LongTypedProperty() { type = kType; }

    std::int64_t value = 0;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
