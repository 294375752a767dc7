#include "beacon/model/LogWithProperties.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"

namespace beacon {

namespace {
constexpr const char* kProperties = "properties";
} // namespace

Json LogWithProperties::serializeToDictionary() const {
    Json json = AbstractLog::serializeToDictionary();
    if (properties && !properties->empty()) {
        Json map = Json::object();
        for (const auto& [key, value] : *properties) map[key] = value;
        json[kProperties] = std::move(map);
    }
    return json;
}

bool LogWithProperties::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const LogWithProperties*>(&other);
    return o && AbstractLog::isEqual(other) && properties == o->properties;
}

void LogWithProperties::encode(ArchiveWriter& w) const {
    AbstractLog::encode(w);
    w.encodeStringMap(kProperties, properties);
}

void LogWithProperties::decode(ArchiveReader& r) {
    AbstractLog::decode(r);
    properties = r.decodeStringMap(kProperties);
}

} // namespace beacon
