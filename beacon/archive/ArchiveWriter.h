#pragma once

#include "beacon/archive/Archivable.h"
#include "beacon/archive/Iso8601.h"
#include "beacon/archive/Json.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace beacon {

// Collects the fields of one object for an archive (see ArchiverUtil for the
// format). Absent optional values are not written at all.
class ArchiveWriter {
public:
    void encodeString(std::string_view key, const std::optional<std::string>& value);
    void encodeInt64(std::string_view key, std::optional<std::int64_t> value);
    void encodeDouble(std::string_view key, std::optional<double> value);
    void encodeBool(std::string_view key, std::optional<bool> value);
    void encodeDate(std::string_view key, std::optional<Date> value);
    void encodeStrings(std::string_view key, const std::optional<std::vector<std::string>>& value);
    void encodeStringMap(std::string_view key, const std::optional<std::map<std::string, std::string>>& value);
    // Any JSON value, kept as is (objects keep their key order).
    void encodeJson(std::string_view key, const Json& value);
    void encodeObject(std::string_view key, const Archivable* object);
    template <typename T> void encodeObject(std::string_view key, const std::shared_ptr<T>& object) {
        encodeObject(key, static_cast<const Archivable*>(object.get()));
    }
    template <typename T> void encodeObjects(std::string_view key, const std::vector<std::shared_ptr<T>>& objects) {
        Json array = Json::array();
        for (const auto& object : objects) array.push_back(object ? objectValue(*object) : Json());
        fields_[std::string(key)] = std::move(array);
    }

    // The archived form of one object: its class name and its fields.
    static Json objectValue(const Archivable& object);
    static Json dateValue(Date date);

    const Json& fields() const { return fields_; }

private:
    Json fields_ = Json::object();
};

} // namespace beacon
