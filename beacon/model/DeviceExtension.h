#pragma once

#include "beacon/model/ModelObject.h"

#include <optional>
#include <string>

namespace beacon {

// Common-schema device extension: a local device id ("localId").
class DeviceExtension : public ModelObject {
public:
    static constexpr std::string_view kClassName = "DeviceExtension";

    std::optional<std::string> localId;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
