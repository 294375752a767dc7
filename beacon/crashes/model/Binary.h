#pragma once

#include "beacon/model/ModelObject.h"

#include <cstdint>
#include <optional>
#include <string>

namespace beacon {

// An image loaded in a crashed process. Valid with id, start and end
// addresses, name and path.
class Binary : public ModelObject {
public:
    static constexpr std::string_view kClassName = "Binary";

    std::optional<std::string> binaryId;
    std::optional<std::string> startAddress;
    std::optional<std::string> endAddress;
    std::optional<std::string> name;
    std::optional<std::string> path;
    std::optional<std::string> architecture;
    std::optional<std::int64_t> primaryArchitectureId;
    std::optional<std::int64_t> architectureVariantId;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
