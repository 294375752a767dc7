#pragma once

#include "beacon/model/ModelObject.h"

#include <optional>
#include <string>

namespace beacon {

// Common-schema location extension: the time zone ("tz", e.g. "-05:00").
class LocExtension : public ModelObject {
public:
    static constexpr std::string_view kClassName = "LocExtension";

    std::optional<std::string> tz;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
