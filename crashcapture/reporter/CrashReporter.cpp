#include "crashcapture/reporter/CrashReporter.h"

#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace crashcapture {

namespace fs = std::filesystem;

namespace {

constexpr mode_t kDirectoryMode = 0755;

std::string executableName() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.filename().empty()) return "zelvo";
    return exe.filename().string();
}

CrashReporterError osError(const std::string& what, const fs::path& path, int errnum) {
    return {CrashReporterError::kDomain, CrashReporterError::OperatingSystem,
            what + " " + path.string() + ": " + std::strerror(errnum)};
}

// mkdir -p with an explicit mode for every directory it creates; the mode is
// set again after mkdir so that the caller's umask does not narrow it.
bool makeDirectories(const fs::path& directory, CrashReporterError* error) {
    fs::path current;
    for (const auto& part : directory) {
        current /= part;
        if (current == current.root_path()) continue;
        struct stat info {};
        if (::stat(current.c_str(), &info) == 0) {
            if (S_ISDIR(info.st_mode)) continue;
            if (error) *error = osError("Not a directory:", current, ENOTDIR);
            return false;
        }
        if (::mkdir(current.c_str(), kDirectoryMode) != 0 && errno != EEXIST) {
            if (error) *error = osError("Couldn't create directory", current, errno);
            return false;
        }
        ::chmod(current.c_str(), kDirectoryMode);
    }
    return true;
}

} // namespace

CrashReporter::CrashReporter(CrashReporterConfig configuration)
    : CrashReporter(std::move(configuration), executableName(), "") {}

CrashReporter::CrashReporter(CrashReporterConfig configuration, std::string applicationIdentifier,
                             std::string applicationVersion, std::optional<std::string> applicationMarketingVersion)
    : configuration_(std::move(configuration)),
      applicationIdentifier_(std::move(applicationIdentifier)),
      applicationVersion_(std::move(applicationVersion)),
      applicationMarketingVersion_(std::move(applicationMarketingVersion)) {
    fs::path base = configuration_.basePath().value_or(platform::cacheHome());
    std::string folder = applicationIdentifier_;
    std::replace(folder.begin(), folder.end(), '/', '_');
    crashReportDirectory_ = base / kDataDirectoryName / folder;
}

fs::path CrashReporter::crashReportPath() const { return crashReportDirectory_ / kLiveReportFileName; }

fs::path CrashReporter::queuedReportsDirectory() const { return crashReportDirectory_ / kQueuedReportsDirectoryName; }

bool CrashReporter::createCrashReportDirectory(CrashReporterError* error) const {
    return makeDirectories(crashReportDirectory_, error) && makeDirectories(queuedReportsDirectory(), error);
}

bool CrashReporter::hasPendingCrashReport() const {
    std::error_code ec;
    return fs::is_regular_file(crashReportPath(), ec);
}

std::optional<std::vector<std::uint8_t>> CrashReporter::loadPendingCrashReportData(CrashReporterError* error) const {
    const fs::path path = crashReportPath();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = osError("Couldn't open crash report", path, errno);
        return std::nullopt;
    }
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        if (error) *error = osError("Couldn't read crash report", path, errno ? errno : EIO);
        return std::nullopt;
    }
    return data;
}

bool CrashReporter::purgePendingCrashReport(CrashReporterError* error) const {
    const fs::path path = crashReportPath();
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    if (error) *error = osError("Couldn't delete crash report", path, errno);
    return false;
}

} // namespace crashcapture
