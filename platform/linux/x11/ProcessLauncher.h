#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform::x11 {

// Starts a program with an argument list, never through a shell, in its own
// session so that it outlives Zelvo; the child is reaped in the background.
// The first argument is looked up in PATH. Returns an error text on failure.
std::optional<std::string> launchDetached(const std::vector<std::string>& arguments);

} // namespace platform::x11
