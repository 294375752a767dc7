#include "crashcapture/reporter/CrashReporter.h"

#include "crashcapture/capture/CaptureEngine.h"
#include "crashcapture/capture/CrashSignalHandler.h"
#include "crashcapture/capture/WriterState.h"
#include "crashcapture/reporter/CrashReporterLog.h"
#include "crashcapture/report/ReportFile.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace crashcapture {

namespace fs = std::filesystem;

namespace {

// Crash reports hold memory contents, paths and exception texts: only the
// user may list or read them.
constexpr mode_t kDirectoryMode = 0700;

// Arming is serialised process-wide. Whether some reporter is enabled is
// process state; whether it is this one is the reporter's own flag, so that a
// second reporter and a second enable of the same one are told apart.
std::mutex armingMutex;
bool processArmed = false;

void fail(CrashReporterError* error, int code, std::string text) {
    if (error) *error = {CrashReporterError::kDomain, code, std::move(text)};
}

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
    : configuration_(std::move(configuration)), applicationIdentifier_(std::move(applicationIdentifier)),
      applicationVersion_(std::move(applicationVersion)),
      applicationMarketingVersion_(std::move(applicationMarketingVersion)) {
    fs::path base = configuration_.basePath().value_or(platform::cacheHome());
    std::string folder = applicationIdentifier_;
    std::replace(folder.begin(), folder.end(), '/', '_');
    crashReportDirectory_ = base / kDataDirectoryName / folder;
}

fs::path CrashReporter::crashReportPath() const { return crashReportDirectory_ / kLiveReportFileName; }

fs::path CrashReporter::nextCrashReportPath() const { return crashReportPath().string() + ".next"; }

fs::path CrashReporter::queuedReportsDirectory() const { return crashReportDirectory_ / kQueuedReportsDirectoryName; }

bool CrashReporter::createCrashReportDirectory(CrashReporterError* error) const {
    if (!makeDirectories(crashReportDirectory_, error) || !makeDirectories(queuedReportsDirectory(), error))
        return false;
    // Folders and a report made with wider modes (by an earlier version) are
    // narrowed too.
    ::chmod(crashReportDirectory_.c_str(), kDirectoryMode);
    ::chmod(queuedReportsDirectory().c_str(), kDirectoryMode);
    struct stat info {};
    if (::lstat(crashReportPath().c_str(), &info) == 0 && S_ISREG(info.st_mode))
        ::chmod(crashReportPath().c_str(), kReportFileMode);
    return true;
}

bool CrashReporter::hasPendingCrashReport() const {
    std::error_code ec;
    return fs::is_regular_file(crashReportPath(), ec);
}

std::optional<std::vector<std::uint8_t>> CrashReporter::loadPendingCrashReportData(CrashReporterError* error) const {
    return readReportFile(crashReportPath(), error);
}

bool CrashReporter::movePendingCrashReportAside(CrashReporterError* error) const {
    const fs::path path = crashReportPath();
    const auto stamp =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    const std::string prefix = path.filename().string() + ".unreadable-";
    const fs::path aside = path.string() + ".unreadable-" + std::to_string(stamp);
    if (::rename(path.c_str(), aside.c_str()) != 0 && errno != ENOENT) {
        if (error) *error = osError("Couldn't move crash report aside", path, errno);
        return false;
    }
    // The newest few stay for inspection.
    std::vector<std::pair<long long, fs::path>> kept;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(crashReportDirectory_, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        kept.emplace_back(std::atoll(name.c_str() + prefix.size()), entry.path());
    }
    std::sort(kept.begin(), kept.end(), std::greater<>());
    for (std::size_t index = kKeptUnreadableReports; index < kept.size(); ++index) fs::remove(kept[index].second, ec);
    return true;
}

void CrashReporter::promoteNextReport() const {
    ::renameat2(AT_FDCWD, nextCrashReportPath().c_str(), AT_FDCWD, crashReportPath().c_str(), RENAME_NOREPLACE);
}

bool CrashReporter::beginProcessingPendingCrashReport(CrashReporterError* error) const {
    const fs::path marker = crashReportPath().string() + ".processing";
    struct stat info {};
    if (::lstat(marker.c_str(), &info) == 0) {
        // The last conversion began and never ended.
        const bool moved = movePendingCrashReportAside(error);
        ::unlink(marker.c_str());
        if (moved && error)
            *error = {CrashReporterError::kDomain, CrashReporterError::InvalidCrashReport,
                      "The crash report stopped its last conversion; it was moved aside"};
        return false;
    }
    const int fd = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kReportFileMode);
    if (fd < 0) {
        if (error) *error = osError("Couldn't mark crash report", marker, errno);
        return false;
    }
    ::fsync(fd);
    ::close(fd);
    return true;
}

