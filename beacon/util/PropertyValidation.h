#pragma once

#include "platform/Value.h"

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace beacon {

// Limits on the string properties of a log.
inline constexpr std::size_t kMaxPropertiesPerLog = 20;
inline constexpr std::size_t kMaxPropertyKeyLength = 125;
inline constexpr std::size_t kMaxPropertyValueLength = 125;

using Properties = std::map<std::string, std::string>;
// Properties in the order the caller gave them (the order decides which
// ones are kept when there are too many).
using PropertyList = std::vector<std::pair<std::string, std::string>>;

// Returns the properties a log may carry: at most 20 entries, taken in the
// given order; empty keys are dropped; keys and values longer than 125
// characters are cut to 125. Each correction is logged as a warning naming
// the log by `type` (e.g. "Event") and `logName`. Lengths count Unicode
// characters, and a cut never splits one.
Properties validateProperties(const PropertyList& properties, const std::string& logName, const std::string& type);
Properties validateProperties(const Properties& properties, const std::string& logName, const std::string& type);
// Entries whose value is not a string are dropped silently.
Properties validateProperties(const platform::Value::Dictionary& properties, const std::string& logName,
                              const std::string& type);

// The first `maxCharacters` characters of UTF-8 text (whole characters).
std::string truncateUtf8(const std::string& text, std::size_t maxCharacters);
// The number of characters of UTF-8 text.
std::size_t utf8Length(const std::string& text);

} // namespace beacon
