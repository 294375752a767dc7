#include "beacon/crashes/model/StackFrame.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kAddress = "address";
constexpr const char* kCode = "code";
constexpr const char* kClassNameKey = "className";
constexpr const char* kMethodName = "methodName";
constexpr const char* kLineNumber = "lineNumber";
constexpr const char* kFileName = "fileName";
} // namespace

Json StackFrame::serializeToDictionary() const {
    Json json = Json::object();
    json_fields::put(json, kAddress, address);
    json_fields::put(json, kCode, code);
    json_fields::put(json, kClassNameKey, frameClassName);
    json_fields::put(json, kMethodName, methodName);
    json_fields::put(json, kLineNumber, lineNumber);
    json_fields::put(json, kFileName, fileName);
    return json;
}

bool StackFrame::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const StackFrame*>(&other);
    return o && address == o->address && code == o->code && frameClassName == o->frameClassName &&
           methodName == o->methodName && lineNumber == o->lineNumber && fileName == o->fileName;
}

void StackFrame::encode(ArchiveWriter& w) const {
    w.encodeString(kAddress, address);
    w.encodeString(kCode, code);
    w.encodeString(kClassNameKey, frameClassName);
    w.encodeString(kMethodName, methodName);
    w.encodeInt64(kLineNumber, lineNumber);
    w.encodeString(kFileName, fileName);
}

void StackFrame::decode(ArchiveReader& r) {
    address = r.decodeString(kAddress);
    code = r.decodeString(kCode);
    frameClassName = r.decodeString(kClassNameKey);
    methodName = r.decodeString(kMethodName);
    lineNumber = r.decodeInt64(kLineNumber);
    fileName = r.decodeString(kFileName);
}

} // namespace beacon
