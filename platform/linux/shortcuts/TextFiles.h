#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform::shortcuts {

std::optional<std::string> readText(const std::filesystem::path& file);
// Writes through a temporary file and a rename, so a program reading its
// configuration never sees half of it. False when it could not.
bool writeText(const std::filesystem::path& file, const std::string& text);

std::vector<std::string> splitLines(const std::string& text);
std::string joinLines(const std::vector<std::string>& lines);
std::string trimmed(const std::string& text);
bool sameIgnoringCase(const std::string& a, const std::string& b);

} // namespace platform::shortcuts
