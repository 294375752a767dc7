#include "beacon/util/FileUtility.h"

#include "beacon/logger/Logger.h"
#include "platform/Paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace beacon {

namespace fs = std::filesystem;

namespace {

std::recursive_mutex& utilityMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

std::optional<fs::path>& directoryOverride() {
    static std::optional<fs::path> directory;
    return directory;
}

std::optional<fs::path>& cachedDirectory() {
    static std::optional<fs::path> directory;
    return directory;
}

// The component below the storage folder, unless it would leave it.
std::optional<fs::path> below(const std::string& component) {
    if (component.empty()) return std::nullopt;
    const fs::path relative(component);
    bool safe = !relative.is_absolute();
    for (const auto& part : relative)
        if (part == "..") safe = false;
    if (!safe) {
        BEACON_LOG_ERROR("Refusing path component outside the storage directory: ", component);
        return std::nullopt;
    }
    return beaconDirectoryURL() / relative;
}

bool writeFile(const fs::path& path, const FileData& data, bool atomically) {
    const fs::path target = atomically ? fs::path(path.string() + ".tmp-" + std::to_string(::getpid())) : path;
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < data.size()) {
        const auto n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    if (atomically && ok) ok = ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (atomically) {
        if (ok) ok = ::rename(target.c_str(), path.c_str()) == 0;
        if (!ok) ::unlink(target.c_str());
    }
    return ok;
}

} // namespace

fs::path beaconDirectoryURL() {
    std::lock_guard lock(utilityMutex());
    if (!cachedDirectory()) {
        fs::path directory = directoryOverride() ? *directoryOverride() : platform::zelvoDataDir() / "beacon";
        createDirectoryAtURL(directory);
        cachedDirectory() = directory;
    }
    return *cachedDirectory();
}

void setBeaconDirectoryURL(fs::path directory) {
    std::lock_guard lock(utilityMutex());
    directoryOverride() = directory.empty() ? std::nullopt : std::optional<fs::path>(std::move(directory));
    cachedDirectory().reset();
}

bool createDirectoryAtURL(const fs::path& directory) {
    std::lock_guard lock(utilityMutex());
    std::error_code error;
    // Folders made here are private to the user: they hold pending telemetry.
    std::vector<fs::path> created;
    for (auto path = directory; !path.empty() && !fs::exists(path, error); path = path.parent_path()) {
        created.push_back(path);
        if (path == path.parent_path()) break;
    }
    fs::create_directories(directory, error);
    for (const auto& path : created) ::chmod(path.c_str(), 0700);
    if (error || !fs::is_directory(directory)) {
        BEACON_LOG_ERROR("Couldn't create directory at ", directory.string(), ": ",
                         error ? error.message() : std::string("not a directory"));
        return false;
    }
    return true;
}

std::optional<fs::path> createFileAtPathComponent(const std::string& component, const std::optional<FileData>& data,
                                                  bool atomically, bool forceOverwrite) {
    std::lock_guard lock(utilityMutex());
    auto path = below(component);
    if (!path) return std::nullopt;
    std::error_code error;
    if (forceOverwrite || !fs::exists(*path, error)) {
        createDirectoryAtURL(path->parent_path());
        if (!writeFile(*path, data ? *data : FileData{}, atomically)) {
            BEACON_LOG_ERROR("Couldn't create new file at path ", path->string());
            return std::nullopt;
        }
    }
    return path;
}

bool deleteItemForPathComponent(const std::string& component) {
    std::lock_guard lock(utilityMutex());
    auto path = below(component);
    return path && deleteFileAtURL(*path);
}

bool deleteFileAtURL(const fs::path& path) {
    std::lock_guard lock(utilityMutex());
    std::error_code error;
    const auto removed = fs::remove_all(path, error);
    if (error || removed == 0) {
        BEACON_LOG_DEBUG("Couldn't remove item at ", path.string(), ": ",
                         error ? error.message() : std::string("no such file"));
        return false;
    }
    return true;
}

std::optional<fs::path> createDirectoryForPathComponent(const std::string& component) {
    std::lock_guard lock(utilityMutex());
    auto path = below(component);
    if (!path || !createDirectoryAtURL(*path)) return std::nullopt;
    return path;
}

std::optional<FileData> loadDataForPathComponent(const std::string& component) {
    std::lock_guard lock(utilityMutex());
    auto path = below(component);
    if (!path) return std::nullopt;
    const int fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    FileData data;
    std::uint8_t buffer[8192];
    for (;;) {
        const auto n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        data.insert(data.end(), buffer, buffer + n);
    }
    ::close(fd);
    return data;
}

std::optional<std::vector<fs::path>> contentsOfDirectory(const std::string& component) {
    std::lock_guard lock(utilityMutex());
    auto path = below(component);
    if (!path) return std::nullopt;
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(*path, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    if (error) {
        BEACON_LOG_DEBUG("Couldn't get files in the directory \"", component, "\": ", error.message());
        return std::nullopt;
    }
    return entries;
}

bool fileExistsForPathComponent(const std::string& component) {
    std::lock_guard lock(utilityMutex());
    auto path = below(component);
    std::error_code error;
    return path && fs::exists(*path, error);
}

std::optional<fs::path> fullURLForPathComponent(const std::string& component) {
    std::lock_guard lock(utilityMutex());
    return below(component);
}

bool createFileAtPath(const fs::path& path, const FileData& contents) {
    std::lock_guard lock(utilityMutex());
    return writeFile(path, contents, true);
}

} // namespace beacon
