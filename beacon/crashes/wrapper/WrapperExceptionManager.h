#pragma once

#include "beacon/crashes/model/ErrorReport.h"
#include "beacon/crashes/model/WrapperException.h"

#include <memory>
#include <string>
#include <vector>

namespace crashcapture {
class CrashReporter;
}

namespace beacon {

// Keeps a wrapper SDK's own exception model next to the crash report it
// belongs to: archived files in "crasheswrapperexceptions" (one per base
// name: "last_saved_wrapper_exception" or an incident identifier) and an
// in-memory table by incident identifier. Class operations only.
class WrapperExceptionManager {
public:
    static constexpr const char* kDirectory = "crasheswrapperexceptions";
    static constexpr const char* kLastSavedBaseName = "last_saved_wrapper_exception";

    // The crash capture engine used by saveWrapperExceptionAndCrashReport
    // (not owned; null forgets it).
    static void setCrashReporter(crashcapture::CrashReporter* crashReporter);

    // Stores under "last_saved_wrapper_exception", replacing any earlier one.
    static void saveWrapperException(const WrapperException& wrapperException);
    // Stores the exception and writes a live report of the engine as the
    // pending crash report, for the next start to find.
    static void saveWrapperExceptionAndCrashReport(const WrapperException& wrapperException);
    // The in-memory entry of the incident, else its file.
    static std::shared_ptr<WrapperException> loadWrapperExceptionWithUUIDString(const std::string& uuid);
    static void deleteWrapperExceptionWithUUIDString(const std::string& uuid);
    static void deleteAllWrapperExceptions();
    // Moves the last saved exception to the first report of the same process
    // (by process id): kept in memory and on disk under its incident id.
    static void correlateLastSavedWrapperExceptionToReport(const std::vector<std::shared_ptr<ErrorReport>>& reports);

private:
    static void saveWrapperException(const WrapperException& wrapperException, const std::string& baseName);
    static std::shared_ptr<WrapperException> loadWrapperExceptionWithBaseName(const std::string& baseName);
};

} // namespace beacon
