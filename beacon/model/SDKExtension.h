#pragma once

#include "beacon/model/ModelObject.h"

#include <cstdint>
#include <optional>
#include <string>

namespace beacon {

// Common-schema SDK extension: "libVer" ("<sdk name>-<sdk version>"),
// "epoch", "seq" (written only when non-zero) and "installId" (a UUID,
// written in upper case).
class SDKExtension : public ModelObject {
public:
    static constexpr std::string_view kClassName = "SDKExtension";

    std::optional<std::string> libVer;
    std::optional<std::string> epoch;
    std::int64_t seq = 0;
    std::optional<std::string> installId; // UUID text

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
