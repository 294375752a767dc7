#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

// The telemetry storage folder and files below it. Path components are
// relative to the storage folder; components that are absolute or climb out
// of it ("..") are refused. Every operation holds one process-wide lock.

using FileData = std::vector<std::uint8_t>;

// "beacon" in Zelvo's data folder ($XDG_DATA_HOME/zelvo/beacon), created on
// first use and kept for the process.
std::filesystem::path beaconDirectoryURL();
// Uses another folder from now on (an embedder's or a test's); an empty path
// goes back to the default.
void setBeaconDirectoryURL(std::filesystem::path directory);

// Creates the folder with its parents (mode 0700 for new ones).
bool createDirectoryAtURL(const std::filesystem::path& directory);
// Writes the file (empty when no data) unless it exists and overwriting is
// not forced; returns its path, also when it existed and was left alone.
std::optional<std::filesystem::path> createFileAtPathComponent(const std::string& component,
                                                               const std::optional<FileData>& data, bool atomically,
                                                               bool forceOverwrite);
bool deleteItemForPathComponent(const std::string& component);
bool deleteFileAtURL(const std::filesystem::path& path);
std::optional<std::filesystem::path> createDirectoryForPathComponent(const std::string& component);
std::optional<FileData> loadDataForPathComponent(const std::string& component);
// The entries of a folder below the storage folder.
std::optional<std::vector<std::filesystem::path>> contentsOfDirectory(const std::string& component);
bool fileExistsForPathComponent(const std::string& component);
std::optional<std::filesystem::path> fullURLForPathComponent(const std::string& component);
// Writes a file at an absolute path, replacing it atomically.
bool createFileAtPath(const std::filesystem::path& path, const FileData& contents);

} // namespace beacon
