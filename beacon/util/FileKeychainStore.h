#pragma once

#include "beacon/util/KeychainStore.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>

namespace beacon {

// Generic passwords in one JSON file readable by the user only (mode 0600),
// for desktops without a Secret Service. The file is read on every call and
// replaced atomically on every change, under an advisory lock, so several
// processes may share it.
class FileKeychainStore : public KeychainStore {
public:
    explicit FileKeychainStore(std::filesystem::path file);
    // "keychain.json" in Zelvo's data folder.
    static std::filesystem::path defaultFile();

    int add(const std::string& service, const std::string& account, const std::string& value) override;
    int copy(const std::string& service, const std::string& account, std::string& value) override;
    int remove(const std::string& service, const std::string& account) override;
    int removeAll(const std::string& service) override;

    const std::filesystem::path& file() const { return file_; }

private:
    using Items = std::map<std::string, std::map<std::string, std::string>>; // service -> account -> value
    // Runs `change` on the current items with the file locked; writes them
    // back when it returns true.
    template <typename Change> int update(Change change);
    std::optional<Items> read() const;
    bool write(const Items& items) const;

    std::filesystem::path file_;
    std::mutex mutex_;
};

} // namespace beacon
