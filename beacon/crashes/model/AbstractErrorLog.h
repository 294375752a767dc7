#pragma once

#include "beacon/archive/Iso8601.h"
#include "beacon/model/AbstractLog.h"

#include <cstdint>
#include <optional>
#include <string>

namespace beacon {

// The fields every error log has beyond the common log fields. Valid with
// an error id, a process id and a process name (after the base's checks).
class AbstractErrorLog : public AbstractLog {
public:
    static constexpr std::string_view kClassName = "AbstractErrorLog";

    std::optional<std::string> errorId; // "id"
    std::optional<std::int64_t> processId;
    std::optional<std::string> processName;
    std::optional<std::int64_t> parentProcessId;
    std::optional<std::string> parentProcessName;
    std::optional<std::int64_t> errorThreadId;
    std::optional<std::string> errorThreadName;
    bool fatal = false; // always written
    std::optional<Date> appLaunchTimestamp;
    std::optional<std::string> architecture;

    std::string_view className() const override { return kClassName; }
    Json serializeToDictionary() const override;
    std::optional<std::string> validationError() const override;
    bool isEqual(const ModelObject& other) const override;
    void encode(ArchiveWriter& writer) const override;
    void decode(ArchiveReader& reader) override;
};

} // namespace beacon
