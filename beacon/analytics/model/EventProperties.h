#pragma once

#include "beacon/archive/Iso8601.h"
#include "beacon/model/ModelObject.h"
#include "beacon/model/TypedProperty.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

// The typed properties of an event, by name, enumerated in the order the
// names were first set. Every setter replaces a property of the same name and
// returns the set itself; refusals are logged and change nothing. Guarded by
// its own lock.
class EventProperties : public ModelObject {
public:
    static constexpr std::string_view kClassName = "EventProperties";

    EventProperties() = default;
    // One string property per entry, named by its key.
    explicit EventProperties(const std::map<std::string, std::string>& strings);
    EventProperties(const EventProperties& other);
    EventProperties& operator=(const EventProperties& other);

    EventProperties& setString(const std::optional<std::string>& value, const std::optional<std::string>& key);
    EventProperties& setDouble(double value, const std::optional<std::string>& key);
    EventProperties& setInt64(std::int64_t value, const std::optional<std::string>& key);
    EventProperties& setBool(bool value, const std::optional<std::string>& key);
    EventProperties& setDate(const std::optional<Date>& value, const std::optional<std::string>& key);

    // Adds every property of `other`, replacing those of the same name.
    void mergeEventProperties(const EventProperties& other);
    // Adds the properties of `other` whose names this set does not have yet.
    void mergeMissing(const EventProperties& other);
    // Stores the property under its own name (replacing).
    void setProperty(std::shared_ptr<TypedProperty> property);
    void removeProperty(const std::string& name);
    std::shared_ptr<TypedProperty> property(const std::string& name) const;

    // The properties in enumeration order.
    std::vector<std::shared_ptr<TypedProperty>> properties() const;
    std::size_t count() const;
    bool isEmpty() const;
    Json serializeToArray() const;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;

    static bool validateKey(const std::optional<std::string>& key);

private:
    void setLocked(std::shared_ptr<TypedProperty> property);

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<TypedProperty>> properties_;
};

} // namespace beacon
