#pragma once

#include "beacon/crashes/model/ExceptionModel.h"
#include "beacon/model/LogWithProperties.h"

#include <memory>
#include <optional>
#include <string>

namespace beacon {

// An error the application caught and reports itself (type "handledError"),
// with its properties. Valid with an error id and an exception.
class HandledErrorLog : public LogWithProperties {
public:
    static constexpr std::string_view kClassName = "HandledErrorLog";
    static constexpr const char* kType = "handledError";

    HandledErrorLog();

    std::optional<std::string> errorId; // "id"
    std::shared_ptr<ExceptionModel> exception;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
