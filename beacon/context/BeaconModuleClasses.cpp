// The allow-list entries of the telemetry core: every class of its log model
// and of its context histories.
#include "beacon/archive/ArchiverUtil.h"
#include "beacon/context/DeviceHistoryInfo.h"
#include "beacon/context/SessionHistoryInfo.h"
#include "beacon/context/UserIdHistoryInfo.h"
#include "beacon/model/BooleanTypedProperty.h"
#include "beacon/model/CommonSchemaLog.h"
#include "beacon/model/DateTimeTypedProperty.h"
#include "beacon/model/DoubleTypedProperty.h"
#include "beacon/model/LogContainer.h"
#include "beacon/model/LogWithProperties.h"
#include "beacon/model/LongTypedProperty.h"
#include "beacon/model/StartServiceLog.h"
#include "beacon/model/StringTypedProperty.h"

#include <mutex>

namespace beacon {

void ArchiverUtil::addAllowedBeaconModuleClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        addAllowedClasses({
            ArchiveClass::of<AbstractLog>(),
            ArchiveClass::of<LogWithProperties>(),
            ArchiveClass::of<StartServiceLog>(),
            ArchiveClass::of<LogContainer>(),
            ArchiveClass::of<WrapperSdk>(),
            ArchiveClass::of<Device>(),
            ArchiveClass::of<TypedProperty>(),
            ArchiveClass::of<BooleanTypedProperty>(),
            ArchiveClass::of<DateTimeTypedProperty>(),
            ArchiveClass::of<DoubleTypedProperty>(),
            ArchiveClass::of<LongTypedProperty>(),
            ArchiveClass::of<StringTypedProperty>(),
            ArchiveClass::of<CommonSchemaLog>(),
            ArchiveClass::of<CSExtensions>(),
            ArchiveClass::of<CSData>(),
            ArchiveClass::of<MetadataExtension>(),
            ArchiveClass::of<ProtocolExtension>(),
            ArchiveClass::of<UserExtension>(),
            ArchiveClass::of<DeviceExtension>(),
            ArchiveClass::of<OSExtension>(),
            ArchiveClass::of<AppExtension>(),
            ArchiveClass::of<NetExtension>(),
            ArchiveClass::of<SDKExtension>(),
            ArchiveClass::of<LocExtension>(),
            ArchiveClass::of<HistoryInfo>(),
            ArchiveClass::of<DeviceHistoryInfo>(),
            ArchiveClass::of<SessionHistoryInfo>(),
            ArchiveClass::of<UserIdHistoryInfo>(),
        });
    });
}

} // namespace beacon
