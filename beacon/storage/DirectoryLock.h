#pragma once

#include <filesystem>
#include <memory>

namespace beacon {

// An exclusive advisory lock (flock) on a folder, held until the object goes
// away. It belongs to one open of the folder, so a second acquire fails while
// the first is held, whether it comes from another process or this one; the
// kernel drops it when the process ends, however it ends.
class DirectoryLock {
public:
    // The lock, or nullptr when another holder has it or the folder cannot be
    // opened; `error` then gets EWOULDBLOCK for the first, the open's errno
    // for the second.
    static std::unique_ptr<DirectoryLock> acquire(const std::filesystem::path& folder, int* error = nullptr);
    ~DirectoryLock();

    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

private:
    explicit DirectoryLock(int fd) : fd_(fd) {}
    int fd_;
};

} // namespace beacon
