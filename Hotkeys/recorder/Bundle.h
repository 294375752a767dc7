#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Hotkeys {

// The recorder's resource bundle: the folder "Hotkeys_Hotkeys.bundle" with
// one "<language>.lproj/Localizable.json" (an object of key → text) per
// language. It is looked for next to the program, then in share/zelvo/ of
// the program's prefix, then in the configured installation's data folder; Zelvo cannot show its recorder without it.
class Bundle {
public:
    static constexpr const char* kDirectoryName = "Hotkeys_Hotkeys.bundle";

    // The bundle of this program. When none is found the program stops with
    // "unable to find bundle named Hotkeys_Hotkeys".
    static const Bundle& module();

    // Where module() looks, in order.
    static std::vector<std::filesystem::path> candidates();
    // Opens the bundle at `directory` for `language` (English as fallback);
    // nothing when the folder holds no readable table.
    static std::optional<Bundle> open(const std::filesystem::path& directory, const std::string& language);
    // The language of the user's messages locale ("de" for de_DE.UTF-8).
    static std::string userLanguage();

    // The text of `key`; the key itself when the tables have none.
    std::string localized(const std::string& key) const;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::map<std::string, std::string> table_;
};

// Replaces the one "%@" (or "%s") of a localised format by `argument`.
std::string formatLocalized(const std::string& format, const std::string& argument);

} // namespace Hotkeys
