#include "beacon/analytics/model/LogWithNameAndProperties.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kName = "name";
} // namespace

Json LogWithNameAndProperties::serializeToDictionary() const {
    Json json = LogWithProperties::serializeToDictionary();
    json_fields::put(json, kName, name);
    return json;
}

std::optional<std::string> LogWithNameAndProperties::validationError() const {
    if (auto error = LogWithProperties::validationError()) return error;
    if (!name) return invalidFieldMessage(className(), kName);
    return std::nullopt;
}

bool LogWithNameAndProperties::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const LogWithNameAndProperties*>(&other);
    return o && LogWithProperties::isEqual(other) && name == o->name;
}

void LogWithNameAndProperties::encode(ArchiveWriter& w) const {
    LogWithProperties::encode(w);
    w.encodeString(kName, name);
}

void LogWithNameAndProperties::decode(ArchiveReader& r) {
    LogWithProperties::decode(r);
    name = r.decodeString(kName);
}

bool PageLog::isEqual(const ModelObject& other) const {
    return dynamic_cast<const PageLog*>(&other) && LogWithNameAndProperties::isEqual(other);
}

} // namespace beacon
