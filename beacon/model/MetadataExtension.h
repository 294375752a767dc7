#pragma once

#include "beacon/model/ModelObject.h"

namespace beacon {

// Common-schema metadata extension: its dictionary is the extension's whole
// content, written as given (key order kept).
class MetadataExtension : public ModelObject {
public:
    static constexpr std::string_view kClassName = "MetadataExtension";

    Json metadata = Json::object();

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
