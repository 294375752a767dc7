// The program `zelvo`: its command line, then the switcher from the library
// beside it (the build tree) or in the installation's private library folder.
#include "app/main/CommandLine.h"

#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <string>

namespace {

constexpr const char* kLibrary = "libzelvo-desktop.so";

} // namespace

int main(int argc, char** argv) {
    if (auto exitStatus = app::handleCommandLine(argc, argv)) return *exitStatus;
    std::error_code ec;
    const auto dir = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
    std::string error = "cannot find the program's folder";
    for (const auto& candidate : {dir / kLibrary, dir / ZELVO_DESKTOP_LIBRARY_DIR / kLibrary}) {
        if (!std::filesystem::exists(candidate, ec)) continue;
        void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            error = dlerror();
            break;
        }
        using Entry = int (*)(int, char**);
        if (auto entry = reinterpret_cast<Entry>(dlsym(library, "zelvoDesktopMain"))) return entry(argc, argv);
        error = dlerror();
        break;
    }
    std::fprintf(stderr, "zelvo: cannot load the switcher (%s): %s\n", kLibrary, error.c_str());
    return 1;
}
