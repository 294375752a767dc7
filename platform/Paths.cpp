#include "platform/Paths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

fs::path home() {
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

fs::path xdg(const char* variable, const char* fallback) {
    // Relative values are invalid by the XDG rules and are ignored.
    if (const char* v = std::getenv(variable); v && *v == '/') return v;
    return home() / fallback;
}

} // namespace

fs::path configHome() { return xdg("XDG_CONFIG_HOME", ".config"); }
fs::path dataHome() { return xdg("XDG_DATA_HOME", ".local/share"); }
fs::path cacheHome() { return xdg("XDG_CACHE_HOME", ".cache"); }

fs::path zelvoConfigDir() { return configHome() / "zelvo"; }
fs::path zelvoDataDir() { return dataHome() / "zelvo"; }
fs::path zelvoCacheDir() { return cacheHome() / "zelvo"; }

} // namespace platform
