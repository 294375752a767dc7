#include "platform/linux/shortcuts/LinuxShortcutHost.h"

#include "platform/Log.h"

#include <cstdlib>
#include <sstream>

namespace platform::shortcuts {

LinuxShortcutHost::LinuxShortcutHost(std::string name, bool compositor, UserDefaults& defaults,
                                     std::unique_ptr<Recipe> recipe)
    : name_(std::move(name)), compositor_(compositor), defaults_(defaults), recipe_(std::move(recipe)) {}

bool LinuxShortcutHost::canTakeOver(const ShortcutKeys&) const { return recipe_ && recipe_->canTakeOver(); }

std::string LinuxShortcutHost::takeOverDescription(const ShortcutKeys& keys) const {
    return recipe_ ? recipe_->describe(keys) : std::string();
}

std::string LinuxShortcutHost::takeOver(const ShortcutKeys& keys) {
    if (!canTakeOver(keys))
        return "Zelvo cannot change the shortcuts of " + (name_.empty() ? "this desktop" : name_) + ".";
    if (auto taken = takenOver()) {
        if (*taken == keys && !recipe_->sessionOnly()) return {};
        if (auto error = giveBack(); !error.empty()) return error;
    }
    auto outcome = recipe_->takeOver(keys);
    if (!outcome.error.empty() && !outcome.changed) return outcome.error;
    store(keys, outcome.restore);
    return outcome.error;
}

std::string LinuxShortcutHost::giveBack() {
    const auto stored = defaults_.object(kShortcutTakeoverKey);
    const auto taken = takenOver();
    if (!taken || !recipe_) return {};
    const auto& record = *stored->asDictionary();
    const auto restore = record.find("restore");
    auto error = recipe_->giveBack(*taken, restore == record.end() ? Value() : restore->second);
    if (error.empty()) defaults_.remove(kShortcutTakeoverKey);
    return error;
}

std::optional<ShortcutKeys> LinuxShortcutHost::takenOver() const {
    const auto stored = defaults_.object(kShortcutTakeoverKey);
    const auto* record = stored ? stored->asDictionary() : nullptr;
    if (!record) return std::nullopt;
    auto field = [&](const char* key) -> const Value* {
        auto it = record->find(key);
        return it == record->end() ? nullptr : &it->second;
    };
    const auto* program = field("program");
    const auto* keyCode = field("keyCode");
    const auto* modifiers = field("modifiers");
    const auto* display = field("displayName");
    if (!program || !program->asString() || *program->asString() != name_ || !keyCode || !keyCode->asInteger() ||
        !modifiers || !modifiers->asInteger())
        return std::nullopt;
    return ShortcutKeys{static_cast<std::uint32_t>(*keyCode->asInteger()),
                        static_cast<std::uint32_t>(*modifiers->asInteger()),
                        display && display->asString() ? *display->asString() : std::string()};
}

void LinuxShortcutHost::renew(const ShortcutKeys& current) {
    if (!recipe_ || !recipe_->sessionOnly()) return;
    const auto taken = takenOver();
    if (!taken) return;
    // The old combination goes first when the shortcut changed; a failure
    // there (it may never have been bound in this session) changes nothing.
    if (!(*taken == current)) recipe_->giveBack(*taken, {});
    auto outcome = recipe_->takeOver(current);
    if (!outcome.error.empty()) {
        logWarning("zelvo: " + current.displayName + " could not be bound in " + name_ + ": " + outcome.error);
        return;
    }
    store(current, outcome.restore);
}

std::string LinuxShortcutHost::configLine(const ShortcutKeys& keys) const {
    return recipe_ ? recipe_->configLine(keys) : std::string();
}

std::string LinuxShortcutHost::configFile() const { return recipe_ ? recipe_->configFile() : std::string(); }

void LinuxShortcutHost::store(const ShortcutKeys& keys, const Value& restore) {
    defaults_.set(kShortcutTakeoverKey, Value(Value::Dictionary{
                                            {"program", Value(name_)},
                                            {"keyCode", Value(static_cast<std::int64_t>(keys.keyCode))},
                                            {"modifiers", Value(static_cast<std::int64_t>(keys.modifiers))},
                                            {"displayName", Value(keys.displayName)},
                                            {"restore", restore},
                                        }));
}

std::string zelvoShowCommand() {
    std::error_code ec;
    const auto self = std::filesystem::canonical("/proc/self/exe", ec);
    if (ec) return "zelvo --show";
    if (const char* path = std::getenv("PATH")) {
        std::istringstream dirs(path);
        for (std::string dir; std::getline(dirs, dir, ':');) {
            if (dir.empty()) continue;
            const auto found = std::filesystem::canonical(std::filesystem::path(dir) / "zelvo", ec);
            if (!ec) return found == self ? "zelvo --show" : self.string() + " --show";
        }
    }
    return self.string() + " --show";
}

std::unique_ptr<ShortcutHost> makeShortcutHost(const std::string& name, bool compositor, UserDefaults& defaults,
                                               pid_t pid, const std::filesystem::path& announcedConfig) {
    RecipeContext context;
    const char* home = std::getenv("HOME");
    context.home = home && *home ? home : "/";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    context.configHome = config && *config ? std::filesystem::path(config) : context.home / ".config";
    context.showCommand = zelvoShowCommand();
    context.programPid = pid;
    context.announcedConfigFile = announcedConfig;
    auto recipe = compositor ? compositorRecipe(name, context) : windowManagerRecipe(name, context);
    return std::make_unique<LinuxShortcutHost>(name, compositor, defaults, std::move(recipe));
}

} // namespace platform::shortcuts
