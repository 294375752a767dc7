#pragma once

#include "beacon/archive/Json.h"

#include <optional>
#include <string>
#include <string_view>

namespace beacon {

// UTF-8 JSON text of a value, compact or pretty-printed (two spaces), in
// which no slash is escaped: every "\/" escape is written as a bare "/".
// Text that is not valid UTF-8 cannot be encoded: nothing is given and
// `error` (when asked for) receives the encoder's reason.
std::optional<std::string> jsonText(const Json& value, bool prettyPrint, std::string* error = nullptr);
// The same, with every byte sequence that is not valid UTF-8 written as
// U+FFFD: for a value that must be sent even though some text of it is
// damaged.
std::string jsonTextReplacingInvalidUtf8(const Json& value, bool prettyPrint);

// Rewrites every escaped slash "\/" of a JSON text as "/". Only real escape
// sequences are touched: an escaped backslash followed by a slash ("\\/",
// the string `\/`) stays as it is.
std::string removeEscapedSlashes(std::string_view jsonText);

} // namespace beacon
