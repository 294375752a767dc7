#pragma once

#include "beacon/model/AbstractLog.h"

#include <map>
#include <optional>
#include <string>

namespace beacon {

// A log carrying string properties, written under "properties" only when
// there is at least one.
class LogWithProperties : public AbstractLog {
public:
    static constexpr std::string_view kClassName = "LogWithProperties";

    std::optional<std::map<std::string, std::string>> properties;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
