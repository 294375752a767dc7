#pragma once

#include "beacon/archive/Json.h"
#include "beacon/model/ModelObject.h"

#include <memory>
#include <optional>
#include <vector>

namespace beacon::model_lists {

template <typename T> using List = std::vector<std::shared_ptr<T>>;

// Element-wise equality of two lists of model objects.
template <typename T> bool equal(const List<T>& a, const List<T>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!ModelObject::equalObjects(a[i], b[i])) return false;
    return true;
}

template <typename T> bool equal(const std::optional<List<T>>& a, const std::optional<List<T>>& b) {
    if (!a || !b) return !a && !b;
    return equal(*a, *b);
}

// The JSON array of the elements' dictionaries (absent elements left out).
template <typename T> Json serialize(const List<T>& list) {
    Json array = Json::array();
    for (const auto& element : list)
        if (element) array.push_back(element->serializeToDictionary());
    return array;
}

template <typename T> void put(Json& json, const char* key, const std::optional<List<T>>& list) {
    if (list) json[key] = serialize(*list);
}

} // namespace beacon::model_lists
