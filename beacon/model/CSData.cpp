#include "beacon/model/CSData.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"

namespace beacon {

namespace {
constexpr const char* kBaseType = "baseType";
constexpr const char* kBaseData = "baseData";
} // namespace

Json CSData::serializeToDictionary() const {
    Json json = Json::object();
    for (const char* key : {kBaseType, kBaseData})
        if (const Json* value = properties.objectForKey(key)) json[key] = *value;
    properties.forEach([&json](const std::string& key, const Json& value) {
        if (key != kBaseType && key != kBaseData) json[key] = value;
    });
    return json;
}

bool CSData::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const CSData*>(&other);
    return o && properties == o->properties;
}

void CSData::encode(ArchiveWriter& w) const {
    Json map = Json::object();
    properties.forEach([&map](const std::string& key, const Json& value) { map[key] = value; });
    w.encodeJson("properties", map);
}

void CSData::decode(ArchiveReader& r) {
    properties.removeAllObjects();
    auto map = r.decodeJson("properties");
    if (!map) return;
    if (!map->is_object()) {
        r.fail("The properties of CSData are not a dictionary.");
        return;
    }
    for (const auto& [key, value] : map->items()) properties.setObject(value, key);
}

} // namespace beacon
