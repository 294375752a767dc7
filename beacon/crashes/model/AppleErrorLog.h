#pragma once

#include "beacon/crashes/model/AbstractErrorLog.h"
#include "beacon/crashes/model/Binary.h"
#include "beacon/crashes/model/Thread.h"
#include "beacon/crashes/model/WrapperExceptionModel.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

// The error log of a native crash (type "appleError", the name the ingestion
// knows for crash reports of this format). Valid with the base's fields plus
// primaryArchitectureId, applicationPath, osExceptionType, osExceptionCode
// and osExceptionAddress.
class AppleErrorLog : public AbstractErrorLog {
public:
    static constexpr std::string_view kClassName = "AppleErrorLog";
    static constexpr const char* kType = "appleError";

    AppleErrorLog();

    std::optional<std::int64_t> primaryArchitectureId; // CPU type
    std::optional<std::int64_t> architectureVariantId; // CPU subtype
    std::optional<std::string> applicationPath;
    std::optional<std::string> osExceptionType; // signal name
    std::optional<std::string> osExceptionCode; // signal code
    std::optional<std::string> osExceptionAddress;
    std::optional<std::string> exceptionType;
    std::optional<std::string> exceptionReason;
    std::optional<std::string> selectorRegisterValue;
    std::optional<std::vector<std::shared_ptr<Thread>>> threads;
    std::optional<std::vector<std::shared_ptr<Binary>>> binaries;
    std::optional<std::map<std::string, std::string>> registers;
    std::shared_ptr<WrapperExceptionModel> exception;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
