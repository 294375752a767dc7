#include "app/login/XdgAutostart.h"

#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace app {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

std::string errnoText(int error) { return std::strerror(error); }

// The general escapes of desktop-entry string values.
std::string escapeValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string unescapeValue(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: out += '\\'; out += text[i];
        }
    }
    return out;
}

std::string trim(const std::string& s) {
    auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Keys of the [Desktop Entry] group (unlocalised ones only).
struct DesktopEntry {
    std::string type, exec, hidden, gnomeEnabled;
};

std::optional<DesktopEntry> readEntry(const fs::path& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    DesktopEntry entry;
    bool inMainGroup = false, sawMainGroup = false;
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inMainGroup = line == "[Desktop Entry]";
            sawMainGroup = sawMainGroup || inMainGroup;
            continue;
        }
        if (!inMainGroup) continue;
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        auto key = trim(line.substr(0, eq));
        auto value = trim(line.substr(eq + 1));
        if (key == "Type") entry.type = value;
        else if (key == "Exec") entry.exec = value;
        else if (key == "Hidden") entry.hidden = value;
        else if (key == "X-GNOME-Autostart-enabled") entry.gnomeEnabled = value;
    }
    if (!sawMainGroup) return std::nullopt;
    return entry;
}

bool sameProgram(const std::string& program, const fs::path& executable) {
    if (program.empty() || executable.empty()) return false;
    if (fs::path(program) == executable) return true;
    std::error_code ec;
    return fs::equivalent(program, executable, ec) && !ec;
}

// Writes `text` to `path` through a temporary file in the same folder that
// is flushed to disk and renamed over the target, so a reader sees the old
// entry or the new one, never half of one.
LoginItemResult writeAtomically(const fs::path& path, const std::string& text) {
    auto temp = path;
    temp += ".tmp-" + std::to_string(::getpid());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return LoginItemResult::failure("cannot create " + temp.string() + ": " + errnoText(errno));
    std::size_t written = 0;
    while (written < text.size()) {
        auto n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int error = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            return LoginItemResult::failure("cannot write " + temp.string() + ": " + errnoText(error));
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        return LoginItemResult::failure("cannot write " + temp.string() + ": " + errnoText(error));
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        return LoginItemResult::failure("cannot replace " + path.string() + ": " + errnoText(error));
    }
    return LoginItemResult::success();
}

} // namespace

fs::path launchableExecutable(const std::string& procSelfExe, const char* appImage) {
    if (appImage && appImage[0] == '/') return fs::path(appImage);
    constexpr std::string_view kDeleted = " (deleted)";
    if (procSelfExe.ends_with(kDeleted)) return fs::path(procSelfExe.substr(0, procSelfExe.size() - kDeleted.size()));
    return fs::path(procSelfExe);
}

fs::path currentExecutable() {
    std::error_code ec;
    auto path = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return launchableExecutable(path.string(), std::getenv("APPIMAGE"));
}

XdgAutostart::XdgAutostart(Options options) : options_(std::move(options)) {
    executable_ = options_.executable.empty() ? currentExecutable() : options_.executable;
}

fs::path XdgAutostart::entryPath() const {
    auto home = options_.configHome.empty() ? platform::configHome() : options_.configHome;
    return home / "autostart" / (options_.appId + ".desktop");
}

std::string XdgAutostart::execValue(const fs::path& program) {
    const std::string text = program.string();
    std::string arg;
    if (text.find_first_of(kReserved) == std::string::npos) {
        arg = text;
    } else {
        arg = "\"";
        for (char c : text) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') arg += '\\';
            arg += c;
        }
        arg += '"';
    }
    std::string withFieldCodes;
    for (char c : arg) {
        withFieldCodes += c;
        if (c == '%') withFieldCodes += '%';
    }
    return escapeValue(withFieldCodes);
}

std::optional<std::string> XdgAutostart::execProgram(const std::string& exec) {
    const std::string value = unescapeValue(exec);
    std::string program;
    std::size_t i = 0;
    while (i < value.size() && value[i] == ' ') ++i;
    if (i < value.size() && value[i] == '"') {
        for (++i; i < value.size(); ++i) {
            char c = value[i];
            if (c == '"') break;
            if (c == '\\' && i + 1 < value.size()) c = value[++i];
            program += c;
        }
        if (i >= value.size()) return std::nullopt; // unterminated quote
    } else {
        for (; i < value.size() && value[i] != ' '; ++i) program += value[i];
    }
    std::string out;
    for (std::size_t k = 0; k < program.size(); ++k) {
        out += program[k];
        if (program[k] == '%' && k + 1 < program.size() && program[k + 1] == '%') ++k;
    }
    if (out.empty()) return std::nullopt;
    return out;
}

bool XdgAutostart::isEnabled() const {
    auto entry = readEntry(entryPath());
    // Hidden=true and X-GNOME-Autostart-enabled=false both switch an entry off.
    if (!entry || entry->type != "Application" || entry->hidden == "true" || entry->gnomeEnabled == "false")
        return false;
    auto program = execProgram(entry->exec);
    return program && sameProgram(*program, executable_);
}

std::string XdgAutostart::entryText() const {
    std::ostringstream out;
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=" << escapeValue(options_.displayName) << "\n"
        << "Comment=Keyboard application switcher\n"
        << "Exec=" << execValue(executable_) << "\n"
        << "Icon=" << options_.appId << "\n"
        << "Terminal=false\n"
        << "X-GNOME-Autostart-enabled=true\n";
    return out.str();
}

LoginItemResult XdgAutostart::registerItem() {
    if (executable_.empty()) return LoginItemResult::failure("the path of the running program is unknown");
    const auto path = entryPath();
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) return LoginItemResult::failure("cannot create " + path.parent_path().string() + ": " + ec.message());
    return writeAtomically(path, entryText());
}

LoginItemResult XdgAutostart::unregisterItem() {
    const auto path = entryPath();
    std::error_code ec;
    fs::remove(path, ec); // an absent entry is already unregistered
    if (ec) return LoginItemResult::failure("cannot remove " + path.string() + ": " + ec.message());
    return LoginItemResult::success();
}

} // namespace app
