#include "beacon/storage/DirectoryLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace beacon {

std::unique_ptr<DirectoryLock> DirectoryLock::acquire(const std::filesystem::path& folder, int* error) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = errno;
        return nullptr;
    }
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        if (error) *error = errno;
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<DirectoryLock>(new DirectoryLock(fd));
}

DirectoryLock::~DirectoryLock() { ::close(fd_); }

} // namespace beacon
