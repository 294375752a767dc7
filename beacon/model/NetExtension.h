#pragma once

#include "beacon/model/ModelObject.h"

#include <optional>
#include <string>

namespace beacon {

// Common-schema network extension: the carrier ("provider").
class NetExtension : public ModelObject {
public:
    static constexpr std::string_view kClassName = "NetExtension";

    std::optional<std::string> provider;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
