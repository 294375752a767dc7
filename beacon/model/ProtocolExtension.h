#pragma once

#include "beacon/model/ModelObject.h"

#include <optional>
#include <string>
#include <vector>

namespace beacon {

// Common-schema protocol extension: "ticketKeys", "devMake" (maker of the
// device) and "devModel" (its model).
class ProtocolExtension : public ModelObject {
public:
    static constexpr std::string_view kClassName = "ProtocolExtension";

    std::optional<std::vector<std::string>> ticketKeys;
    std::optional<std::string> devMake;
    std::optional<std::string> devModel;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
