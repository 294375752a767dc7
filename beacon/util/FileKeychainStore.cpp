#include "beacon/util/FileKeychainStore.h"

#include "beacon/logger/Logger.h"
#include "platform/Paths.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>

namespace beacon {

namespace fs = std::filesystem;

namespace {

// Holds an exclusive advisory lock on a companion file while alive.
class FileLock {
public:
    explicit FileLock(const fs::path& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {}
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const auto n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

FileKeychainStore::FileKeychainStore(fs::path file) : file_(std::move(file)) {}

fs::path FileKeychainStore::defaultFile() { return platform::zelvoDataDir() / "keychain.json"; }

std::optional<FileKeychainStore::Items> FileKeychainStore::read() const {
    std::ifstream in(file_, std::ios::binary);
    if (!in) {
        if (!fs::exists(file_)) return Items{};
        return std::nullopt;
    }
    std::stringstream text;
    text << in.rdbuf();
    auto json = nlohmann::json::parse(text.str(), nullptr, false);
    Items items;
    if (!json.is_object()) {
        // Kept for inspection (and for whoever can repair it) instead of
        // being overwritten by the next store.
        const auto stamp =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                .count();
        fs::path aside = file_;
        aside += ".corrupt-" + std::to_string(stamp);
        std::error_code error;
        fs::rename(file_, aside, error);
        if (error) {
            BEACON_LOG_ERROR("The key file ", file_.string(),
                             " is damaged and cannot be moved aside: ", error.message());
            return std::nullopt;
        }
        BEACON_LOG_WARNING("The key file ", file_.string(), " is damaged; moved aside to ", aside.string(),
                           " and starting with no keys.");
        return items;
    }
    for (const auto& [service, accounts] : json.items()) {
        if (!accounts.is_object()) continue;
        for (const auto& [account, value] : accounts.items())
            if (value.is_string()) items[service][account] = value.get<std::string>();
    }
    return items;
}

bool FileKeychainStore::write(const Items& items) const {
    nlohmann::json json = nlohmann::json::object();
    for (const auto& [service, accounts] : items)
        if (!accounts.empty()) json[service] = accounts;
    const fs::path temp = file_.string() + ".tmp-" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, json.dump()) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temp.c_str(), file_.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

template <typename Change> int FileKeychainStore::update(Change change) {
    std::lock_guard guard(mutex_);
    std::error_code error;
    if (!file_.parent_path().empty() && !fs::exists(file_.parent_path())) {
        fs::create_directories(file_.parent_path(), error);
        ::chmod(file_.parent_path().c_str(), 0700);
    }
    FileLock lock(file_.string() + ".lock");
    if (!lock.held()) return KeychainStatus::IOError;
    auto items = read();
    if (!items) return KeychainStatus::IOError;
    bool changed = false;
    const int status = change(*items, changed);
    if (changed && !write(*items)) return KeychainStatus::IOError;
    return status;
}

int FileKeychainStore::add(const std::string& service, const std::string& account, const std::string& value) {
    return update([&](Items& items, bool& changed) {
        auto& accounts = items[service];
        if (accounts.count(account)) return KeychainStatus::DuplicateItem;
        accounts[account] = value;
        changed = true;
        return KeychainStatus::Success;
    });
}

int FileKeychainStore::copy(const std::string& service, const std::string& account, std::string& value) {
    return update([&](Items& items, bool&) {
        auto s = items.find(service);
        if (s == items.end()) return KeychainStatus::ItemNotFound;
        auto a = s->second.find(account);
        if (a == s->second.end()) return KeychainStatus::ItemNotFound;
        value = a->second;
        return KeychainStatus::Success;
    });
}

int FileKeychainStore::remove(const std::string& service, const std::string& account) {
    return update([&](Items& items, bool& changed) {
        auto s = items.find(service);
        if (s == items.end() || !s->second.erase(account)) return KeychainStatus::ItemNotFound;
        changed = true;
        return KeychainStatus::Success;
    });
}

int FileKeychainStore::removeAll(const std::string& service) {
    return update([&](Items& items, bool& changed) {
        auto s = items.find(service);
        if (s == items.end() || s->second.empty()) return KeychainStatus::ItemNotFound;
        items.erase(s);
        changed = true;
        return KeychainStatus::Success;
    });
}

} // namespace beacon
