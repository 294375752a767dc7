#pragma once

#include "app/login/LoginItemService.h"
#include "platform/ApplicationId.h"

#include <filesystem>
#include <optional>
#include <string>

namespace app {

// Start at login through an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/<app id>.desktop. The entry is in effect when
// it exists, is a desktop entry of type Application that starts this
// executable, and is not hidden (Hidden=true is how a user switches an entry
// off without deleting it).
class XdgAutostart : public LoginItemService {
public:
    struct Options {
        std::string appId = platform::kApplicationId;
        std::string displayName = "Zelvo";
        std::filesystem::path executable; // empty: the running program
        std::filesystem::path configHome; // empty: platform::configHome()
    };

    explicit XdgAutostart(Options options);

    bool isEnabled() const override;
    LoginItemResult registerItem() override;
    LoginItemResult unregisterItem() override;

    std::filesystem::path entryPath() const;
    const std::filesystem::path& executable() const { return executable_; }

    // The entry's text as registerItem writes it.
    std::string entryText() const;

    // Desktop-entry helpers, exposed for tests.
    // The Exec value that runs `program` with no arguments (quoted and
    // escaped as desktop entries require).
    static std::string execValue(const std::filesystem::path& program);
    // The program of an Exec value (its first argument, unquoted); nothing
    // when the value is malformed.
    static std::optional<std::string> execProgram(const std::string& exec);

private:
    Options options_;
    std::filesystem::path executable_;
};

// The path that starts this program again at the next login, or empty: the
// AppImage file when running from one ($APPIMAGE; /proc/self/exe is inside
// a temporary mount then), else /proc/self/exe without the " (deleted)" an
// upgrade that replaced the file while running leaves on it.
std::filesystem::path currentExecutable();
// The same from the link's text and the APPIMAGE value (may be null).
std::filesystem::path launchableExecutable(const std::string& procSelfExe, const char* appImage);

} // namespace app
