#pragma once

#include "platform/ShortcutHost.h"
#include "platform/UserDefaults.h"
#include "platform/linux/shortcuts/Recipe.h"

#include <memory>

namespace platform::shortcuts {

// The command a compositor binding runs: "zelvo --show" when the `zelvo`
// found in PATH is this program, its full path otherwise.
std::string zelvoShowCommand();

// The shortcut host of the running desktop, through the recipe for its
// program. What was taken over, and what undoes it, is kept in the user's
// settings under "ShortcutTakeover", so it can be given back after a restart.
// Main thread only.
class LinuxShortcutHost : public ShortcutHost {
public:
    LinuxShortcutHost(std::string name, bool compositor, UserDefaults& defaults, std::unique_ptr<Recipe> recipe);

    std::string name() const override { return name_; }
    bool runsZelvoShow() const override { return compositor_; }
    bool canTakeOver(const ShortcutKeys& keys) const override;
    std::string takeOverDescription(const ShortcutKeys& keys) const override;
    std::string takeOver(const ShortcutKeys& keys) override;
    std::string giveBack() override;
    std::optional<ShortcutKeys> takenOver() const override;
    void renew(const ShortcutKeys& current) override;
    std::string configLine(const ShortcutKeys& keys) const override;
    std::string configFile() const override;
    std::string showCommand() const override { return zelvoShowCommand(); }

private:
    void store(const ShortcutKeys& keys, const Value& restore);

    std::string name_;
    bool compositor_;
    UserDefaults& defaults_;
    std::unique_ptr<Recipe> recipe_;
};

// The host for the window manager or compositor of this name, with the
// recipes' context read from the environment. `pid` and `announcedConfig`
// are what the window manager says of itself, when it does.
std::unique_ptr<ShortcutHost> makeShortcutHost(const std::string& name, bool compositor, UserDefaults& defaults,
                                               pid_t pid = 0, const std::filesystem::path& announcedConfig = {});


// The key under which the taken-over shortcut is kept.
inline constexpr const char* kShortcutTakeoverKey = "ShortcutTakeover";

} // namespace platform::shortcuts
