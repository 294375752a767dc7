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

// The keys a localized value is looked up with for a messages locale
// ("lang_COUNTRY.ENCODING@MODIFIER"), best first, in the order freedesktop.org
// desktop entries are read with: lang_COUNTRY@MODIFIER, lang_COUNTRY,
// lang@MODIFIER, lang (those the locale has parts for). Empty for "C",
// "POSIX" and no locale.
std::vector<std::string> localeKeys(const std::string& locale);
// The user's messages locale: LC_ALL, else LC_MESSAGES, else LANG.
std::string messagesLocale();

// Reads the [Desktop Entry] group of a desktop file; nothing when the file
// cannot be read or has no such group. The name is the Name[key] of the
// best of `locales` (see localeKeys) the file has, else Name.
std::optional<DesktopEntry> readDesktopEntry(const std::filesystem::path& path,
                                             const std::vector<std::string>& locales = {});

// The argument list of an Exec value: quoting and escapes resolved, field
// codes (%f, %U, ...) dropped, "%%" kept as "%". Empty when the quoting is
// broken.
std::vector<std::string> execArguments(const std::string& exec);

// Desktop entries of the "applications" folders, shared by the X11 and
// Wayland workspaces: the folders under the XDG data
// directories, looked up by id or by StartupWMClass, read once and cached.
// What was not found is looked for again once a folder has changed (an
// application installed while Zelvo runs).
class DesktopEntries {
public:
    DesktopEntries(); // $XDG_DATA_HOME, then $XDG_DATA_DIRS; names for messagesLocale()
    explicit DesktopEntries(std::vector<std::filesystem::path> applicationDirs, const std::string& locale = {});

    std::optional<DesktopEntry> find(const std::string& id);
    // The entry of the first id candidate that has one, else an entry whose
    // StartupWMClass is one of `classes` (empty ones never match).
    std::optional<DesktopEntry> forCandidates(const std::vector<std::string>& ids,
                                              const std::vector<std::string>& classes = {});

private:
    void indexWMClasses();
    // Forgets what was not found when a folder changed since the last look.
    void dropMissesIfChanged();

    std::vector<std::filesystem::path> dirs_;
    std::vector<std::string> locales_;
    std::vector<std::filesystem::file_time_type> dirTimes_;
    std::map<std::string, std::optional<DesktopEntry>> byId_;
    std::map<std::string, DesktopEntry> byWMClass_;
    bool wmClassIndexed_ = false;
};

} // namespace platform::desktop
