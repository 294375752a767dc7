#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform::desktop {

// The parts of a freedesktop desktop entry the workspace uses.
struct DesktopEntry {
    std::string id; // file name without ".desktop"
    std::filesystem::path path;
    std::string name;
    std::string exec;
    std::string icon;
    std::string startupWMClass;
};

// Reads the [Desktop Entry] group of a desktop file; nothing when the file
// cannot be read or has no such group.
std::optional<DesktopEntry> readDesktopEntry(const std::filesystem::path& path);

// The argument list of an Exec value: quoting and escapes resolved, field
// codes (%f, %U, ...) dropped, "%%" kept as "%". Empty when the quoting is
// broken.
std::vector<std::string> execArguments(const std::string& exec);

// Desktop entries of the "applications" folders, shared by the X11 and
// Wayland workspaces: the folders under the XDG data
// directories, looked up by id or by StartupWMClass, read once and cached.
class DesktopEntries {
public:
    DesktopEntries(); // $XDG_DATA_HOME, then $XDG_DATA_DIRS
    explicit DesktopEntries(std::vector<std::filesystem::path> applicationDirs);

    std::optional<DesktopEntry> find(const std::string& id);
    // The entry of the first id candidate that has one, else an entry whose
    // StartupWMClass is one of `classes` (empty ones never match).
    std::optional<DesktopEntry> forCandidates(const std::vector<std::string>& ids,
                                              const std::vector<std::string>& classes = {});

private:
    void indexWMClasses();

    std::vector<std::filesystem::path> dirs_;
    std::map<std::string, std::optional<DesktopEntry>> byId_;
    std::map<std::string, DesktopEntry> byWMClass_;
    bool wmClassIndexed_ = false;
};

} // namespace platform::desktop
