#pragma once

#include "beacon/model/LogWithProperties.h"

#include <optional>
#include <string>

namespace beacon {

// A log with string properties and a name ("name", written when set).
class LogWithNameAndProperties : public LogWithProperties {
public:
    static constexpr std::string_view kClassName = "LogWithNameAndProperties";

    std::optional<std::string> name;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    // Needs the base log's fields and the name.
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

// A page view ("page").
class PageLog : public LogWithNameAndProperties {
public:
    static constexpr std::string_view kClassName = "PageLog";
    static constexpr const char* kType = "page";

    PageLog() { type = kType; }

    std::string_view className() const override { return kClassName; }
    bool isEqual(const ModelObject& other) const override;
};

} // namespace beacon
