// How Zelvo takes a combination over from the X11 window managers whose
// settings it knows, and gives it back.

#include "platform/linux/shortcuts/KeyNames.h"
#include "platform/linux/shortcuts/Recipe.h"
#include "platform/linux/shortcuts/TextFiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <map>
#include <sstream>

namespace platform::shortcuts {

bool nameContains(const std::string& name, const std::string& word) {
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
        return s;
    };
    return lower(name).find(lower(word)) != std::string::npos;
}

namespace {

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

const char* kGiveBack = " You can give it back here.";

// A failure after some bindings were already changed: those stay on record.
TakeOverOutcome partly(std::string error, Value::Dictionary taken) {
    const bool changed = !taken.empty();
    return {std::move(error), Value(std::move(taken)), changed};
}

// Openbox: the keybind elements of the combination in its rc.xml are
// replaced by marker comments, and openbox is told to read the file again.
class OpenboxRecipe : public Recipe {
public:
    explicit OpenboxRecipe(RecipeContext context) : ctx_(std::move(context)) {
        file_ = !ctx_.announcedConfigFile.empty() ? ctx_.announcedConfigFile : ctx_.configHome / "openbox/rc.xml";
    }
    std::string describe(const ShortcutKeys& keys) const override {
        return "Zelvo will remove Openbox's own " + keys.displayName + " from " + file_.string() +
               " and reload Openbox." + kGiveBack;
    }
    TakeOverOutcome takeOver(const ShortcutKeys& keys) override {
        auto text = readText(file_);
        if (!text) text = readText("/etc/xdg/openbox/rc.xml");
        if (!text) return {"Cannot read Openbox's settings in " + file_.string() + ".", {}};
        Value::Array taken;
        for (auto range = findBinding(*text, keys); range.first != std::string::npos;
             range = findBinding(*text, keys)) {
            taken.push_back(Value(text->substr(range.first, range.second - range.first)));
            text->replace(range.first, range.second - range.first, marker(taken.size() - 1));
        }
        if (taken.empty()) return {"Openbox's settings have no " + keys.displayName + " to remove.", {}};
        if (!writeText(file_, *text)) return {"Cannot write " + file_.string() + ".", {}};
        return {reload(), Value(std::move(taken)), true};
    }
    std::string giveBack(const ShortcutKeys&, const Value& restore) override {
        auto text = readText(file_);
        const auto* taken = restore.asArray();
        if (!text || !taken) return "Cannot read Openbox's settings in " + file_.string() + ".";
        for (std::size_t i = 0; i < taken->size(); ++i) {
            const auto at = text->find(marker(i));
            const auto* original = (*taken)[i].asString();
            if (at == std::string::npos || !original) return "Openbox's settings changed since; restore it there.";
            text->replace(at, marker(i).size(), *original);
        }
        if (!writeText(file_, *text)) return "Cannot write " + file_.string() + ".";
        return reload();
    }

private:
    static std::string marker(std::size_t i) {
        return "<!-- keybind " + std::to_string(i) + " taken over by Zelvo -->";
    }

    // The first top-level keybind element of the combination: [begin, end).
    static std::pair<std::size_t, std::size_t> findBinding(const std::string& text, const ShortcutKeys& keys) {
        int depth = 0;
        std::size_t begin = std::string::npos;
        for (std::size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
            if (text.compare(at, 10, "</keybind>") == 0) {
                if (--depth == 0 && begin != std::string::npos) return {begin, at + 10};
                continue;
            }
            if (text.compare(at, 8, "<keybind") != 0 || at + 8 >= text.size() ||
                !(std::isspace(static_cast<unsigned char>(text[at + 8])) || text[at + 8] == '>'))
                continue;
            const auto tagEnd = text.find('>', at);
            if (tagEnd == std::string::npos) break;
            const bool selfClosing = text[tagEnd - 1] == '/';
            const bool wanted = depth == 0 && begin == std::string::npos && matches(text.substr(at, tagEnd - at), keys);
            if (wanted && selfClosing) return {at, tagEnd + 1};
            if (wanted) begin = at;
            if (!selfClosing) ++depth;
        }
        return {std::string::npos, std::string::npos};
    }
    static bool matches(const std::string& tag, const ShortcutKeys& keys) {
        const auto k = tag.find("key=\"");
        if (k == std::string::npos) return false;
        const auto end = tag.find('"', k + 5);
        std::vector<std::string> parts;
        std::string part;
        for (char c : tag.substr(k + 5, end - k - 5)) {
            if (c == '-' && !part.empty()) {
                parts.push_back(part);
                part.clear();
            } else {
                part += c;
            }
        }
        return !part.empty() && spellsKeys(keys, parts, part);
    }
    std::string reload() {
        if (!ctx_.run({"openbox", "--reconfigure"}).succeeded()) return "Openbox did not reload its settings.";
        return {};
    }

