#include "beacon/crashes/model/AnonymizedPath.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace beacon::anonymized_path {

namespace {

constexpr std::string_view kUser = "USER";

// A folder whose next component is a user name. "/Users/" counts anywhere;
// the others where a path starts, or under their one other parent.
struct UserFolder {
    std::string_view folder;
    bool anywhere;
    std::string_view parent;
};
constexpr std::array<UserFolder, 3> kUserFolders = {
    {{"/Users/", true, ""}, {"/home/", false, "/var"}, {"/media/", false, "/run"}}};

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
}

bool startsAPath(std::string_view text, std::size_t at, const UserFolder& rule) {
    if (rule.anywhere || at == 0) return true;
    const char before = text[at - 1];
    if (before != '/' && !isNameCharacter(before)) return true;
    const std::size_t parentAt = at >= rule.parent.size() ? at - rule.parent.size() : std::string_view::npos;
    return parentAt != std::string_view::npos && text.substr(parentAt, rule.parent.size()) == rule.parent &&
           (parentAt == 0 || (text[parentAt - 1] != '/' && !isNameCharacter(text[parentAt - 1])));
}

// "<folder><name>/" -> "<folder>USER/" for every occurrence.
std::string replaceUserFolder(std::string_view text, const UserFolder& rule) {
    const std::string_view folder = rule.folder;
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(folder); at != std::string_view::npos; at = text.find(folder, from)) {
        const std::size_t nameStart = at + folder.size();
        const std::size_t nameEnd = text.find('/', nameStart);
        out.append(text.substr(from, nameStart - from));
        from = nameStart;
        if (nameEnd == std::string_view::npos) break;
        if (nameEnd > nameStart && startsAPath(text, at, rule)) {
            out.append(kUser);
            from = nameEnd;
        }
    }
    out.append(text.substr(from));
    return out;
}

// Every occurrence of `home` that ends a path component -> its parent + "/USER".
std::string replaceHome(std::string_view text, const std::string& home) {
    const std::size_t slash = home.find_last_of('/');
    const std::string replacement = home.substr(0, slash) + "/" + std::string(kUser);
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(home); at != std::string_view::npos; at = text.find(home, from)) {
        const std::size_t end = at + home.size();
        if (end < text.size() && isNameCharacter(text[end])) {
            out.append(text.substr(from, end - from));
        } else {
            out.append(text.substr(from, at - from)).append(replacement);
        }
        from = end;
    }
    out.append(text.substr(from));
    return out;
}

void addHome(std::vector<std::string>& homes, const char* path) {
    if (!path || path[0] != '/') return;
    std::string home(path);
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    if (home.size() <= 1) return;
    if (std::find(homes.begin(), homes.end(), home) == homes.end()) homes.push_back(home);
    if (char* resolved = ::realpath(home.c_str(), nullptr)) {
        std::string real(resolved);
        std::free(resolved);
        if (real.size() > 1 && std::find(homes.begin(), homes.end(), real) == homes.end()) homes.push_back(real);
    }
}

} // namespace

const std::vector<std::string>& currentUserHomes() {
    static const std::vector<std::string> homes = [] {
        std::vector<std::string> found;
        passwd entry{};
        passwd* result = nullptr;
        std::vector<char> buffer(16384);
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result)
            addHome(found, result->pw_dir);
        addHome(found, std::getenv("HOME"));
        // Longest first, so that a home inside another is replaced whole.
        std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
        return found;
    }();
    return homes;
}

std::string inText(std::string_view text) {
    std::string out(text);
    for (const auto& home : currentUserHomes()) out = replaceHome(out, home);
    for (const auto& rule : kUserFolders) out = replaceUserFolder(out, rule);
    return out;
}

std::string ofPath(std::string_view path) {
    if (path.empty()) return {};
    if (!path.starts_with("/Users/") && path.find("Users") != std::string_view::npos) return {};
    return inText(path);
}

} // namespace beacon::anonymized_path