void CrashReporter::endProcessingPendingCrashReport() const {
    ::unlink((crashReportPath().string() + ".processing").c_str());
}

bool CrashReporter::purgePendingCrashReport(CrashReporterError* error) const {
    const fs::path path = crashReportPath();
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        if (error) *error = osError("Couldn't delete crash report", path, errno);
        return false;
    }
    promoteNextReport();
    return true;
}

bool CrashReporter::enableCrashReporterAndReturnError(CrashReporterError* error) {
    std::lock_guard lock(armingMutex);
    if (processArmed && !enabled_) {
        fail(error, CrashReporterError::AlreadyEnabled, "A CrashReporter instance has already been enabled");
        return false;
    }
    if (enabled_) throw CrashReporterException("The crash reporter has already been enabled");
    if (!createCrashReportDirectory(error)) return false;
    if (configuration_.signalHandlerType() == CrashReporterSignalHandlerType::Mach)
        crashReporterLog(
            CrashReporterLogLevel::Debug,
            "[CrashReporter] Mach exception handling does not exist on this platform; using signal handlers");
    if (!capture::arm(*this, error)) return false;
    processArmed = true;
    enabled_ = true;
    return true;
}

bool CrashReporter::installAlternateSignalStackForCurrentThread() {
    return capture::CrashSignalHandler::installAlternateStackForCurrentThread();
}

bool CrashReporter::setCrashCallbacks(const CrashReporterCallbacks* callbacks) {
    if (enabled_) throw CrashReporterException("The crash reporter has already been enabled");
    if (!callbacks) {
        hasCallbacks_ = false;
        callbacks_ = {};
        return true;
    }
    if (callbacks->version != 0) {
        crashReporterLog(CrashReporterLogLevel::Error,
                         "[CrashReporter] Unsupported crash callbacks version " + std::to_string(callbacks->version));
        return false;
    }
    callbacks_ = *callbacks;
    hasCallbacks_ = true;
    return true;
}

void CrashReporter::setCustomData(std::vector<std::uint8_t> data) {
    if (data.size() > capture::kMaxCustomDataSize)
        crashReporterLog(CrashReporterLogLevel::Warning, "[CrashReporter] Custom data of " +
                                                             std::to_string(data.size()) +
                                                             " bytes is too large; reports will carry none");
    customData_ = std::move(data);
    if (enabled_) capture::setArmedCustomData(customData_);
}

std::optional<std::vector<std::uint8_t>> CrashReporter::generateLiveReport() {
    return generateLiveReportAndReturnError(nullptr);
}

std::optional<std::vector<std::uint8_t>> CrashReporter::generateLiveReportAndReturnError(CrashReporterError* error) {
    return generateLiveReportWithThread(0, error);
}

std::optional<std::vector<std::uint8_t>>
CrashReporter::generateLiveReportWithException(const platform::UncaughtException& exception,
                                               CrashReporterError* error) {
    return writeAndReadLiveReport(0, &exception, error);
}

std::optional<std::vector<std::uint8_t>> CrashReporter::generateLiveReportWithThread(pid_t thread,
                                                                                     CrashReporterError* error) {
    return writeAndReadLiveReport(thread, nullptr, error);
}

std::optional<std::vector<std::uint8_t>>
CrashReporter::writeAndReadLiveReport(pid_t thread, const platform::UncaughtException* exception,
                                      CrashReporterError* error) {
    std::error_code ec;
    fs::path directory = fs::temp_directory_path(ec);
    if (ec) directory = "/tmp";
    std::string path = (directory / "live_crash_report.XXXXXX").string();
    const int fd = ::mkstemp(path.data());
    if (fd < 0) {
        fail(error, CrashReporterError::OperatingSystem, "Failed to create temporary path");
        return std::nullopt;
    }
    const int status = capture::writeLiveReport(fd, *this, thread, exception);
    const bool closed = ::close(fd) == 0;
    std::optional<std::vector<std::uint8_t>> bytes;
    if (status != 0 || !closed) {
        crashReporterLog(CrashReporterLogLevel::Error, std::string("[CrashReporter] Write failed with error ") +
                                                           std::strerror(status ? status : errno));
        fail(error, CrashReporterError::OperatingSystem, "Failed to write the crash report to disk");
    } else {
        std::ifstream in(path, std::ios::binary);
        if (in) bytes.emplace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) bytes.reset();
        if (!bytes) fail(error, CrashReporterError::OperatingSystem, "Unable to open live crash report for reading");
    }
    if (::unlink(path.c_str()) != 0)
        crashReporterLog(CrashReporterLogLevel::Warning,
                         std::string("[CrashReporter] Failure occured deleting live crash report: ") +
                             std::strerror(errno));
    return bytes;
}

} // namespace crashcapture
