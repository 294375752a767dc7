#include "beacon/crashes/model/CrashesArchiverUtil.h"

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/crashes/model/AppleErrorLog.h"
#include "beacon/crashes/model/ErrorAttachmentLog.h"
#include "beacon/crashes/model/ErrorReport.h"
#include "beacon/crashes/model/HandledErrorLog.h"
#include "beacon/crashes/model/WrapperException.h"
#include "beacon/model/Device.h"
#include "beacon/model/LogWithProperties.h"
#include "beacon/model/WrapperSdk.h"

namespace beacon {

void CrashesArchiverUtil::addAllowedCrashesModuleClasses() {
    ArchiverUtil::addAllowedClasses({
        ArchiveClass::of<AppleErrorLog>(),
        ArchiveClass::of<Device>(),
        ArchiveClass::of<Thread>(),
        ArchiveClass::of<WrapperException>(),
        ArchiveClass::of<AbstractErrorLog>(),
        ArchiveClass::of<HandledErrorLog>(),
        ArchiveClass::of<WrapperExceptionModel>(),
        ArchiveClass::of<StackFrame>(),
        ArchiveClass::of<Binary>(),
        ArchiveClass::of<ErrorAttachmentLog>(),
        ArchiveClass::of<ErrorReport>(),
        ArchiveClass::of<WrapperSdk>(),
        ArchiveClass::of<LogWithProperties>(),
        ArchiveClass::of<ExceptionModel>(),
    });
}

} // namespace beacon
