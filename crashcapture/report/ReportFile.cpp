#include "crashcapture/report/ReportFile.h"

#include "crashcapture/report/CrashReport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace crashcapture {

namespace {

bool failed(CrashReporterError* error, const std::string& what, const std::filesystem::path& path, int errnum) {
    if (error)
        *error = {CrashReporterError::kDomain, CrashReporterError::OperatingSystem,
                  what + " " + path.string() + ": " + std::strerror(errnum)};
    return false;
}

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

std::optional<std::vector<std::uint8_t>> readReportStream(int fd, const std::filesystem::path& name,
                                                          CrashReporterError* error) {
    std::vector<std::uint8_t> data;
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            failed(error, "Couldn't read crash report", name, errno);
            return std::nullopt;
        }
        if (n == 0) return data;
        if (data.size() + static_cast<std::size_t>(n) > CrashReport::kMaxFileSize) {
            failed(error, "Crash report is too large:", name, EFBIG);
            return std::nullopt;
        }
        data.insert(data.end(), buffer, buffer + n);
    }
}

std::optional<std::vector<std::uint8_t>> readReportFile(const std::filesystem::path& path, CrashReporterError* error) {
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0) {
        failed(error, "Couldn't open crash report", path, errno);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) {
        failed(error, "Couldn't read crash report", path, errno);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        failed(error, "Crash report is not a regular file:", path, EINVAL);
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(info.st_size) > CrashReport::kMaxFileSize) {
        failed(error, "Crash report is too large:", path, EFBIG);
        return std::nullopt;
    }
    const int flags = ::fcntl(file.fd, F_GETFL);
    if (flags >= 0) ::fcntl(file.fd, F_SETFL, flags & ~O_NONBLOCK);
    // Read to the end, still bounded: the file may grow while it is read.
    return readReportStream(file.fd, path, error);
}

} // namespace crashcapture
