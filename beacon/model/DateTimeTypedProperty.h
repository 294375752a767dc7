#pragma once

#include "beacon/model/TypedProperty.h"

#include "beacon/archive/Iso8601.h"

#include <optional>

namespace beacon {

// A date property ("dateTime"), written as ISO-8601 text.
class DateTimeTypedProperty : public TypedProperty {
public:
    static constexpr std::string_view kClassName = "DateTimeTypedProperty";
    static constexpr const char* kType = "dateTime";

    DateTimeTypedProperty() { type = kType; }

    std::optional<Date> value;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
