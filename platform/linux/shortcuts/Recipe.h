#pragma once

#include "platform/ShortcutHost.h"
#include "platform/Value.h"
#include "platform/linux/shortcuts/ProgramRunner.h"

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace platform::shortcuts {

// What the recipes need of the world around them.
struct RecipeContext {
    ProgramRunner run = runProgram;
    std::filesystem::path home;       // $HOME
    std::filesystem::path configHome; // $XDG_CONFIG_HOME or ~/.config
    // The command a compositor runs for the hot key ("zelvo --show").
    std::string showCommand = "zelvo --show";
    // The window manager's process and its configuration file when it
    // announces them (openbox's _OB_CONFIG_FILE); 0 and empty otherwise.
    pid_t programPid = 0;
    // Finds a program's process when it does not announce it.
    std::function<pid_t(const std::string& name)> findProgram = programOnThisDisplay;
    // Waits a moment (a program that notices changed files by their time).
    std::function<void(std::chrono::milliseconds)> pause = [](std::chrono::milliseconds m) {
        std::this_thread::sleep_for(m);
    };
    std::filesystem::path announcedConfigFile;
};

// The result of taking a shortcut over: what giveBack() needs to undo it,
// or what failed. `changed` when the program's settings were changed, even
// if the program then failed to read them: the change stays on record so
// that giving back still undoes it.
struct TakeOverOutcome {
    std::string error;
    Value restore;
    bool changed = false;
};

// How Zelvo changes one program's shortcut settings. A recipe only ever
// changes bindings of the exact combination it is given.
class Recipe {
public:
    virtual ~Recipe() = default;
    virtual bool canTakeOver() const { return true; }
    virtual std::string describe(const ShortcutKeys& keys) const = 0;
    virtual TakeOverOutcome takeOver(const ShortcutKeys& keys) = 0;
    virtual std::string giveBack(const ShortcutKeys& keys, const Value& restore) = 0;
    // True when the change lasts only for the program's running session
    // and is made again at each start.
    virtual bool sessionOnly() const { return false; }
    virtual std::string configLine(const ShortcutKeys&) const { return {}; }
    virtual std::string configFile() const { return {}; }
};

// The recipe for the program of this name (a window manager's EWMH name, a
// compositor's); nothing for a program Zelvo knows no way to change.
std::unique_ptr<Recipe> windowManagerRecipe(const std::string& name, const RecipeContext& context);
std::unique_ptr<Recipe> compositorRecipe(const std::string& name, const RecipeContext& context);

// Whether `name` contains `word`, ignoring case.
bool nameContains(const std::string& name, const std::string& word);

} // namespace platform::shortcuts
