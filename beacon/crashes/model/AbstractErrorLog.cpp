#include "beacon/crashes/model/AbstractErrorLog.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kId = "id";
constexpr const char* kProcessId = "processId";
constexpr const char* kProcessName = "processName";
constexpr const char* kParentProcessId = "parentProcessId";
constexpr const char* kParentProcessName = "parentProcessName";
constexpr const char* kErrorThreadId = "errorThreadId";
constexpr const char* kErrorThreadName = "errorThreadName";
constexpr const char* kFatal = "fatal";
constexpr const char* kAppLaunchTimestamp = "appLaunchTimestamp";
constexpr const char* kArchitecture = "architecture";
} // namespace

Json AbstractErrorLog::serializeToDictionary() const {
    Json json = AbstractLog::serializeToDictionary();
    json_fields::put(json, kId, errorId);
    json_fields::put(json, kProcessId, processId);
    json_fields::put(json, kProcessName, processName);
    json_fields::put(json, kParentProcessId, parentProcessId);
    json_fields::put(json, kParentProcessName, parentProcessName);
    json_fields::put(json, kErrorThreadId, errorThreadId);
    json_fields::put(json, kErrorThreadName, errorThreadName);
    json[kFatal] = fatal;
    json_fields::putDate(json, kAppLaunchTimestamp, appLaunchTimestamp);
    json_fields::put(json, kArchitecture, architecture);
    return json;
}

std::optional<std::string> AbstractErrorLog::validationError() const {
    if (auto error = AbstractLog::validationError()) return error;
    if (!errorId) return invalidFieldMessage(className(), kId);
    if (!processId) return invalidFieldMessage(className(), kProcessId);
    if (!processName) return invalidFieldMessage(className(), kProcessName);
    return std::nullopt;
}

bool AbstractErrorLog::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const AbstractErrorLog*>(&other);
    return o && AbstractLog::isEqual(other) && errorId == o->errorId && processId == o->processId &&
           processName == o->processName && parentProcessId == o->parentProcessId &&
           parentProcessName == o->parentProcessName && errorThreadId == o->errorThreadId &&
           errorThreadName == o->errorThreadName && fatal == o->fatal && appLaunchTimestamp == o->appLaunchTimestamp &&
           architecture == o->architecture;
}

void AbstractErrorLog::encode(ArchiveWriter& w) const {
    AbstractLog::encode(w);
    w.encodeString(kId, errorId);
    w.encodeInt64(kProcessId, processId);
    w.encodeString(kProcessName, processName);
    w.encodeInt64(kParentProcessId, parentProcessId);
    w.encodeString(kParentProcessName, parentProcessName);
    w.encodeInt64(kErrorThreadId, errorThreadId);
    w.encodeString(kErrorThreadName, errorThreadName);
    w.encodeBool(kFatal, fatal);
    w.encodeDate(kAppLaunchTimestamp, appLaunchTimestamp);
    w.encodeString(kArchitecture, architecture);
}

void AbstractErrorLog::decode(ArchiveReader& r) {
    AbstractLog::decode(r);
    errorId = r.decodeString(kId);
    processId = r.decodeInt64(kProcessId);
    processName = r.decodeString(kProcessName);
    parentProcessId = r.decodeInt64(kParentProcessId);
    parentProcessName = r.decodeString(kParentProcessName);
    errorThreadId = r.decodeInt64(kErrorThreadId);
    errorThreadName = r.decodeString(kErrorThreadName);
    fatal = r.decodeBool(kFatal).value_or(false);
    appLaunchTimestamp = r.decodeDate(kAppLaunchTimestamp);
    architecture = r.decodeString(kArchitecture);
}

} // namespace beacon
