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

// Reads the fields of one archived object. A key that is absent gives
// nothing; a key whose value has the wrong type, names a class that is not
// allowed, or nests too deeply fails the whole read: the reader remembers the
// first failure and the unarchiver then gives no object at all.
class ArchiveReader {
public:
    using AllowedClasses = std::map<std::string, ArchiveClass, std::less<>>;

    struct State {
        std::shared_ptr<const AllowedClasses> allowed;
        std::string error; // the first failure, empty while all is well
        int depth = 0;
    };

    ArchiveReader(const Json& fields, std::string_view className, State& state);

    bool contains(std::string_view key) const;
    std::optional<std::string> decodeString(std::string_view key);
    std::optional<std::int64_t> decodeInt64(std::string_view key);
    std::optional<double> decodeDouble(std::string_view key);
    std::optional<bool> decodeBool(std::string_view key);
    std::optional<Date> decodeDate(std::string_view key);
    std::optional<std::vector<std::string>> decodeStrings(std::string_view key);
    std::optional<std::map<std::string, std::string>> decodeStringMap(std::string_view key);
    std::optional<Json> decodeJson(std::string_view key);

    template <typename T> std::shared_ptr<T> decodeObject(std::string_view key) {
        const Json* value = find(key);
        if (!value) return nullptr;
        return expect<T>(decodeObjectValue(*value), key);
    }

    // Absent elements stay null.
    template <typename T> std::optional<std::vector<std::shared_ptr<T>>> decodeObjects(std::string_view key) {
        const Json* value = find(key);
        if (!value) return std::nullopt;
        if (!value->is_array()) {
            wrongType(key, "an array");
            return std::nullopt;
        }
        std::vector<std::shared_ptr<T>> objects;
        objects.reserve(value->size());
        for (const auto& element : *value) {
            objects.push_back(element.is_null() ? nullptr : expect<T>(decodeObjectValue(element), key));
            if (failed()) return std::nullopt;
        }
        return objects;
    }

    // Makes an object of an allowed class from its archived form.
    std::shared_ptr<Archivable> decodeObjectValue(const Json& value);
    static std::optional<Date> dateFrom(const Json& value);

    void fail(std::string message);
    bool failed() const { return !state_.error.empty(); }
    const std::string& error() const { return state_.error; }

private:
    const Json* find(std::string_view key) const;
    void wrongType(std::string_view key, std::string_view expected);

    template <typename T> std::shared_ptr<T> expect(std::shared_ptr<Archivable> object, std::string_view key) {
        if (!object) return nullptr;
        auto typed = std::dynamic_pointer_cast<T>(object);
        if (!typed)
            fail("The value for key \"" + std::string(key) + "\" of " + className_ + " is a " +
                 std::string(object->className()) + ", which does not fit there.");
        return typed;
    }

    const Json& fields_;
    std::string className_;
    State& state_;
};

} // namespace beacon
