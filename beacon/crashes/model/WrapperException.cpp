#include "beacon/crashes/model/WrapperException.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/crashes/model/Base64.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kModelException = "modelException";
constexpr const char* kProcessId = "processId";
constexpr const char* kExceptionData = "exceptionData";
} // namespace

Json WrapperException::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::putObject(json, kModelException, modelException);
    json_fields::put(json, kProcessId, processId);
    if (exceptionData) json[kExceptionData] = base64::encode(*exceptionData);
    return json;
}

bool WrapperException::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const WrapperException*>(&other);
    return o && equalObjects(modelException, o->modelException) && processId == o->processId &&
           exceptionData == o->exceptionData;
}

void WrapperException::encode(ArchiveWriter& w) const {
    w.encodeObject(kModelException, modelException);
    w.encodeInt64(kProcessId, processId);
    if (exceptionData) w.encodeString(kExceptionData, base64::encode(*exceptionData));
}

void WrapperException::decode(ArchiveReader& r) {
    modelException = r.decodeObject<WrapperExceptionModel>(kModelException);
    processId = r.decodeInt64(kProcessId);
    exceptionData.reset();
    if (auto text = r.decodeString(kExceptionData)) {
        exceptionData = base64::decode(*text);
        if (!exceptionData) r.fail("The value for key \"exceptionData\" of WrapperException is not Base64 text.");
    }
}

} // namespace beacon
