#include "beacon/crashes/wrapper/WrapperExceptionManager.h"

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/crashes/model/CrashesArchiverUtil.h"
#include "beacon/util/FileUtility.h"
#include "beacon/util/MemoryPressureSource.h"
#include "platform/headless/ManualScheduler.h"

#include "../../util/tests/TempDir.h"

#include <gtest/gtest.h>

namespace beacon {
namespace {

std::shared_ptr<ErrorReport> report(const std::string& id, std::uint64_t pid) {
    auto made = std::make_shared<ErrorReport>();
    made->incidentIdentifier = id;
    made->appProcessIdentifier = pid;
    return made;
}

TEST(WrapperExceptionManager, TheLastSavedExceptionGoesToTheFirstReportOfItsProcess) {
    TempDir dir;
    setBeaconDirectoryURL(dir.path);
    ArchiverUtil::addAllowedBeaconModuleClasses();
    CrashesArchiverUtil::addAllowedCrashesModuleClasses();

    WrapperException exception;
    exception.processId = 42;
    exception.modelException = std::make_shared<WrapperExceptionModel>();
    exception.modelException->type = "System.NullReferenceException";
    WrapperExceptionManager::saveWrapperException(exception);
    ASSERT_TRUE(fileExistsForPathComponent("crasheswrapperexceptions/last_saved_wrapper_exception"));

    WrapperExceptionManager::correlateLastSavedWrapperExceptionToReport(
        {report("A", 7), report("B", 42), report("C", 42)});
    EXPECT_FALSE(fileExistsForPathComponent("crasheswrapperexceptions/last_saved_wrapper_exception"));
    EXPECT_TRUE(fileExistsForPathComponent("crasheswrapperexceptions/B"));
    EXPECT_FALSE(fileExistsForPathComponent("crasheswrapperexceptions/C"));
    auto loaded = WrapperExceptionManager::loadWrapperExceptionWithUUIDString("B");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->modelException->type, "System.NullReferenceException");
    EXPECT_FALSE(WrapperExceptionManager::loadWrapperExceptionWithUUIDString("A"));

    // An unreadable file is deleted when it is read.
    createFileAtPathComponent("crasheswrapperexceptions/D", std::vector<std::uint8_t>{1, 2, 3}, false, true);
    EXPECT_FALSE(WrapperExceptionManager::loadWrapperExceptionWithUUIDString("D"));
    EXPECT_FALSE(fileExistsForPathComponent("crasheswrapperexceptions/D"));

    WrapperExceptionManager::deleteWrapperExceptionWithUUIDString("B");
    EXPECT_FALSE(WrapperExceptionManager::loadWrapperExceptionWithUUIDString("B"));
    WrapperExceptionManager::deleteAllWrapperExceptions();
    EXPECT_FALSE(fileExistsForPathComponent("crasheswrapperexceptions"));
    setBeaconDirectoryURL({});
}

TEST(MemoryPressureSource, NoneWithoutPressureStallInformation) {
    platform::ManualScheduler scheduler;
    EXPECT_FALSE(makePsiMemoryPressureSource(
        scheduler.mainQueue(), [] {}, "/nonexistent/pressure/memory"));

    int warnings = 0;
    ScriptedMemoryPressureSource scripted(scheduler.mainQueue(), [&] { ++warnings; });
    scripted.fire();
    scripted.fire();
    scripted.cancel(); // cancels deliveries already queued too
    scripted.fire();
    scheduler.runUntilIdle();
    EXPECT_EQ(warnings, 0);
}

} // namespace
} // namespace beacon
