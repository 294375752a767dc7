#pragma once

#include "beacon/archive/Iso8601.h"
#include "beacon/archive/Json.h"

#include <optional>
#include <string>

namespace beacon::json_fields {

// Writes the value under the key only when it is set.
template <typename T> void put(Json& json, const char* key, const std::optional<T>& value) {
    if (value) json[key] = *value;
}

inline void putDate(Json& json, const char* key, const std::optional<Date>& value) {
    if (value) json[key] = dateToISO8601(*value);
}

// Writes a nested model object's dictionary when the object is set.
template <typename P> void putObject(Json& json, const char* key, const P& object) {
    if (object) json[key] = object->serializeToDictionary();
}

// As putObject, but leaves out an object whose dictionary would be empty.
template <typename P> void putNonEmptyObject(Json& json, const char* key, const P& object) {
    if (!object) return;
    Json value = object->serializeToDictionary();
    if (!value.empty()) json[key] = std::move(value);
}

} // namespace beacon::json_fields
