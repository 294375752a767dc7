#include "beacon/crashes/model/Thread.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/crashes/model/ModelLists.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kId = "id";
constexpr const char* kName = "name";
constexpr const char* kFrames = "frames";
constexpr const char* kException = "exception";
} // namespace

Json Thread::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, kId, threadId);
    json_fields::put(json, kName, name);
    model_lists::put(json, kFrames, frames);
    json_fields::putObject(json, kException, exception);
    return json;
}

std::optional<std::string> Thread::validationError() const {
    if (!threadId) return invalidFieldMessage(className(), kId);
    if (!frames) return invalidFieldMessage(className(), kFrames);
    return std::nullopt;
}

bool Thread::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const Thread*>(&other);
    return o && threadId == o->threadId && name == o->name && model_lists::equal(frames, o->frames) &&
           equalObjects(exception, o->exception);
}

void Thread::encode(ArchiveWriter& w) const {
    w.encodeInt64(kId, threadId);
    w.encodeString(kName, name);
    if (frames) w.encodeObjects(kFrames, *frames);
    w.encodeObject(kException, exception);
}

void Thread::decode(ArchiveReader& r) {
    threadId = r.decodeInt64(kId);
    name = r.decodeString(kName);
    frames = r.decodeObjects<StackFrame>(kFrames);
    exception = r.decodeObject<ExceptionModel>(kException);
}

} // namespace beacon
