#include "beacon/analytics/model/EventLog.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kId = "id";
constexpr const char* kTypedProperties = "typedProperties";
} // namespace

const std::map<std::string, int>& EventLog::metadataTypeIdMapping() {
    static const std::map<std::string, int> mapping{{"long", 4}, {"double", 6}, {"dateTime", 9}};
    return mapping;
}

Json EventLog::serializeToDictionary() const {
    Json json = LogWithNameAndProperties::serializeToDictionary();
    json_fields::put(json, kId, eventId);
    if (typedProperties) json[kTypedProperties] = typedProperties->serializeToArray();
    return json;
}

std::optional<std::string> EventLog::validationError() const {
    if (auto error = LogWithNameAndProperties::validationError()) return error;
    if (!eventId) return invalidFieldMessage(className(), "eventId");
    return std::nullopt;
}

bool EventLog::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const EventLog*>(&other);
    return o && LogWithNameAndProperties::isEqual(other) && eventId == o->eventId;
}

void EventLog::encode(ArchiveWriter& w) const {
    LogWithNameAndProperties::encode(w);
    w.encodeString(kId, eventId);
    w.encodeObject(kTypedProperties, typedProperties);
}

void EventLog::decode(ArchiveReader& r) {
    LogWithNameAndProperties::decode(r);
    eventId = r.decodeString(kId);
    typedProperties = r.decodeObject<EventProperties>(kTypedProperties);
}

} // namespace beacon
