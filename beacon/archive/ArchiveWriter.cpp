#include "beacon/archive/ArchiveWriter.h"

#include "beacon/archive/ArchiveFormat.h"

namespace beacon {

void ArchiveWriter::encodeString(std::string_view key, const std::optional<std::string>& value) {
    if (value) fields_[std::string(key)] = *value;
}

void ArchiveWriter::encodeInt64(std::string_view key, std::optional<std::int64_t> value) {
    if (value) fields_[std::string(key)] = *value;
}

void ArchiveWriter::encodeDouble(std::string_view key, std::optional<double> value) {
    if (value) fields_[std::string(key)] = *value;
}

void ArchiveWriter::encodeBool(std::string_view key, std::optional<bool> value) {
    if (value) fields_[std::string(key)] = *value;
}

void ArchiveWriter::encodeDate(std::string_view key, std::optional<Date> value) {
    if (value) fields_[std::string(key)] = dateValue(*value);
}

void ArchiveWriter::encodeStrings(std::string_view key, const std::optional<std::vector<std::string>>& value) {
    if (value) fields_[std::string(key)] = *value;
}

void ArchiveWriter::encodeStringMap(std::string_view key,
                                    const std::optional<std::map<std::string, std::string>>& value) {
    if (!value) return;
    Json map = Json::object();
    for (const auto& [k, v] : *value) map[k] = v;
    fields_[std::string(key)] = std::move(map);
}

void ArchiveWriter::encodeJson(std::string_view key, const Json& value) {
    fields_[std::string(key)] = Json{{archive_format::kJsonKey, value}};
}

void ArchiveWriter::encodeObject(std::string_view key, const Archivable* object) {
    if (object) fields_[std::string(key)] = objectValue(*object);
}

Json ArchiveWriter::objectValue(const Archivable& object) {
    ArchiveWriter writer;
    writer.fields_[archive_format::kClassKey] = std::string(object.className());
    object.encode(writer);
    return std::move(writer.fields_);
}

Json ArchiveWriter::dateValue(Date date) {
    auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(date.time_since_epoch()).count();
    return Json{{archive_format::kDateKey, static_cast<std::int64_t>(nanos)}};
}

} // namespace beacon
