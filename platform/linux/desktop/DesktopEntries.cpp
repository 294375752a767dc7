#include "platform/linux/desktop/DesktopEntries.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platform::desktop {

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> defaultApplicationDirs() {
    std::vector<fs::path> dirs;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome && *dataHome) dirs.push_back(fs::path(dataHome) / "applications");
    else if (home && *home) dirs.push_back(fs::path(home) / ".local/share/applications");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share";
    std::stringstream stream(list);
    std::string dir;
    while (std::getline(stream, dir, ':'))
        if (!dir.empty()) dirs.push_back(fs::path(dir) / "applications");
    return dirs;
}

// The modification times of the folders (a folder's changes when an entry is
// added or removed); the minimum for one that does not exist.
std::vector<fs::file_time_type> modificationTimes(const std::vector<fs::path>& dirs) {
    std::vector<fs::file_time_type> times;
    for (const auto& dir : dirs) {
        std::error_code ec;
        auto time = fs::last_write_time(dir, ec);
        times.push_back(ec ? fs::file_time_type::min() : time);
    }
    return times;
}

} // namespace

std::vector<std::string> localeKeys(const std::string& locale) {
    if (locale.empty() || locale == "C" || locale == "POSIX") return {};
    const auto at = locale.find('@');
    const std::string modifier = at == std::string::npos ? "" : locale.substr(at + 1);
    std::string rest = locale.substr(0, at);
    rest = rest.substr(0, rest.find('.')); // the encoding plays no part
    const auto underscore = rest.find('_');
    const std::string lang = rest.substr(0, underscore);
    const std::string country = underscore == std::string::npos ? "" : rest.substr(underscore + 1);
    if (lang.empty()) return {};
    std::vector<std::string> keys;
    if (!country.empty() && !modifier.empty()) keys.push_back(lang + "_" + country + "@" + modifier);
    if (!country.empty()) keys.push_back(lang + "_" + country);
    if (!modifier.empty()) keys.push_back(lang + "@" + modifier);
    keys.push_back(lang);
    return keys;
}

std::string messagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name); value && *value) return value;
    return {};
}

std::optional<DesktopEntry> readDesktopEntry(const fs::path& path, const std::vector<std::string>& locales) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    DesktopEntry entry;
    entry.path = path;
    entry.id = path.stem().string();
    bool inGroup = false, sawGroup = false;
    std::size_t nameRank = locales.size(); // the rank of the Name[key] taken; size() for none
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inGroup = line == "[Desktop Entry]";
            sawGroup = sawGroup || inGroup;
            continue;
        }
        if (!inGroup) continue;
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        while (!key.empty() && key.back() == ' ') key.pop_back();
        std::string value = line.substr(eq + 1);
        while (!value.empty() && value.front() == ' ') value.erase(value.begin());
        if (key == "Name") {
            if (nameRank == locales.size()) entry.name = value;
        } else if (key.starts_with("Name[") && key.back() == ']') {
            const std::string lang = key.substr(5, key.size() - 6);
            for (std::size_t rank = 0; rank < nameRank; ++rank)
                if (locales[rank] == lang && !value.empty()) {
                    entry.name = value;
                    nameRank = rank;
                }
        } else if (key == "Exec") entry.exec = value;
        else if (key == "Icon") entry.icon = value;
        else if (key == "StartupWMClass") entry.startupWMClass = value;
    }
    if (!sawGroup) return std::nullopt;
    return entry;
}

std::vector<std::string> execArguments(const std::string& exec) {
    std::vector<std::string> args;
    std::string current;
    bool inArg = false, quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < exec.size()) {
                current += exec[++i];
            } else {
                current += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = inArg = true;
        } else if (c == ' ' || c == '\t') {
            if (inArg) args.push_back(current);
            current.clear();
            inArg = false;
        } else if (c == '%' && i + 1 < exec.size()) {
            char code = exec[++i];
            if (code == '%') {
                current += '%';
                inArg = true;
            }
            // Every other field code stands for files, URLs or icons we do
            // not pass: it is dropped.
        } else {
            current += c;
            inArg = true;
        }
    }
    if (quoted) return {};
    if (inArg) args.push_back(current);
    return args;
}

DesktopEntries::DesktopEntries() : DesktopEntries(defaultApplicationDirs(), messagesLocale()) {}

DesktopEntries::DesktopEntries(std::vector<fs::path> dirs, const std::string& locale)
    : dirs_(std::move(dirs)), locales_(localeKeys(locale)), dirTimes_(modificationTimes(dirs_)) {}

void DesktopEntries::dropMissesIfChanged() {
    auto times = modificationTimes(dirs_);
    if (times == dirTimes_) return;
    dirTimes_ = std::move(times);
    std::erase_if(byId_, [](const auto& cached) { return !cached.second; });
    byWMClass_.clear();
    wmClassIndexed_ = false;
}

std::optional<DesktopEntry> DesktopEntries::find(const std::string& id) {
    if (id.empty() || id.find('/') != std::string::npos || id.starts_with(".")) return std::nullopt;
    // A found entry is kept; only a miss asks whether the folders changed.
    auto cached = byId_.find(id);
    if (cached != byId_.end() && cached->second) return cached->second;
    dropMissesIfChanged();
    cached = byId_.find(id);
    if (cached != byId_.end()) return cached->second;
    std::optional<DesktopEntry> found;
    for (const auto& dir : dirs_) {
        std::error_code ec;
        fs::path candidate = dir / (id + ".desktop");
        if (fs::is_regular_file(candidate, ec)) {
            found = readDesktopEntry(candidate, locales_);
            if (found) break;
        }
    }
    byId_.emplace(id, found);
    return found;
}

void DesktopEntries::indexWMClasses() {
    wmClassIndexed_ = true;
    // Earlier folders win, as for lookups by id.
    for (auto dir = dirs_.rbegin(); dir != dirs_.rend(); ++dir) {
        std::error_code ec;
        for (fs::directory_iterator it(*dir, ec), end; !ec && it != end; it.increment(ec)) {
            if (it->path().extension() != ".desktop") continue;
            auto entry = readDesktopEntry(it->path(), locales_);
            if (entry && !entry->startupWMClass.empty()) byWMClass_[entry->startupWMClass] = *entry;
        }
    }
}

std::optional<DesktopEntry> DesktopEntries::forCandidates(const std::vector<std::string>& ids,
                                                         const std::vector<std::string>& classes) {
    for (const auto& id : ids)
        if (auto entry = find(id)) return entry;
    if (ids.empty()) dropMissesIfChanged(); // otherwise each missed find() asked
    if (!wmClassIndexed_) indexWMClasses();
    for (const auto& cls : classes) {
        auto it = byWMClass_.find(cls);
        if (!cls.empty() && it != byWMClass_.end()) return it->second;
    }
    return std::nullopt;
}

} // namespace platform::desktop
