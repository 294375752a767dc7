#include "beacon/model/MetadataExtension.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"

namespace beacon {

Json MetadataExtension::serializeToDictionary() const { return metadata.is_object() ? metadata : Json::object(); }

bool MetadataExtension::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const MetadataExtension*>(&other);
    return o && metadata == o->metadata;
}

void MetadataExtension::encode(ArchiveWriter& w) const { w.encodeJson("metadata", metadata); }

void MetadataExtension::decode(ArchiveReader& r) {
    auto value = r.decodeJson("metadata");
    if (value && !value->is_object()) r.fail("The metadata of MetadataExtension is not a dictionary.");
    metadata = value && value->is_object() ? std::move(*value) : Json::object();
}

} // namespace beacon
