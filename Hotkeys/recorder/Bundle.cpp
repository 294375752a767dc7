#include "Hotkeys/recorder/Bundle.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace Hotkeys {

namespace fs = std::filesystem;

namespace {

bool readTable(const fs::path& file, std::map<std::string, std::string>& table) {
    std::ifstream in(file);
    if (!in) return false;
    auto json = nlohmann::json::parse(in, nullptr, /*allow_exceptions=*/false);
    if (!json.is_object()) return false;
    for (auto& [key, value] : json.items()) {
        // Entries of the first table read win over the fallback's.
        if (value.is_string()) table.emplace(key, value.get<std::string>());
    }
    return true;
}

} // namespace

std::vector<fs::path> Bundle::candidates() {
    std::vector<fs::path> out;
    std::error_code ec;
    auto exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        out.push_back(exe.parent_path() / kDirectoryName);
        // An installed program (<prefix>/bin/zelvo) finds its data under its
        // own prefix, wherever that tree was installed or moved to.
        out.push_back(exe.parent_path().parent_path() / "share" / "zelvo" / kDirectoryName);
    }
#ifdef ZELVO_INSTALL_DATADIR
    out.push_back(fs::path(ZELVO_INSTALL_DATADIR) / "zelvo" / kDirectoryName);
#endif
    return out;
}

std::string Bundle::userLanguage() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || !*value) continue;
        std::string locale = value;
        auto end = locale.find_first_of("_.@");
        auto language = locale.substr(0, end);
        if (language == "C" || language == "POSIX") return "en";
        return language;
    }
    return "en";
}

std::optional<Bundle> Bundle::open(const fs::path& directory, const std::string& language) {
    Bundle bundle;
    bundle.path_ = directory;
    bool any = readTable(directory / (language + ".lproj") / "Localizable.json", bundle.table_);
    any = readTable(directory / "en.lproj" / "Localizable.json", bundle.table_) || any;
    if (!any) return std::nullopt;
    return bundle;
}

const Bundle& Bundle::module() {
    static const Bundle* bundle = [] {
        const auto language = userLanguage();
        for (const auto& candidate : candidates()) {
            if (auto found = open(candidate, language)) return new Bundle(std::move(*found));
        }
        std::fputs("unable to find bundle named Hotkeys_Hotkeys\n", stderr);
        std::abort();
        return static_cast<Bundle*>(nullptr);
    }();
    return *bundle;
}

std::string Bundle::localized(const std::string& key) const {
    auto it = table_.find(key);
    return it == table_.end() ? key : it->second;
}

std::string formatLocalized(const std::string& format, const std::string& argument) {
    for (const char* placeholder : {"%@", "%s"}) {
        auto at = format.find(placeholder);
        if (at != std::string::npos) return format.substr(0, at) + argument + format.substr(at + 2);
    }
    return format;
}

} // namespace Hotkeys
