#include "beacon/crashes/model/HandledErrorLog.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kId = "id";
constexpr const char* kException = "exception";
} // namespace

HandledErrorLog::HandledErrorLog() { type = kType; }

Json HandledErrorLog::serializeToDictionary() const {
    Json json = LogWithProperties::serializeToDictionary();
    json_fields::put(json, kId, errorId);
    json_fields::putObject(json, kException, exception);
    return json;
}

std::optional<std::string> HandledErrorLog::validationError() const {
    if (auto error = LogWithProperties::validationError()) return error;
    if (!errorId) return invalidFieldMessage(className(), kId);
    if (!exception) return invalidFieldMessage(className(), kException);
    return std::nullopt;
}

bool HandledErrorLog::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const HandledErrorLog*>(&other);
    return o && LogWithProperties::isEqual(other) && errorId == o->errorId && equalObjects(exception, o->exception);
}

void HandledErrorLog::encode(ArchiveWriter& w) const {
    LogWithProperties::encode(w);
    w.encodeString(kId, errorId);
    w.encodeObject(kException, exception);
}

void HandledErrorLog::decode(ArchiveReader& r) {
    LogWithProperties::decode(r);
    errorId = r.decodeString(kId);
    exception = r.decodeObject<ExceptionModel>(kException);
}

} // namespace beacon