    RecipeContext ctx_;
    std::filesystem::path file_;
};

// xfwm4: its shortcuts are xfconf properties "/xfwm4/custom/<accelerator>"
// naming an action; the combination's are removed and later set back.
// Removed, not emptied: xfwm4 keeps the grab of a shortcut whose action is
// an empty text.
class XfwmRecipe : public Recipe {
public:
    explicit XfwmRecipe(RecipeContext context) : ctx_(std::move(context)) {}
    std::string describe(const ShortcutKeys& keys) const override {
        return "Zelvo will remove xfwm4's own " + keys.displayName + " in its keyboard settings (xfconf)." + kGiveBack;
    }
    TakeOverOutcome takeOver(const ShortcutKeys& keys) override {
        const auto listed = ctx_.run({"xfconf-query", "-c", kChannel, "-l", "-v"});
        if (!listed.succeeded()) return {"Cannot read xfwm4's keyboard settings.", {}};
        Value::Dictionary taken;
        for (const auto& line : splitLines(listed.output)) {
            const auto w = words(line);
            const std::string prefix = "/xfwm4/custom/";
            if (w.size() < 2 || w[0].rfind(prefix, 0) != 0) continue;
            if (!acceleratorSpellsKeys(keys, w[0].substr(prefix.size()))) continue;
            if (!ctx_.run({"xfconf-query", "-c", kChannel, "-p", w[0], "-r"}).succeeded())
                return partly("xfwm4's keyboard settings could not be changed.", std::move(taken));
            taken[w[0]] = Value(w[1]);
        }
        if (taken.empty()) return {"xfwm4's keyboard settings have no " + keys.displayName + " to remove.", {}};
        return {{}, Value(std::move(taken))};
    }
    std::string giveBack(const ShortcutKeys&, const Value& restore) override {
        const auto* taken = restore.asDictionary();
        if (!taken) return "Nothing to give back.";
        for (const auto& [property, action] : *taken) {
            const auto* name = action.asString();
            if (!name || !ctx_.run({"xfconf-query", "-c", kChannel, "-p", property, "-n", "-t", "string", "-s", *name})
                              .succeeded())
                return "xfwm4's keyboard settings could not be changed.";
        }
        return {};
    }

private:
    static constexpr const char* kChannel = "xfce4-keyboard-shortcuts";
    RecipeContext ctx_;
};

// Marco, Metacity, Muffin and GNOME Shell keep their bindings in GSettings:
// a string ('<Alt>Tab', 'disabled') or a list of them per action.
class GSettingsRecipe : public Recipe {
public:
    GSettingsRecipe(RecipeContext context, std::string program, std::string schema)
        : ctx_(std::move(context)), program_(std::move(program)), schema_(std::move(schema)) {}
    std::string describe(const ShortcutKeys& keys) const override {
        return "Zelvo will remove " + program_ + "'s own " + keys.displayName + " in its keyboard settings (" +
               schema_ + ")." + kGiveBack;
    }
    TakeOverOutcome takeOver(const ShortcutKeys& keys) override {
        const auto listed = ctx_.run({"gsettings", "list-recursively", schema_});
        if (!listed.succeeded()) return {"Cannot read " + program_ + "'s keyboard settings.", {}};
        Value::Dictionary taken;
        for (const auto& line : splitLines(listed.output)) {
            const auto firstSpace = line.find(' '), secondSpace = line.find(' ', firstSpace + 1);
            if (secondSpace == std::string::npos) continue;
            const std::string key = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
            const std::string value = line.substr(secondSpace + 1);
            std::vector<std::string> kept;
            bool found = false;
            for (const auto& accelerator : quoted(value)) {
                if (acceleratorSpellsKeys(keys, accelerator)) found = true;
                else kept.push_back(accelerator);
            }
            if (!found) continue;
            if (!ctx_.run({"gsettings", "set", schema_, key, replacement(value, kept)}).succeeded())
                return partly(program_ + "'s keyboard settings could not be changed.", std::move(taken));
            taken[key] = Value(value);
        }
        if (taken.empty()) return {program_ + "'s keyboard settings have no " + keys.displayName + " to remove.", {}};
        return {{}, Value(std::move(taken))};
    }
    std::string giveBack(const ShortcutKeys&, const Value& restore) override {
        const auto* taken = restore.asDictionary();
        if (!taken) return "Nothing to give back.";
        for (const auto& [key, value] : *taken)
            if (!value.asString() || !ctx_.run({"gsettings", "set", schema_, key, *value.asString()}).succeeded())
                return program_ + "'s keyboard settings could not be changed.";
        return {};
    }

private:
    static std::vector<std::string> quoted(const std::string& value) {
        std::vector<std::string> out;
        for (std::size_t at = value.find('\''); at != std::string::npos; at = value.find('\'', at + 1)) {
            const auto end = value.find('\'', at + 1);
            if (end == std::string::npos) break;
            out.push_back(value.substr(at + 1, end - at - 1));
            at = end;
        }
        return out;
    }
    static std::string replacement(const std::string& value, const std::vector<std::string>& kept) {
        if (value.empty() || value[0] != '[') return "'disabled'";
        if (kept.empty()) return "@as []";
        std::string list = "[";
        for (const auto& a : kept) list += (list.size() > 1 ? ", '" : "'") + a + "'";
        return list + "]";
    }

