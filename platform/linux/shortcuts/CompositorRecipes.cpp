// How Zelvo binds its shortcut on the Wayland compositors it knows: through
// their IPC for the running session (sway, Hyprland), or with the line the
// user adds to their configuration (labwc, niri, river, wayfire).

#include "platform/linux/shortcuts/KeyNames.h"
#include "platform/linux/shortcuts/Recipe.h"

namespace platform::shortcuts {

namespace {

std::string withoutTrailing(std::string text, char c) {
    while (!text.empty() && text.back() == c) text.pop_back();
    return text;
}

// A binding made through the compositor's command-line client, lasting for
// its running session; replaces whatever the compositor bound to the same
// combination until it reloads its configuration.
class IpcRecipe : public Recipe {
public:
    IpcRecipe(RecipeContext context, std::string program) : ctx_(std::move(context)), program_(std::move(program)) {}
    bool sessionOnly() const override { return true; }
    std::string describe(const ShortcutKeys& keys) const override {
        return "Zelvo will bind " + keys.displayName + " in " + program_ + " to show its switcher, at every start of " +
               "Zelvo. For the running session this replaces whatever " + program_ + " itself does with " +
               keys.displayName + ". You can undo it here.";
    }
    TakeOverOutcome takeOver(const ShortcutKeys& keys) override {
        if (keysymName(keys.keyCode).empty()) return {program_ + " has no name for this key.", {}};
        if (!ctx_.run(bindCommand(keys)).succeeded()) return {program_ + " refused the binding.", {}};
        return {{}, Value(true)};
    }
    std::string giveBack(const ShortcutKeys& keys, const Value&) override {
        return ctx_.run(unbindCommand(keys)).succeeded() ? std::string() : program_ + " refused to drop the binding.";
    }

protected:
    virtual std::vector<std::string> bindCommand(const ShortcutKeys& keys) const = 0;
    virtual std::vector<std::string> unbindCommand(const ShortcutKeys& keys) const = 0;
    RecipeContext ctx_;
    std::string program_;
};

class SwayRecipe : public IpcRecipe {
public:
    explicit SwayRecipe(RecipeContext context) : IpcRecipe(std::move(context), "sway") {}

private:
    static std::string combination(const ShortcutKeys& keys) {
        return spellModifiers(keys, {"Mod4", "Ctrl", "Mod1", "Shift", "+"}) + keysymName(keys.keyCode);
    }
    std::vector<std::string> bindCommand(const ShortcutKeys& keys) const override {
        // "--" ends swaymsg's own options: the rest is sway's command.
        return {"swaymsg", "--", "bindsym", "--no-warn", combination(keys), "exec", ctx_.showCommand};
    }
    std::vector<std::string> unbindCommand(const ShortcutKeys& keys) const override {
        return {"swaymsg", "--", "unbindsym", combination(keys)};
    }
};

class HyprlandRecipe : public IpcRecipe {
public:
    explicit HyprlandRecipe(RecipeContext context) : IpcRecipe(std::move(context), "Hyprland") {}

private:
    static std::string combination(const ShortcutKeys& keys) {
        return withoutTrailing(spellModifiers(keys, {"SUPER", "CTRL", "ALT", "SHIFT", " "}), ' ') + "," +
               keysymName(keys.keyCode);
    }
    std::vector<std::string> bindCommand(const ShortcutKeys& keys) const override {
        return {"hyprctl", "keyword", "bind", combination(keys) + ",exec," + ctx_.showCommand};
    }
    std::vector<std::string> unbindCommand(const ShortcutKeys& keys) const override {
        return {"hyprctl", "keyword", "unbind", combination(keys)};
    }
};

// A compositor bound through its configuration file only.
class ConfigLineRecipe : public Recipe {
public:
    using Line = std::string (*)(const ShortcutKeys&, const std::string& command);
    ConfigLineRecipe(std::filesystem::path file, std::string where, Line line, std::string command)
        : file_(std::move(file)), where_(std::move(where)), line_(line), command_(std::move(command)) {}
    bool canTakeOver() const override { return false; }
    // Where the line goes, as a sentence leading to it.
    std::string describe(const ShortcutKeys&) const override { return "Add this " + where_ + " " + file_.string() + ":"; }
    TakeOverOutcome takeOver(const ShortcutKeys&) override { return {"Add the line to the configuration.", {}}; }
    std::string giveBack(const ShortcutKeys&, const Value&) override { return {}; }
    std::string configLine(const ShortcutKeys& keys) const override {
        return keysymName(keys.keyCode).empty() ? std::string() : line_(keys, command_);
    }
    std::string configFile() const override { return file_.string(); }

private:
    std::filesystem::path file_;
    std::string where_;
    Line line_;
    std::string command_;
};

std::string labwcLine(const ShortcutKeys& keys, const std::string& command) {
    return "<keybind key=\"" + spellModifiers(keys, {"W", "C", "A", "S", "-"}) + keysymName(keys.keyCode) +
           "\"><action name=\"Execute\" command=\"" + command + "\"/></keybind>";
}

std::string niriLine(const ShortcutKeys& keys, const std::string& command) {
    std::string spawn;
    std::size_t start = 0;
    // niri spawns an argument list: one quoted string per word.
    while (start < command.size()) {
        auto end = command.find(' ', start);
        if (end == std::string::npos) end = command.size();
        spawn += " \"" + command.substr(start, end - start) + "\"";
        start = end + 1;
    }
    return spellModifiers(keys, {"Super", "Ctrl", "Alt", "Shift", "+"}) + keysymName(keys.keyCode) + " { spawn" +
           spawn + "; }";
}

std::string riverLine(const ShortcutKeys& keys, const std::string& command) {
    return "riverctl map normal " +
           withoutTrailing(spellModifiers(keys, {"Super", "Control", "Alt", "Shift", "+", "None"}), '+') + " " +
           keysymName(keys.keyCode) + " spawn '" + command + "'";
}

std::string wayfireLine(const ShortcutKeys& keys, const std::string& command) {
    return "[command]\nbinding_zelvo = " + spellModifiers(keys, {"<super>", "<ctrl>", "<alt>", "<shift>", " "}) +
           inputEventName(keys.keyCode) + "\ncommand_zelvo = " + command;
}

} // namespace

std::unique_ptr<Recipe> compositorRecipe(const std::string& name, const RecipeContext& context) {
    if (nameContains(name, "sway")) return std::make_unique<SwayRecipe>(context);
    if (nameContains(name, "hyprland")) return std::make_unique<HyprlandRecipe>(context);
    const auto& config = context.configHome;
    if (nameContains(name, "labwc"))
        return std::make_unique<ConfigLineRecipe>(config / "labwc/rc.xml", "inside the <keyboard> section of", labwcLine, context.showCommand);
    if (nameContains(name, "niri"))
        return std::make_unique<ConfigLineRecipe>(config / "niri/config.kdl", "inside the binds section of", niriLine, context.showCommand);
    if (nameContains(name, "river"))
        return std::make_unique<ConfigLineRecipe>(config / "river/init", "line to", riverLine, context.showCommand);
    if (nameContains(name, "wayfire"))
        return std::make_unique<ConfigLineRecipe>(config / "wayfire.ini", "to", wayfireLine, context.showCommand);
    return nullptr;
}

} // namespace platform::shortcuts
