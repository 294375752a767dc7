#pragma once

#include "beacon/model/ModelObject.h"

#include <cstdint>
#include <optional>
#include <string>

namespace beacon {

// One frame of a stack trace in an error log. Every field is optional.
class StackFrame : public ModelObject {
public:
    static constexpr std::string_view kClassName = "StackFrame";

    std::optional<std::string> address;
    std::optional<std::string> code;
    std::optional<std::string> frameClassName; // "className" (the name className() is taken)
    std::optional<std::string> methodName;
    std::optional<std::int64_t> lineNumber;
    std::optional<std::string> fileName;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
