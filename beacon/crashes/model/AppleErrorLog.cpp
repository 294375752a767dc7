#include "beacon/crashes/model/AppleErrorLog.h"

#include "beacon/archive/ArchiveReader.h"
#include "beacon/archive/ArchiveWriter.h"
#include "beacon/crashes/model/ModelLists.h"
#include "beacon/model/JsonFields.h"

namespace beacon {

namespace {
constexpr const char* kPrimaryArchitectureId = "primaryArchitectureId";
constexpr const char* kArchitectureVariantId = "architectureVariantId";
constexpr const char* kApplicationPath = "applicationPath";
constexpr const char* kOsExceptionType = "osExceptionType";
constexpr const char* kOsExceptionCode = "osExceptionCode";
constexpr const char* kOsExceptionAddress = "osExceptionAddress";
constexpr const char* kExceptionType = "exceptionType";
constexpr const char* kExceptionReason = "exceptionReason";
constexpr const char* kSelectorRegisterValue = "selectorRegisterValue";
constexpr const char* kThreads = "threads";
constexpr const char* kBinaries = "binaries";
constexpr const char* kRegisters = "registers";
constexpr const char* kException = "exception";
} // namespace

AppleErrorLog::AppleErrorLog() { type = kType; }

Json AppleErrorLog::serializeToDictionary() const {
    Json json = AbstractErrorLog::serializeToDictionary();
    json_fields::put(json, kPrimaryArchitectureId, primaryArchitectureId);
    json_fields::put(json, kArchitectureVariantId, architectureVariantId);
    json_fields::put(json, kApplicationPath, applicationPath);
    json_fields::put(json, kOsExceptionType, osExceptionType);
    json_fields::put(json, kOsExceptionCode, osExceptionCode);
    json_fields::put(json, kOsExceptionAddress, osExceptionAddress);
    json_fields::put(json, kExceptionType, exceptionType);
    json_fields::put(json, kExceptionReason, exceptionReason);
    json_fields::put(json, kSelectorRegisterValue, selectorRegisterValue);
    model_lists::put(json, kThreads, threads);
    model_lists::put(json, kBinaries, binaries);
    if (registers) {
        Json dictionary = Json::object();
        for (const auto& [name, value] : *registers) dictionary[name] = value;
        json[kRegisters] = std::move(dictionary);
    }
    json_fields::putObject(json, kException, exception);
    return json;
}

std::optional<std::string> AppleErrorLog::validationError() const {
    if (auto error = AbstractErrorLog::validationError()) return error;
    const std::pair<const char*, bool> required[] = {
        {kPrimaryArchitectureId, primaryArchitectureId.has_value()},
        {kApplicationPath, applicationPath.has_value()},
        {kOsExceptionType, osExceptionType.has_value()},
        {kOsExceptionCode, osExceptionCode.has_value()},
        {kOsExceptionAddress, osExceptionAddress.has_value()},
    };
    for (const auto& [field, present] : required)
        if (!present) return invalidFieldMessage(className(), field);
    return std::nullopt;
}

bool AppleErrorLog::isEqual(const ModelObject& other) const {
    auto* o = dynamic_cast<const AppleErrorLog*>(&other);
    return o && AbstractErrorLog::isEqual(other) && primaryArchitectureId == o->primaryArchitectureId &&
           architectureVariantId == o->architectureVariantId && applicationPath == o->applicationPath &&
           osExceptionType == o->osExceptionType && osExceptionCode == o->osExceptionCode &&
           osExceptionAddress == o->osExceptionAddress && exceptionType == o->exceptionType &&
           exceptionReason == o->exceptionReason && selectorRegisterValue == o->selectorRegisterValue &&
           model_lists::equal(threads, o->threads) && model_lists::equal(binaries, o->binaries) &&
           registers == o->registers && equalObjects(exception, o->exception);
}

void AppleErrorLog::encode(ArchiveWriter& w) const {
    AbstractErrorLog::encode(w);
    w.encodeInt64(kPrimaryArchitectureId, primaryArchitectureId);
    w.encodeInt64(kArchitectureVariantId, architectureVariantId);
    w.encodeString(kApplicationPath, applicationPath);
    w.encodeString(kOsExceptionType, osExceptionType);
    w.encodeString(kOsExceptionCode, osExceptionCode);
    w.encodeString(kOsExceptionAddress, osExceptionAddress);
    w.encodeString(kExceptionType, exceptionType);
    w.encodeString(kExceptionReason, exceptionReason);
    w.encodeString(kSelectorRegisterValue, selectorRegisterValue);
    if (threads) w.encodeObjects(kThreads, *threads);
    if (binaries) w.encodeObjects(kBinaries, *binaries);
    w.encodeStringMap(kRegisters, registers);
    w.encodeObject(kException, exception);
}

void AppleErrorLog::decode(ArchiveReader& r) {
    AbstractErrorLog::decode(r);
    primaryArchitectureId = r.decodeInt64(kPrimaryArchitectureId);
    architectureVariantId = r.decodeInt64(kArchitectureVariantId);
    applicationPath = r.decodeString(kApplicationPath);
    osExceptionType = r.decodeString(kOsExceptionType);
    osExceptionCode = r.decodeString(kOsExceptionCode);
    osExceptionAddress = r.decodeString(kOsExceptionAddress);
    exceptionType = r.decodeString(kExceptionType);
    exceptionReason = r.decodeString(kExceptionReason);
    selectorRegisterValue = r.decodeString(kSelectorRegisterValue);
    threads = r.decodeObjects<Thread>(kThreads);
    binaries = r.decodeObjects<Binary>(kBinaries);
    registers = r.decodeStringMap(kRegisters);
    exception = r.decodeObject<WrapperExceptionModel>(kException);
}

} // namespace beacon
