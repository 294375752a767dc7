// The conversion of an event into a common-schema log: dotted property names
// become nested objects of the data, typed values get their type ids in the
// metadata extension, and "baseType"/"baseData" must come together.
#include "beacon/analytics/model/EventLog.h"

#include "beacon/logger/Logger.h"
#include "beacon/model/BooleanTypedProperty.h"
#include "beacon/model/CommonSchemaLog.h"
#include "beacon/model/DateTimeTypedProperty.h"
#include "beacon/model/DoubleTypedProperty.h"
#include "beacon/model/LongTypedProperty.h"
#include "beacon/model/StringTypedProperty.h"

#include <vector>

namespace beacon {

namespace {
constexpr const char* kBaseType = "baseType";
constexpr const char* kBaseData = "baseData";
constexpr const char* kFields = "f";

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

std::vector<std::string> split(const std::string& name) {
    std::vector<std::string> segments;
    std::string::size_type start = 0;
    while (true) {
        auto dot = name.find('.', start);
        segments.push_back(name.substr(start, dot - start));
        if (dot == std::string::npos) return segments;
        start = dot + 1;
    }
}

// The object under `key` of `node`, made when absent; null when the key holds
// a value that is not an object.
Json* childObject(Json& node, const std::string& key) {
    auto it = node.find(key);
    if (it == node.end()) return &(node[key] = Json::object());
    return it->is_object() ? &*it : nullptr;
}
} // namespace

std::shared_ptr<CommonSchemaLog> EventLog::toCommonSchemaLog(const std::string& token, LogFlags flags) const {
    auto csLog = AbstractLog::toCommonSchemaLog(token, flags);
    csLog->name = name;
    setPropertiesAndMetadataForCSLog(*csLog);
    csLog->tag = tag;
    return csLog;
}

void EventLog::setPropertiesAndMetadataForCSLog(CommonSchemaLog& csLog) const {
    if (!typedProperties) return;
    const std::string baseTypePrefix = std::string(kBaseType) + ".";
    const std::string baseDataPrefix = std::string(kBaseData) + ".";

    auto baseType = typedProperties->property(kBaseType);
    if (dynamic_cast<const StringTypedProperty*>(baseType.get())) {
        bool hasBaseData = false;
        for (const auto& p : typedProperties->properties())
            hasBaseData = hasBaseData || startsWith(*p->name, baseDataPrefix);
        if (!hasBaseData) {
            BEACON_ANALYTICS_LOG_WARNING("baseType was set but baseData is missing.");
            typedProperties->removeProperty(kBaseType);
        }
    } else {
        bool removed = false;
        for (const auto& p : typedProperties->properties())
            if (startsWith(*p->name, baseDataPrefix)) {
                typedProperties->removeProperty(*p->name);
                removed = true;
            }
        if (removed) BEACON_ANALYTICS_LOG_WARNING("baseData was set but baseType is missing or invalid.");
        typedProperties->removeProperty(kBaseType);
    }

    Json data = Json::object();
    Json metadata = Json::object();
    for (const auto& p : typedProperties->properties()) {
        if (startsWith(*p->name, baseTypePrefix)) {
            BEACON_ANALYTICS_LOG_WARNING("baseType must not be an object.");
            continue;
        }
        if (*p->name == kBaseData) {
            BEACON_ANALYTICS_LOG_WARNING("baseData must be an object.");
            continue;
        }
        addTypedProperty(*p, metadata, data);
    }

    if (!data.empty()) {
        csLog.data = std::make_shared<CSData>();
        for (auto& [key, value] : data.items()) csLog.data->properties.setObject(value, key);
    }
    if (!metadata.empty()) {
        if (!csLog.ext) csLog.ext = std::make_shared<CSExtensions>();
        csLog.ext->metadataExt = std::make_shared<MetadataExtension>();
        csLog.ext->metadataExt->metadata = std::move(metadata);
    }
}

bool EventLog::addTypedProperty(const TypedProperty& property, Json& metadata, Json& data) {
    const auto& mapping = metadataTypeIdMapping();
    auto typeId = property.type ? mapping.find(*property.type) : mapping.end();
    const auto segments = split(property.name.value_or(""));

    Json* node = &data;
    for (std::size_t i = 0; node && i + 1 < segments.size(); ++i) node = childObject(*node, segments[i]);
    if (!addTypedProperty(property, node, segments.back())) return false;
    if (typeId == mapping.end()) return true;

    // The metadata mirrors the data's nesting: each level keeps its field
    // types under "f".
    Json* meta = &metadata;
    for (std::size_t i = 0; meta && i + 1 < segments.size(); ++i) {
        Json* fields = childObject(*meta, kFields);
        meta = fields ? childObject(*fields, segments[i]) : nullptr;
    }
    if (Json* fields = meta ? childObject(*meta, kFields) : nullptr) (*fields)[segments.back()] = typeId->second;
    return true;
}

bool EventLog::addTypedProperty(const TypedProperty& property, Json* tree, const std::string& key) {
    if (!tree || tree->contains(key)) {
        BEACON_ANALYTICS_LOG_WARNING("Property key '", key, "' already has a value, choosing one.");
        return false;
    }
    if (auto* s = dynamic_cast<const StringTypedProperty*>(&property)) (*tree)[key] = s->value.value_or("");
    else if (auto* b = dynamic_cast<const BooleanTypedProperty*>(&property)) (*tree)[key] = b->value;
    else if (auto* l = dynamic_cast<const LongTypedProperty*>(&property)) (*tree)[key] = l->value;
    else if (auto* d = dynamic_cast<const DoubleTypedProperty*>(&property)) (*tree)[key] = d->value;
    else if (auto* t = dynamic_cast<const DateTimeTypedProperty*>(&property); t && t->value)
        (*tree)[key] = dateToISO8601(*t->value);
    return true;
}

} // namespace beacon
