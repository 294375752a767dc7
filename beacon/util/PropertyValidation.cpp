#include "beacon/util/PropertyValidation.h"

#include "beacon/logger/Logger.h"

namespace beacon {

namespace {

bool isContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

// Byte offset just past the first `maxCharacters` characters.
std::size_t prefixBytes(const std::string& text, std::size_t maxCharacters) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isContinuationByte(static_cast<unsigned char>(text[i]))) continue;
        if (count == maxCharacters) return i;
        ++count;
    }
    return text.size();
}

template <typename Entries, typename ValueOf>
Properties validate(const Entries& entries, const std::string& logName, const std::string& type, ValueOf valueOf) {
    Properties result;
    for (const auto& [rawKey, rawValue] : entries) {
        if (result.size() >= kMaxPropertiesPerLog) {
            BEACON_LOG_WARNING(type, " '", logName, "' : properties cannot contain more than ", kMaxPropertiesPerLog,
                               " items. Skipping other properties.");
            break;
        }
        const std::string* value = valueOf(rawValue);
        if (!value) continue;
        if (rawKey.empty()) {
            BEACON_LOG_WARNING(type, " '", logName,
                               "' : a property key cannot be null or empty. Property will be skipped.");
            continue;
        }
        std::string key = rawKey;
        if (utf8Length(key) > kMaxPropertyKeyLength) {
            BEACON_LOG_WARNING(type, " '", logName, "' : property ", key,
                               " : property key length cannot be longer than ", kMaxPropertyKeyLength,
                               " characters. Property key will be truncated.");
            key = truncateUtf8(key, kMaxPropertyKeyLength);
        }
        std::string text = *value;
        if (utf8Length(text) > kMaxPropertyValueLength) {
            BEACON_LOG_WARNING(type, " '", logName, "' : property '", key, "' : property value cannot be longer than ",
                               kMaxPropertyValueLength, " characters. Property value will be truncated.");
            text = truncateUtf8(text, kMaxPropertyValueLength);
        }
        result[std::move(key)] = std::move(text);
    }
    return result;
}

const std::string* plainString(const std::string& value) { return &value; }

} // namespace

Properties validateProperties(const PropertyList& properties, const std::string& logName, const std::string& type) {
    return validate(properties, logName, type, plainString);
}

Properties validateProperties(const Properties& properties, const std::string& logName, const std::string& type) {
    return validate(properties, logName, type, plainString);
}

Properties validateProperties(const platform::Value::Dictionary& properties, const std::string& logName,
                              const std::string& type) {
    return validate(properties, logName, type, [](const platform::Value& value) { return value.asString(); });
}

std::string truncateUtf8(const std::string& text, std::size_t maxCharacters) {
    return text.substr(0, prefixBytes(text, maxCharacters));
}

std::size_t utf8Length(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text)
        if (!isContinuationByte(c)) ++count;
    return count;
}

} // namespace beacon