    RecipeContext ctx_;
    std::string program_, schema_;
};

// Fluxbox: the lines of its keys file that bind the combination are turned
// into comments, and fluxbox is told to read the file again.
class FluxboxRecipe : public Recipe {
public:
    explicit FluxboxRecipe(RecipeContext context) : ctx_(std::move(context)), file_(ctx_.home / ".fluxbox/keys") {}
    std::string describe(const ShortcutKeys& keys) const override {
        return "Zelvo will turn Fluxbox's own " + keys.displayName + " in " + file_.string() + " into a comment." +
               kGiveBack;
    }
    TakeOverOutcome takeOver(const ShortcutKeys& keys) override {
        auto text = readText(file_);
        if (!text) return {"Cannot read Fluxbox's keys in " + file_.string() + ".", {}};
        auto lines = splitLines(*text);
        std::int64_t count = 0;
        for (auto& line : lines) {
            const auto colon = line.find(':');
            const auto t = trimmed(line);
            if (colon == std::string::npos || t.empty() || t[0] == '#' || t[0] == '!') continue;
            auto w = words(line.substr(0, colon));
            if (w.empty()) continue;
            const std::string key = w.back();
            w.pop_back();
            if (!spellsKeys(keys, w, key)) continue;
            line = kMarker + line;
            ++count;
        }
        if (!count) return {"Fluxbox's keys have no " + keys.displayName + " to remove.", {}};
        if (!write(joinLines(lines))) return {"Cannot write " + file_.string() + ".", {}};
        return {reload(), Value(count), true};
    }
    std::string giveBack(const ShortcutKeys&, const Value&) override {
        auto text = readText(file_);
        if (!text) return "Cannot read Fluxbox's keys in " + file_.string() + ".";
        auto lines = splitLines(*text);
        for (auto& line : lines)
            if (line.rfind(kMarker, 0) == 0) line.erase(0, std::string(kMarker).size());
        if (!write(joinLines(lines))) return "Cannot write " + file_.string() + ".";
        return reload();
    }

private:
    // Fluxbox reads its keys file again on SIGUSR2; it does not announce
    // its process on its check window.
    std::string reload() {
        const pid_t pid = ctx_.programPid > 0 ? ctx_.programPid : ctx_.findProgram("fluxbox");
        if (pid <= 0 || !ctx_.run({"kill", "-USR2", std::to_string(pid)}).succeeded())
            return "Fluxbox did not read its keys again; restart Fluxbox.";
        return {};
    }

    // Fluxbox reads the file again only when its change time, in whole
    // seconds, differs from the one it read: a second change within the
    // same second (taken over and given back at once) waits for the next.
    bool write(const std::string& text) {
        struct stat before {};
        if (::stat(file_.c_str(), &before) == 0)
            for (int wait = 0; wait < 25 && std::time(nullptr) <= before.st_ctim.tv_sec; ++wait)
                ctx_.pause(std::chrono::milliseconds(50));
        return writeText(file_, text);
    }

