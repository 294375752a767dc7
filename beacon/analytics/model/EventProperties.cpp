#include "beacon/analytics/model/EventProperties.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/BooleanTypedProperty.h"
#include "beacon/model/DateTimeTypedProperty.h"
#include "beacon/model/DoubleTypedProperty.h"
#include "beacon/model/LongTypedProperty.h"
#include "beacon/model/StringTypedProperty.h"

#include <algorithm>
#include <cmath>

namespace beacon {

namespace {
constexpr const char* kProperties = "properties";

template <typename P, typename V> std::shared_ptr<TypedProperty> make(const std::string& name, V value) {
    auto property = std::make_shared<P>();
    property->name = name;
    property->value = std::move(value);
    return property;
}

bool validateValue(bool present) {
    if (!present) BEACON_ANALYTICS_LOG_ERROR("Value cannot be null. Property will not be added.");
    return present;
}
} // namespace

EventProperties::EventProperties(const std::map<std::string, std::string>& strings) {
    for (const auto& [key, value] : strings) setLocked(make<StringTypedProperty>(key, value));
}

EventProperties::EventProperties(const EventProperties& other) : ModelObject(other), properties_(other.properties()) {}

EventProperties& EventProperties::operator=(const EventProperties& other) {
    if (this != &other) {
        auto copy = other.properties();
        std::lock_guard lock(mutex_);
        properties_ = std::move(copy);
    }
    return *this;
}

bool EventProperties::validateKey(const std::optional<std::string>& key) {
    if (!key) BEACON_ANALYTICS_LOG_ERROR("Key cannot be null. Property will not be added.");
    return key.has_value();
}

EventProperties& EventProperties::setString(const std::optional<std::string>& value,
                                            const std::optional<std::string>& key) {
    if (validateKey(key) && validateValue(value.has_value())) setProperty(make<StringTypedProperty>(*key, value));
    return *this;
}

EventProperties& EventProperties::setDouble(double value, const std::optional<std::string>& key) {
    if (!validateKey(key)) return *this;
    if (!std::isfinite(value)) {
        BEACON_ANALYTICS_LOG_ERROR("Double value for property '", *key,
                                   "' must be finite (cannot be INFINITY or NAN).");
        return *this;
    }
    setProperty(make<DoubleTypedProperty>(*key, value));
    return *this;
}

EventProperties& EventProperties::setInt64(std::int64_t value, const std::optional<std::string>& key) {
    if (validateKey(key)) setProperty(make<LongTypedProperty>(*key, value));
    return *this;
}

EventProperties& EventProperties::setBool(bool value, const std::optional<std::string>& key) {
    if (validateKey(key)) setProperty(make<BooleanTypedProperty>(*key, value));
    return *this;
}

EventProperties& EventProperties::setDate(const std::optional<Date>& value, const std::optional<std::string>& key) {
    if (validateKey(key) && validateValue(value.has_value())) setProperty(make<DateTimeTypedProperty>(*key, value));
    return *this;
}

void EventProperties::setLocked(std::shared_ptr<TypedProperty> property) {
    const std::string& name = *property->name;
    auto it = std::find_if(properties_.begin(), properties_.end(), [&](const auto& p) { return *p->name == name; });
    if (it == properties_.end()) properties_.push_back(std::move(property));
    else *it = std::move(property);
}

void EventProperties::setProperty(std::shared_ptr<TypedProperty> property) {
    if (!property || !property->name) return;
    std::lock_guard lock(mutex_);
    setLocked(std::move(property));
}

void EventProperties::mergeEventProperties(const EventProperties& other) {
    for (auto& property : other.properties()) setProperty(std::move(property));
}

void EventProperties::mergeMissing(const EventProperties& other) {
    for (auto& property : other.properties()) {
        std::lock_guard lock(mutex_);
        bool present = std::any_of(properties_.begin(), properties_.end(),
                                   [&](const auto& p) { return *p->name == *property->name; });
        if (!present) properties_.push_back(std::move(property));
    }
}

void EventProperties::removeProperty(const std::string& name) {
    std::lock_guard lock(mutex_);
    std::erase_if(properties_, [&](const auto& p) { return *p->name == name; });
}

std::shared_ptr<TypedProperty> EventProperties::property(const std::string& name) const {
    std::lock_guard lock(mutex_);
    for (const auto& p : properties_)
        if (*p->name == name) return p;
    return nullptr;
}

std::vector<std::shared_ptr<TypedProperty>> EventProperties::properties() const {
    std::lock_guard lock(mutex_);
    return properties_;
}

std::size_t EventProperties::count() const {
    std::lock_guard lock(mutex_);
    return properties_.size();
}

bool EventProperties::isEmpty() const { return count() == 0; }

Json EventProperties::serializeToArray() const {
    Json array = Json::array();
    for (const auto& p : properties()) array.push_back(p->serializeToDictionary());
    return array;
}

Json EventProperties::serializeToDictionary() const {
    Json json = Json::object();
    json[kProperties] = serializeToArray();
    return json;
}

bool EventProperties::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const EventProperties*>(&other);
    if (!o) return false;
    auto mine = properties();
    auto theirs = o->properties();
    if (mine.size() != theirs.size()) return false;
    for (const auto& p : mine) {
        auto match = o->property(*p->name);
        if (!match || !p->isEqual(*match)) return false;
    }
    return true;
}

void EventProperties::encode(ArchiveWriter& w) const { w.encodeObjects(kProperties, properties()); }

void EventProperties::decode(ArchiveReader& r) {
    auto decoded = r.decodeObjects<TypedProperty>(kProperties);
    std::lock_guard lock(mutex_);
    properties_.clear();
    if (decoded)
        for (auto& p : *decoded)
            if (p && p->name) setLocked(std::move(p));
}

} // namespace beacon
