#pragma once

#include "beacon/analytics/model/EventProperties.h"
#include "beacon/analytics/model/LogWithNameAndProperties.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace beacon {

class CSData;

// A named event ("event") with an id ("id") and typed properties
// ("typedProperties", the array of the properties' dictionaries). The typed
// properties take no part in equality.
class EventLog : public LogWithNameAndProperties {
public:
    static constexpr std::string_view kClassName = "EventLog";
    static constexpr const char* kType = "event";

    EventLog() { type = kType; }

    std::optional<std::string> eventId;
    std::shared_ptr<EventProperties> typedProperties;

    // Common-schema type ids of the typed-property types that carry
    // metadata: "long" 4, "double" 6, "dateTime" 9.
    static const std::map<std::string, int>& metadataTypeIdMapping();

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    // Needs the base log's fields, the name and the event id.
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;

    // The base conversion plus the event's name, data and metadata and its
    // tag. Removes the "baseType"/"baseData" properties that cannot be sent
    // from this event's own properties.
    std::shared_ptr<CommonSchemaLog> toCommonSchemaLog(const std::string& token, LogFlags flags) const override;
    void setPropertiesAndMetadataForCSLog(CommonSchemaLog& csLog) const;

    // Stores one property in the data tree under its dotted name and its type
    // id in the metadata tree. Answers whether it was stored; a conflict
    // (the place is taken, or a prefix of the name holds a value) stores
    // nothing and leaves no metadata behind.
    static bool addTypedProperty(const TypedProperty& property, Json& metadata, Json& data);
    // Stores the value under `key` of `tree` unless the tree is missing or
    // the key is taken (warning; the first value wins).
    static bool addTypedProperty(const TypedProperty& property, Json* tree, const std::string& key);
};

} // namespace beacon