    static constexpr const char* kMarker = "#taken over by Zelvo# ";
    RecipeContext ctx_;
    std::filesystem::path file_;
};

// IceWM: its Key* preferences of the combination are set empty (those left
// at their built-in default are added), then IceWM restarts itself.
class IceWmRecipe : public Recipe {
public:
    explicit IceWmRecipe(RecipeContext context) : ctx_(std::move(context)) {
        const auto legacy = ctx_.home / ".icewm";
        file_ = (std::filesystem::exists(legacy) ? legacy : ctx_.configHome / "icewm") / "preferences";
    }
    std::string describe(const ShortcutKeys& keys) const override {
        return "Zelvo will clear IceWM's own " + keys.displayName + " in " + file_.string() + " and restart IceWM." +
               kGiveBack;
    }
    TakeOverOutcome takeOver(const ShortcutKeys& keys) override {
        // IceWM's built-in bindings of the window switcher.
        std::map<std::string, std::string> settings = {{"KeySysSwitchNext", "Alt+Tab"},
                                                       {"KeySysSwitchLast", "Alt+Shift+Tab"},
                                                       {"KeySysWinNext", "Alt+Esc"},
                                                       {"KeySysWinPrev", "Alt+Shift+Esc"}};
        auto lines = splitLines(readText(file_).value_or(""));
        std::map<std::string, std::size_t> where;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto t = trimmed(lines[i]);
            const auto eq = t.find('=');
            if (t.rfind("Key", 0) != 0 || eq == std::string::npos) continue;
            std::string value = trimmed(t.substr(eq + 1));
            value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
            settings[trimmed(t.substr(0, eq))] = value;
            where[trimmed(t.substr(0, eq))] = i;
        }
        Value::Dictionary taken;
        for (const auto& [name, value] : settings) {
            auto parts = splitOn(value, '+');
            if (parts.empty()) continue;
            const std::string key = parts.back();
            parts.pop_back();
            if (!spellsKeys(keys, parts, key)) continue;
            const auto at = where.find(name);
            taken[name] = Value(at == where.end() ? std::string() : lines[at->second]);
            const std::string cleared = name + "=\"\"";
            if (at == where.end()) lines.push_back(cleared);
            else lines[at->second] = cleared;
        }
        if (taken.empty()) return {"IceWM's preferences have no " + keys.displayName + " to remove.", {}};
        if (!writeText(file_, joinLines(lines))) return {"Cannot write " + file_.string() + ".", {}};
        return {restart(), Value(std::move(taken)), true};
    }
    std::string giveBack(const ShortcutKeys&, const Value& restore) override {
        const auto* taken = restore.asDictionary();
        if (!taken) return "Nothing to give back.";
        auto lines = splitLines(readText(file_).value_or(""));
        std::vector<std::string> out;
        for (const auto& line : lines) {
            const auto t = trimmed(line);
            const auto eq = t.find('=');
            const auto it = eq == std::string::npos ? taken->end() : taken->find(trimmed(t.substr(0, eq)));
            if (it == taken->end()) out.push_back(line);
            else if (const auto* original = it->second.asString(); original && !original->empty())
                out.push_back(*original);
        }
        if (!writeText(file_, joinLines(out))) return "Cannot write " + file_.string() + ".";
        return restart();
    }

private:
    static std::vector<std::string> splitOn(const std::string& text, char separator) {
        std::vector<std::string> parts;
        std::string part;
        std::istringstream in(text);
        while (std::getline(in, part, separator))
            if (!part.empty()) parts.push_back(part);
        return parts;
    }
    std::string restart() {
        return ctx_.run({"icewm", "-r"}).succeeded() ? std::string() : "IceWM did not restart with its new settings.";
    }

    RecipeContext ctx_;
    std::filesystem::path file_;
};

// KWin hands its shortcuts to a separate daemon that reads them only at its
// start; changing them safely needs KDE's own settings, so Zelvo only says where.
class KWinAdvice : public Recipe {
public:
    bool canTakeOver() const override { return false; }
    std::string describe(const ShortcutKeys& keys) const override {
        return "In System Settings, under Shortcuts, remove " + keys.displayName +
               " from KWin's “Walk Through Windows”.";
    }
    TakeOverOutcome takeOver(const ShortcutKeys&) override { return {"KWin's shortcuts change in its settings.", {}}; }
    std::string giveBack(const ShortcutKeys&, const Value&) override { return {}; }
};

} // namespace

std::unique_ptr<Recipe> windowManagerRecipe(const std::string& name, const RecipeContext& context) {
    if (nameContains(name, "openbox")) return std::make_unique<OpenboxRecipe>(context);
    if (nameContains(name, "xfwm")) return std::make_unique<XfwmRecipe>(context);
    if (nameContains(name, "marco"))
        return std::make_unique<GSettingsRecipe>(context, "Marco", "org.mate.Marco.global-keybindings");
    if (nameContains(name, "muffin"))
        return std::make_unique<GSettingsRecipe>(context, "Muffin", "org.cinnamon.desktop.keybindings.wm");
    if (nameContains(name, "metacity") || nameContains(name, "gnome shell") || nameContains(name, "mutter"))
        return std::make_unique<GSettingsRecipe>(context, name, "org.gnome.desktop.wm.keybindings");
    if (nameContains(name, "fluxbox")) return std::make_unique<FluxboxRecipe>(context);
    if (nameContains(name, "icewm")) return std::make_unique<IceWmRecipe>(context);
    if (nameContains(name, "kwin")) return std::make_unique<KWinAdvice>();
    return nullptr;
}

} // namespace platform::shortcuts
