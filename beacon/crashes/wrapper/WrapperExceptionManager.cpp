#include "beacon/crashes/wrapper/WrapperExceptionManager.h"

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/logger/Logger.h"
#include "beacon/util/FileUtility.h"
#include "crashcapture/reporter/CrashReporter.h"

#include <filesystem>
#include <map>
#include <mutex>

namespace beacon {

namespace {

struct Store {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<WrapperException>> byIncident;
    crashcapture::CrashReporter* crashReporter = nullptr;
};

Store& store() {
    static Store instance;
    return instance;
}

std::string componentFor(const std::string& baseName) {
    return std::string(WrapperExceptionManager::kDirectory) + "/" + baseName;
}

} // namespace

void WrapperExceptionManager::setCrashReporter(crashcapture::CrashReporter* crashReporter) {
    std::lock_guard lock(store().mutex);
    store().crashReporter = crashReporter;
}

void WrapperExceptionManager::saveWrapperException(const WrapperException& wrapperException) {
    saveWrapperException(wrapperException, kLastSavedBaseName);
}

void WrapperExceptionManager::saveWrapperException(const WrapperException& wrapperException,
                                                   const std::string& baseName) {
    const auto bytes = ArchiverUtil::archiveKeyedData(wrapperException);
    if (!bytes) return;
    createFileAtPathComponent(componentFor(baseName), *bytes, true, true);
}

std::shared_ptr<WrapperException>
WrapperExceptionManager::loadWrapperExceptionWithBaseName(const std::string& baseName) {
    const auto component = componentFor(baseName);
    if (!fileExistsForPathComponent(component)) {
        BEACON_CRASHES_LOG_ERROR("Exception data report doesn't exist on disk. File name: ", baseName);
        return nullptr;
    }
    const auto bytes = loadDataForPathComponent(component);
    auto exception = bytes ? ArchiverUtil::unarchive<WrapperException>(*bytes) : nullptr;
    if (!exception) {
        BEACON_CRASHES_LOG_ERROR("Could not read exception data stored on disk with file name ", baseName);
        deleteItemForPathComponent(component);
    }
    return exception;
}

std::shared_ptr<WrapperException> WrapperExceptionManager::loadWrapperExceptionWithUUIDString(const std::string& uuid) {
    {
        std::lock_guard lock(store().mutex);
        if (const auto found = store().byIncident.find(uuid); found != store().byIncident.end()) return found->second;
    }
    return loadWrapperExceptionWithBaseName(uuid);
}

void WrapperExceptionManager::deleteWrapperExceptionWithUUIDString(const std::string& uuid) {
    if (uuid.empty()) return;
    {
        std::lock_guard lock(store().mutex);
        store().byIncident.erase(uuid);
    }
    deleteItemForPathComponent(componentFor(uuid));
}

void WrapperExceptionManager::deleteAllWrapperExceptions() {
    {
        std::lock_guard lock(store().mutex);
        store().byIncident.clear();
    }
    deleteItemForPathComponent(kDirectory);
}

void WrapperExceptionManager::correlateLastSavedWrapperExceptionToReport(
    const std::vector<std::shared_ptr<ErrorReport>>& reports) {
    const auto exception = loadWrapperExceptionWithBaseName(kLastSavedBaseName);
    if (!exception) return;
    deleteItemForPathComponent(componentFor(kLastSavedBaseName));
    for (const auto& report : reports) {
        if (!report || !report->incidentIdentifier || !exception->processId) continue;
        if (report->appProcessIdentifier != static_cast<std::uint64_t>(*exception->processId)) continue;
        {
            std::lock_guard lock(store().mutex);
            store().byIncident[*report->incidentIdentifier] = exception;
        }
        saveWrapperException(*exception, *report->incidentIdentifier);
        return;
    }
}

void WrapperExceptionManager::saveWrapperExceptionAndCrashReport(const WrapperException& wrapperException) {
    crashcapture::CrashReporter* reporter;
    {
        std::lock_guard lock(store().mutex);
        reporter = store().crashReporter;
    }
    if (!reporter) {
        BEACON_CRASHES_LOG_ERROR("Failed to save the crash report. CrashReporter wasn't initialized.");
        return;
    }
    saveWrapperException(wrapperException);
    const auto path = reporter->crashReportPath();
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    if (error) {
        BEACON_CRASHES_LOG_ERROR("Couldn't create a directory at path ", path.parent_path().string());
        return;
    }
    const auto report = reporter->generateLiveReport();
    if (report && createFileAtPath(path, *report))
        BEACON_CRASHES_LOG_ERROR("Crash report was saved successfully at path ", path.string());
    else BEACON_CRASHES_LOG_ERROR("Couldn't save crash report at path ", path.string());
}

} // namespace beacon
