#pragma once

#include <filesystem>

namespace platform {

// XDG base directories, falling back to the usual places under $HOME.
std::filesystem::path configHome();
std::filesystem::path dataHome();
std::filesystem::path cacheHome();

// Zelvo's own folders below them ("zelvo").
std::filesystem::path zelvoConfigDir();
std::filesystem::path zelvoDataDir();
std::filesystem::path zelvoCacheDir();

} // namespace platform
