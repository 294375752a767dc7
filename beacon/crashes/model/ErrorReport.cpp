#include "beacon/crashes/model/ErrorReport.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/crashes/model/ModelLists.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kIncidentIdentifier = "incidentIdentifier";
constexpr const char* kReporterKey = "reporterKey";
constexpr const char* kSignal = "signal";
constexpr const char* kExceptionName = "exceptionName";
constexpr const char* kExceptionReason = "exceptionReason";
constexpr const char* kAppStartTime = "appStartTime";
constexpr const char* kAppErrorTime = "appErrorTime";
constexpr const char* kCodeType = "codeType";
constexpr const char* kArchName = "archName";
constexpr const char* kApplicationPath = "applicationPath";
constexpr const char* kThreads = "threads";
constexpr const char* kBinaries = "binaries";
constexpr const char* kDevice = "device";
constexpr const char* kAppProcessIdentifier = "appProcessIdentifier";
} // namespace

Json ErrorReport::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, kIncidentIdentifier, incidentIdentifier);
    json_fields::put(json, kReporterKey, reporterKey);
    json_fields::put(json, kSignal, signal);
    json_fields::put(json, kExceptionName, exceptionName);
    json_fields::put(json, kExceptionReason, exceptionReason);
    json_fields::putDate(json, kAppStartTime, appStartTime);
    json_fields::putDate(json, kAppErrorTime, appErrorTime);
    json_fields::put(json, kCodeType, codeType);
    json_fields::put(json, kArchName, archName);
    json_fields::put(json, kApplicationPath, applicationPath);
    json[kThreads] = model_lists::serialize(threads);
    json[kBinaries] = model_lists::serialize(binaries);
    json_fields::putObject(json, kDevice, device);
    json[kAppProcessIdentifier] = appProcessIdentifier;
    return json;
}

bool ErrorReport::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const ErrorReport*>(&other);
    return o && incidentIdentifier == o->incidentIdentifier && reporterKey == o->reporterKey && signal == o->signal &&
           exceptionName == o->exceptionName && exceptionReason == o->exceptionReason &&
           appStartTime == o->appStartTime && appErrorTime == o->appErrorTime && codeType == o->codeType &&
           archName == o->archName && applicationPath == o->applicationPath &&
           model_lists::equal(threads, o->threads) && model_lists::equal(binaries, o->binaries) &&
           equalObjects(device, o->device) && appProcessIdentifier == o->appProcessIdentifier;
}

void ErrorReport::encode(ArchiveWriter& w) const {
    w.encodeString(kIncidentIdentifier, incidentIdentifier);
    w.encodeString(kReporterKey, reporterKey);
    w.encodeString(kSignal, signal);
    w.encodeString(kExceptionName, exceptionName);
    w.encodeString(kExceptionReason, exceptionReason);
    w.encodeDate(kAppStartTime, appStartTime);
    w.encodeDate(kAppErrorTime, appErrorTime);
    w.encodeString(kCodeType, codeType);
    w.encodeString(kArchName, archName);
    w.encodeString(kApplicationPath, applicationPath);
    w.encodeObjects(kThreads, threads);
    w.encodeObjects(kBinaries, binaries);
    w.encodeObject(kDevice, device);
    // Archives hold signed 64-bit integers; the bits are kept as they are.
    w.encodeInt64(kAppProcessIdentifier, static_cast<std::int64_t>(appProcessIdentifier));
}

void ErrorReport::decode(ArchiveReader& r) {
    incidentIdentifier = r.decodeString(kIncidentIdentifier);
    reporterKey = r.decodeString(kReporterKey);
    signal = r.decodeString(kSignal);
    exceptionName = r.decodeString(kExceptionName);
    exceptionReason = r.decodeString(kExceptionReason);
    appStartTime = r.decodeDate(kAppStartTime);
    appErrorTime = r.decodeDate(kAppErrorTime);
    codeType = r.decodeString(kCodeType);
    archName = r.decodeString(kArchName);
    applicationPath = r.decodeString(kApplicationPath);
    threads = r.decodeObjects<Thread>(kThreads).value_or(std::vector<std::shared_ptr<Thread>>{});
    binaries = r.decodeObjects<Binary>(kBinaries).value_or(std::vector<std::shared_ptr<Binary>>{});
    device = r.decodeObject<Device>(kDevice);
    appProcessIdentifier = static_cast<std::uint64_t>(r.decodeInt64(kAppProcessIdentifier).value_or(0));
}

} // namespace beacon
