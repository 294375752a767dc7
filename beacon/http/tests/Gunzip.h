#pragma once

#include <optional>
#include <string>

namespace beacon::test {

// gzip-inflates `data`; nullopt when it is not one complete gzip stream.
std::optional<std::string> gunzip(const std::string& data);

} // namespace beacon::test
