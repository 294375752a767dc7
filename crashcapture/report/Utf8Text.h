#pragma once

#include <string>
#include <string_view>

namespace crashcapture {

// The text with every byte sequence that is not well-formed UTF-8 replaced by
// U+FFFD. Report strings come from a file a crashed process wrote; whatever
// reads the model (JSON encoders above all) can rely on valid UTF-8.
std::string validUtf8(std::string_view bytes);

} // namespace crashcapture
