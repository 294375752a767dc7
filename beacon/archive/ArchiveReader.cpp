#include "beacon/archive/ArchiveReader.h"

#include "beacon/archive/ArchiveFormat.h"

#include <limits>

namespace beacon {

namespace {

std::optional<std::int64_t> int64From(const Json& value) {
    if (value.is_number_integer() && !value.is_number_unsigned()) return value.get<std::int64_t>();
    if (value.is_number_unsigned()) {
        auto u = value.get<std::uint64_t>();
        if (u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return static_cast<std::int64_t>(u);
    }
    return std::nullopt;
}

} // namespace

ArchiveReader::ArchiveReader(const Json& fields, std::string_view className, State& state)
    : fields_(fields), className_(className), state_(state) {}

const Json* ArchiveReader::find(std::string_view key) const {
    if (failed() || !fields_.is_object()) return nullptr;
    auto it = fields_.find(std::string(key));
    if (it == fields_.end() || it->is_null()) return nullptr;
    return &*it;
}

bool ArchiveReader::contains(std::string_view key) const { return find(key) != nullptr; }

void ArchiveReader::fail(std::string message) {
    if (state_.error.empty()) state_.error = std::move(message);
}

void ArchiveReader::wrongType(std::string_view key, std::string_view expected) {
    fail("The value for key \"" + std::string(key) + "\" of " + className_ + " is not " + std::string(expected) + ".");
}

std::optional<std::string> ArchiveReader::decodeString(std::string_view key) {
    const Json* value = find(key);
    if (!value) return std::nullopt;
    if (!value->is_string()) {
        wrongType(key, "a string");
        return std::nullopt;
    }
    return value->get<std::string>();
}

std::optional<std::int64_t> ArchiveReader::decodeInt64(std::string_view key) {
    const Json* value = find(key);
    if (!value) return std::nullopt;
    auto result = int64From(*value);
    if (!result) wrongType(key, "a signed 64-bit integer");
    return result;
}

std::optional<double> ArchiveReader::decodeDouble(std::string_view key) {
    const Json* value = find(key);
    if (!value) return std::nullopt;
    if (!value->is_number()) {
        wrongType(key, "a number");
        return std::nullopt;
    }
    return value->get<double>();
}

std::optional<bool> ArchiveReader::decodeBool(std::string_view key) {
    const Json* value = find(key);
    if (!value) return std::nullopt;
    if (!value->is_boolean()) {
        wrongType(key, "a boolean");
        return std::nullopt;
    }
    return value->get<bool>();
}

std::optional<Date> ArchiveReader::dateFrom(const Json& value) {
    if (!value.is_object() || value.size() != 1 || !value.contains(archive_format::kDateKey)) return std::nullopt;
    auto nanos = int64From(value[archive_format::kDateKey]);
    if (!nanos) return std::nullopt;
    return Date{std::chrono::duration_cast<Date::duration>(std::chrono::nanoseconds{*nanos})};
}

std::optional<Date> ArchiveReader::decodeDate(std::string_view key) {
    const Json* value = find(key);
    if (!value) return std::nullopt;
    auto date = dateFrom(*value);
    if (!date) wrongType(key, "a date");
    return date;
}

std::optional<std::vector<std::string>> ArchiveReader::decodeStrings(std::string_view key) {
    const Json* value = find(key);
    if (!value) return std::nullopt;
    std::vector<std::string> strings;
    if (value->is_array()) {
        for (const auto& element : *value) {
            if (!element.is_string()) break;
            strings.push_back(element.get<std::string>());
        }
        if (strings.size() == value->size()) return strings;
    }
    wrongType(key, "an array of strings");
    return std::nullopt;
}

std::optional<std::map<std::string, std::string>> ArchiveReader::decodeStringMap(std::string_view key) {
    const Json* value = find(key);
    if (!value) return std::nullopt;
    std::map<std::string, std::string> map;
    if (value->is_object()) {
        for (const auto& [k, v] : value->items()) {
            if (!v.is_string()) break;
            map.emplace(k, v.get<std::string>());
        }
        if (map.size() == value->size()) return map;
    }
    wrongType(key, "a dictionary of strings");
    return std::nullopt;
}

std::optional<Json> ArchiveReader::decodeJson(std::string_view key) {
    const Json* value = find(key);
    if (!value) return std::nullopt;
    if (!value->is_object() || value->size() != 1 || !value->contains(archive_format::kJsonKey)) {
        wrongType(key, "JSON content");
        return std::nullopt;
    }
    return (*value)[archive_format::kJsonKey];
}

std::shared_ptr<Archivable> ArchiveReader::decodeObjectValue(const Json& value) {
    if (failed()) return nullptr;
    auto name = value.is_object() ? value.find(archive_format::kClassKey) : value.end();
    if (!value.is_object() || name == value.end() || !name->is_string()) {
        fail("An archived object in " + className_ + " has no class name.");
        return nullptr;
    }
    const auto& className = name->get_ref<const std::string&>();
    auto allowed = state_.allowed ? state_.allowed->find(className) : AllowedClasses::const_iterator{};
    if (!state_.allowed || allowed == state_.allowed->end()) {
        fail("The class \"" + className + "\" is not allowed to be unarchived.");
        return nullptr;
    }
    if (state_.depth >= archive_format::kMaxDepth) {
        fail("The archive nests objects deeper than " + std::to_string(archive_format::kMaxDepth) + " levels.");
        return nullptr;
    }
    auto object = allowed->second.make();
    if (!object) {
        fail("The class \"" + className + "\" could not be made.");
        return nullptr;
    }
    ++state_.depth;
    ArchiveReader reader(value, className, state_);
    object->decode(reader);
    --state_.depth;
    return failed() ? nullptr : object;
}

} // namespace beacon
