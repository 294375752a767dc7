#pragma once

#include "beacon/model/ModelObject.h"

#include <optional>
#include <string>

namespace beacon {

// Common-schema operating-system extension: "name" and "ver" (e.g. "Version 6.1.0 (Build #1 SMP)").
class OSExtension : public ModelObject {
public:
    static constexpr std::string_view kClassName = "OSExtension";

    std::optional<std::string> name;
    std::optional<std::string> ver;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
