#pragma once

#include "beacon/model/ModelObject.h"

#include <optional>
#include <string>

namespace beacon {

// A named event property with a type: "type" and "name"; each subclass fixes
// the type and adds "value".
class TypedProperty : public ModelObject {
public:
    static constexpr std::string_view kClassName = "TypedProperty";

    std::optional<std::string> type;
    std::optional<std::string> name;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
