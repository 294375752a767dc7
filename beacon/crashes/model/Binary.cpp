#include "beacon/crashes/model/Binary.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kId = "id";
constexpr const char* kStartAddress = "startAddress";
constexpr const char* kEndAddress = "endAddress";
constexpr const char* kName = "name";
constexpr const char* kPath = "path";
constexpr const char* kArchitecture = "architecture";
constexpr const char* kPrimaryArchitectureId = "primaryArchitectureId";
constexpr const char* kArchitectureVariantId = "architectureVariantId";
} // namespace

Json Binary::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, kId, binaryId);
    json_fields::put(json, kStartAddress, startAddress);
    json_fields::put(json, kEndAddress, endAddress);
    json_fields::put(json, kName, name);
    json_fields::put(json, kPath, path);
    json_fields::put(json, kArchitecture, architecture);
    json_fields::put(json, kPrimaryArchitectureId, primaryArchitectureId);
    json_fields::put(json, kArchitectureVariantId, architectureVariantId);
    return json;
}

std::optional<std::string> Binary::validationError() const {
    const std::pair<const char*, bool> required[] = {
        {kId, binaryId.has_value()},
        {kStartAddress, startAddress.has_value()},
        {kEndAddress, endAddress.has_value()},
        {kName, name.has_value()},
        {kPath, path.has_value()},
    };
    for (const auto& [field, present] : required)
        if (!present) return invalidFieldMessage(className(), field);
    return std::nullopt;
}

bool Binary::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const Binary*>(&other);
    return o && binaryId == o->binaryId && startAddress == o->startAddress && endAddress == o->endAddress &&
           name == o->name && path == o->path && architecture == o->architecture &&
           primaryArchitectureId == o->primaryArchitectureId && architectureVariantId == o->architectureVariantId;
}

void Binary::encode(ArchiveWriter& w) const {
    w.encodeString(kId, binaryId);
    w.encodeString(kStartAddress, startAddress);
    w.encodeString(kEndAddress, endAddress);
    w.encodeString(kName, name);
    w.encodeString(kPath, path);
    w.encodeString(kArchitecture, architecture);
    w.encodeInt64(kPrimaryArchitectureId, primaryArchitectureId);
    w.encodeInt64(kArchitectureVariantId, architectureVariantId);
}

void Binary::decode(ArchiveReader& r) {
    binaryId = r.decodeString(kId);
    startAddress = r.decodeString(kStartAddress);
    endAddress = r.decodeString(kEndAddress);
    name = r.decodeString(kName);
    path = r.decodeString(kPath);
    architecture = r.decodeString(kArchitecture);
    primaryArchitectureId = r.decodeInt64(kPrimaryArchitectureId);
    architectureVariantId = r.decodeInt64(kArchitectureVariantId);
}

} // namespace beacon
